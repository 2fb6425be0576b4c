#include "FileGuard.h"

#include <QFile>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <windows.h>
#else
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace kve {

bool heldByAnotherProcess(const QString &path)
{
#ifdef _WIN32
    FILE *fp = _wfsopen(reinterpret_cast<const wchar_t *>(path.utf16()), L"rb", _SH_DENYRW);
    if (!fp)
        return errno == EACCES;
    fclose(fp);
    return false;
#else
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
#endif
}

QString cannotWrite(const QString &path)
{
    // Opening for writing asks the system itself (mode bits, owner, ACLs, read-only
    // volumes) without changing the file.
#ifdef _WIN32
    int fd = -1;
    const errno_t error = _wsopen_s(&fd, reinterpret_cast<const wchar_t *>(path.utf16()), _O_WRONLY | _O_BINARY | _O_NOINHERIT,
                                    _SH_DENYNO, 0);
    if (error != 0)
        return QString::fromLocal8Bit(std::strerror(error));
    _close(fd);
    return {};
#else
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    return {};
#endif
}

QString replaceFile(const QString &from, const QString &to)
{
#ifdef _WIN32
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(from.utf16()), reinterpret_cast<const wchar_t *>(to.utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    return QStringLiteral("код ошибки %1").arg(GetLastError());
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return {};
    return QString::fromLocal8Bit(std::strerror(errno));
#endif
}

} // namespace kve
