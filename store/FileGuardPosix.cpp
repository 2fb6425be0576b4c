#include "store/FileGuard.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kve {

namespace {

QByteArray encoded(const QString &path) { return QFile::encodeName(path); }

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString flushPath(const QString &path, int flags)
{
    const int fd = ::open(encoded(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return systemText(errno);
    const int result = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return result == 0 ? QString() : systemText(result);
}

bool writeAll(int fd, const char *data, qint64 size, const std::function<void(qint64)> &afterChunk)
{
    constexpr qint64 kChunk = 64 * 1024;
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size_t(std::min(kChunk, size - done)), off_t(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += n;
        if (afterChunk)
            afterChunk(done);
    }
    return true;
}

} // namespace

bool heldByAnotherProcess(const QString &path)
{
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

QString cannotWrite(const QString &path)
{
    // Opening for writing asks the system itself (mode bits, owner, ACLs, read-only
    // volumes) without changing the file.
    const int fd = ::open(encoded(path).constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return systemText(errno);
    ::close(fd);
    return {};
}

QString replaceFile(const QString &from, const QString &to, bool *refused)
{
    if (refused)
        *refused = false;
    // Without this a crash soon after the rename can leave an empty file under the name.
    const QString unflushed = flushPath(from, O_RDONLY);
    if (!unflushed.isEmpty())
        return unflushed;
    if (std::rename(encoded(from).constData(), encoded(to).constData()) != 0) {
        const int error = errno;
        // A sticky folder keeps others' files from being renamed over, even writable ones.
        if (refused)
            *refused = error == EPERM;
        return systemText(error);
    }
    flushFolder(QFileInfo(to).absolutePath());
    return {};
}

int createNewFile(const QString &path, bool /*hidden: a leading dot does it here*/)
{
    const int fd = ::open(encoded(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

QString flushFile(const QString &path) { return flushPath(path, O_RDONLY); }

QString flushFolder(const QString &folder) { return flushPath(folder, O_RDONLY | O_DIRECTORY); }

void copyAccess(const QString &model, const QString &file)
{
    struct stat st {};
    if (::stat(encoded(model).constData(), &st) != 0)
        return;
    const int fd = ::open(encoded(file).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    // Owner first: changing it may clear the set-id bits the mode then puts back.
    [[maybe_unused]] const int owner = ::fchown(fd, st.st_uid, st.st_gid);
    if (owner != 0) {
        [[maybe_unused]] const int group = ::fchown(fd, uid_t(-1), st.st_gid);
    }
    [[maybe_unused]] const int mode = ::fchmod(fd, st.st_mode & 07777);
    ::close(fd);
}

void removeUnheld(const QString &path)
{
    // Another copy writing it holds its lock; the lock is kept here until it is gone.
    const QByteArray name = encoded(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat held {};
    struct stat named {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && ::lstat(name.constData(), &named) == 0
        && S_ISREG(held.st_mode) && held.st_dev == named.st_dev && held.st_ino == named.st_ino)
        ::unlink(name.constData());
    ::close(fd);
}

QString fileIdentity(const QString &path)
{
    struct stat st {};
    if (::stat(encoded(path).constData(), &st) != 0)
        return {};
    return QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
}

QString overwriteFile(const QString &path, const QByteArray &bytes, const Overwrite &how, bool *held)
{
    if (held)
        *held = false;
    const int fd = ::open(encoded(path).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return systemText(errno);
    QString error;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        if (held)
            *held = e == EWOULDBLOCK;
        error = systemText(e);
    }
    if (error.isEmpty() && how.allowed) {
        QByteArray current;
        char buffer[64 * 1024];
        off_t at = 0;
        for (;;) {
            const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = systemText(errno);
                break;
            }
            if (n == 0)
                break;
            current.append(buffer, n);
            at += n;
        }
        if (error.isEmpty() && !how.allowed(current))
            error = QStringLiteral("файл изменён");
    }
    if (error.isEmpty()
        && (!writeAll(fd, bytes.constData(), bytes.size(), how.afterChunk) || ::ftruncate(fd, off_t(bytes.size())) != 0
            || ::fsync(fd) != 0))
        error = systemText(errno);
    ::close(fd);
    return error;
}

FileLock::FileLock(const QString &path)
{
    const int fd = ::open(encoded(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    m_handle = fd;
}

FileLock::~FileLock()
{
    if (m_handle != kNone)
        ::close(int(m_handle));
}

} // namespace kve
