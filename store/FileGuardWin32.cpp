#include "store/FileGuard.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <windows.h>

namespace kve {

namespace {

const wchar_t *wide(const QString &path) { return reinterpret_cast<const wchar_t *>(path.utf16()); }

QString systemText(DWORD error)
{
    wchar_t *buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    QString text = n ? QString::fromWCharArray(buffer, int(n)).trimmed() : QStringLiteral("код ошибки %1").arg(error);
    if (buffer)
        LocalFree(buffer);
    return text;
}

bool isSharingError(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// The table object opens its file without sharing: an opening without sharing is the lock.
HANDLE openUnshared(const QString &path, DWORD access, DWORD disposition, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
{
    return CreateFileW(wide(path), access, 0, nullptr, disposition, attributes, nullptr);
}

QString flushHandle(HANDLE h) { return FlushFileBuffers(h) ? QString() : systemText(GetLastError()); }

} // namespace

bool heldByAnotherProcess(const QString &path)
{
    FILE *fp = _wfsopen(wide(path), L"rb", _SH_DENYRW);
    if (!fp)
        return errno == EACCES;
    fclose(fp);
    return false;
}

QString cannotWrite(const QString &path)
{
    int fd = -1;
    const errno_t error = _wsopen_s(&fd, wide(path), _O_WRONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, 0);
    if (error != 0)
        return QString::fromLocal8Bit(std::strerror(error));
    _close(fd);
    return {};
}

QString replaceFile(const QString &from, const QString &to, bool *refused)
{
    if (refused)
        *refused = false;
    const QString flushed = flushFile(from);
    if (!flushed.isEmpty())
        return flushed;
    if (GetFileAttributesW(wide(to)) != INVALID_FILE_ATTRIBUTES) {
        // Keeps the replaced file's attributes, security and streams; the hidden mark of
        // the temporary file does not carry over.
        if (!ReplaceFileW(wide(to), wide(from), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            const DWORD error = GetLastError();
            if (refused)
                *refused = error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED;
            return systemText(error);
        }
        flushFile(to);
        return {};
    }
    if (!MoveFileExW(wide(from), wide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return systemText(GetLastError());
    // The table itself must not stay hidden.
    SetFileAttributesW(wide(to), FILE_ATTRIBUTE_NORMAL);
    return {};
}

int createNewFile(const QString &path, bool hidden)
{
    // CREATE_NEW fails on any existing entry, a link included; the link is not followed.
    HANDLE h = CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           (hidden ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL) | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? EEXIST : error == ERROR_ACCESS_DENIED ? EACCES : EIO;
    }
    CloseHandle(h);
    return 0;
}

QString flushFile(const QString &path)
{
    HANDLE h = CreateFileW(wide(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return systemText(GetLastError());
    const QString error = flushHandle(h);
    CloseHandle(h);
    return error;
}

QString flushFolder(const QString &)
{
    // Renames with MOVEFILE_WRITE_THROUGH and ReplaceFileW are on disk when they return;
    // a folder cannot be flushed by a user here.
    return {};
}

void copyAccess(const QString &, const QString &)
{
    // ReplaceFileW gives the new file the replaced file's attributes and security itself.
}

void removeUnheld(const QString &path)
{
    // Another copy writing it holds it without sharing: then it cannot be opened here.
    const DWORD attributes = GetFileAttributesW(wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return;
    FILE *fp = _wfsopen(wide(path), L"rb", _SH_DENYRW);
    if (!fp)
        return;
    fclose(fp);
    SetFileAttributesW(wide(path), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(wide(path));
}

QString fileIdentity(const QString &path)
{
    HANDLE h = CreateFileW(wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok)
        return {};
    const quint64 index = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return QStringLiteral("%1:%2").arg(quint64(info.dwVolumeSerialNumber)).arg(index);
}

QString overwriteFile(const QString &path, const QByteArray &bytes, const Overwrite &how, bool *held)
{
    if (held)
        *held = false;
    HANDLE h = openUnshared(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (held)
            *held = isSharingError(error);
        return systemText(error);
    }
    QString error;
    if (how.allowed) {
        QByteArray current;
        char buffer[64 * 1024];
        DWORD n = 0;
        while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0)
            current.append(buffer, int(n));
        if (!how.allowed(current))
            error = QStringLiteral("файл изменён");
    }
    if (error.isEmpty()) {
        constexpr qint64 kChunk = 64 * 1024;
        LARGE_INTEGER start{};
        if (!SetFilePointerEx(h, start, nullptr, FILE_BEGIN))
            error = systemText(GetLastError());
        qint64 done = 0;
        while (error.isEmpty() && done < bytes.size()) {
            DWORD n = 0;
            if (!WriteFile(h, bytes.constData() + done, DWORD(std::min(kChunk, bytes.size() - done)), &n, nullptr)) {
                error = systemText(GetLastError());
                break;
            }
            done += n;
            if (how.afterChunk)
                how.afterChunk(done);
        }
        if (error.isEmpty() && !SetEndOfFile(h))
            error = systemText(GetLastError());
        if (error.isEmpty())
            error = flushHandle(h);
    }
    CloseHandle(h);
    return error;
}

FileLock::FileLock(const QString &path)
{
    HANDLE h = openUnshared(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN);
    if (h != INVALID_HANDLE_VALUE)
        m_handle = reinterpret_cast<long long>(h);
}

FileLock::~FileLock()
{
    if (m_handle != kNone)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

} // namespace kve
