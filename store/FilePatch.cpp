#include "FilePatch.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kve {

namespace {

int writeAt(int fd, qint64 offset, const char *data, qint64 length)
{
    while (length > 0) {
#ifdef _WIN32
        if (_lseeki64(fd, offset, SEEK_SET) < 0)
            return errno;
        const int done = _write(fd, data, unsigned(std::min<qint64>(length, 1 << 30)));
#else
        const ssize_t done = ::pwrite(fd, data, size_t(length), off_t(offset));
#endif
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (done == 0)
            return ENOSPC;
        offset += done;
        data += done;
        length -= done;
    }
    return 0;
}

int truncateTo(int fd, qint64 size)
{
#ifdef _WIN32
    return _chsize_s(fd, size);
#else
    return ::ftruncate(fd, off_t(size)) == 0 ? 0 : errno;
#endif
}

} // namespace

int readAt(int fd, qint64 offset, char *data, qint64 length)
{
    while (length > 0) {
#ifdef _WIN32
        if (_lseeki64(fd, offset, SEEK_SET) < 0)
            return errno;
        const int done = _read(fd, data, unsigned(std::min<qint64>(length, 1 << 30)));
#else
        const ssize_t done = ::pread(fd, data, size_t(length), off_t(offset));
#endif
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (done == 0)
            return EIO;
        offset += done;
        data += done;
        length -= done;
    }
    return 0;
}

PatchOutcome applyPatches(int fd, qint64 size, const std::vector<FilePatch> &patches)
{
    PatchOutcome outcome;
    // What lies under each patch now, inside the old size.
    std::vector<FilePatch> old;
    for (const FilePatch &p : patches) {
        const qint64 keep = std::clamp<qint64>(size - p.offset, 0, p.bytes.size());
        FilePatch o{p.offset, QByteArray(qsizetype(keep), '\0')};
        if (keep > 0 && (outcome.error = readAt(fd, p.offset, o.bytes.data(), keep)) != 0)
            return outcome;   // nothing written yet
        old.push_back(std::move(o));
    }
    for (const FilePatch &p : patches) {
        outcome.error = writeAt(fd, p.offset, p.bytes.constData(), p.bytes.size());
        if (outcome.error != 0)
            break;
    }
    if (outcome.error == 0)
        return outcome;
    // Cut first: that frees what the failed writes took, then the old bytes fit again.
    outcome.restoreError = truncateTo(fd, size);
    for (auto it = old.rbegin(); it != old.rend() && outcome.restoreError == 0; ++it)
        outcome.restoreError = writeAt(fd, it->offset, it->bytes.constData(), it->bytes.size());
    return outcome;
}

} // namespace kve
