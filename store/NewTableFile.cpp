#include "NewTableFile.h"

#include "FileGuard.h"
#include "TableError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <share.h>
#include <stdio.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kve {

namespace {

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString randomName()
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString name = QStringLiteral(".kve-");
    for (int i = 0; i < 8; ++i)
        name += QLatin1Char(letters[QRandomGenerator::system()->bounded(62)]);
    return name + QStringLiteral(".part");
}

// Makes the file only if there is none of that name (hidden on Windows); 0 or errno.
int createExclusive(const QString &path)
{
#ifdef _WIN32
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? EEXIST
               : error == ERROR_ACCESS_DENIED                              ? EACCES
                                                                           : EIO;
    }
    CloseHandle(h);
    return 0;
#else
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
#endif
}

} // namespace

NewTableFile::NewTableFile(const QString &target) : m_target(QFileInfo(target).absoluteFilePath())
{
    if (heldByAnotherProcess(m_target))
        throw TableError(QStringLiteral("Файл «%1» открыт другой программой").arg(native(m_target)));
    const QFileInfo info(m_target);
    m_existed = info.exists();
    if (m_existed) {
        const QString why = cannotWrite(m_target);
        if (!why.isEmpty())
            throw TableError(QStringLiteral("Не удалось создать файл «%1»: %2").arg(native(m_target), why));
    }

    const QString folder = info.absolutePath();
    removeStale(folder);
    int error = EEXIST;
    for (int attempt = 0; attempt < 16 && error == EEXIST; ++attempt) {
        m_temporary = QDir(folder).filePath(randomName());
        error = createExclusive(m_temporary);
    }
    if (error == 0)
        return;
    m_temporary.clear();
    if (!m_existed)
        throw TableError(QStringLiteral("Не удалось создать файл «%1»: %2").arg(native(m_target), systemText(error)));

    // The folder takes no new file, but the target may be written: keep what it holds.
    QFile old(m_target);
    if (!old.open(QIODevice::ReadOnly))
        throw TableError(QStringLiteral("Не удалось прочитать файл «%1»: %2").arg(native(m_target), old.errorString()));
    m_oldBytes = old.readAll();
    if (old.error() != QFileDevice::NoError)
        throw TableError(QStringLiteral("Не удалось прочитать файл «%1»: %2").arg(native(m_target), old.errorString()));
    m_inPlace = true;
}

NewTableFile::~NewTableFile() { discard(); }

void NewTableFile::commit()
{
    if (m_done)
        return;
    if (!m_inPlace) {
        // The target may have changed while the table was written.
        QString error;
        if (heldByAnotherProcess(m_target)) {
            error = QStringLiteral("Файл «%1» открыт другой программой").arg(native(m_target));
        } else if (QFileInfo::exists(m_target)) {
            const QString why = cannotWrite(m_target);
            if (!why.isEmpty())
                error = QStringLiteral("Не удалось создать файл «%1»: %2").arg(native(m_target), why);
        }
        if (error.isEmpty()) {
#ifdef _WIN32
            // The rename keeps the attributes: the table itself must not stay hidden.
            SetFileAttributesW(reinterpret_cast<const wchar_t *>(m_temporary.utf16()), FILE_ATTRIBUTE_NORMAL);
#endif
            const QString why = replaceFile(m_temporary, m_target);
            if (!why.isEmpty())
                error = QStringLiteral("Не удалось записать файл «%1»: %2").arg(native(m_target), why);
        }
        if (!error.isEmpty())
            throw TableError(discardAfter(error));
    }
    m_done = true;
    m_oldBytes.clear();
}

QString NewTableFile::discard()
{
    if (m_done)
        return {};
    m_done = true;
    if (!m_inPlace) {
        QFile::remove(m_temporary);
        return {};
    }
    // Held by another copy: this one never got to cut it.
    if (heldByAnotherProcess(m_target))
        return QStringLiteral("файл открыт другой программой");
    QFile file(m_target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(m_oldBytes) != m_oldBytes.size() || !file.flush())
        return file.errorString();
    file.close();
    m_oldBytes.clear();
    return {};
}

QString NewTableFile::discardAfter(const QString &error)
{
    QString text = error;
    // The operator knows the file by the name chosen, not by its temporary one.
    if (!m_temporary.isEmpty())
        text.replace(native(m_temporary), native(m_target));
    const QString failed = discard();
    if (!failed.isEmpty())
        text += QStringLiteral("; вернуть прежнее содержимое файла «%1» не удалось: %2").arg(native(m_target), failed);
    return text;
}

bool NewTableFile::isTemporaryName(const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.kve-[A-Za-z0-9]{8}\\.part$"));
    return pattern.match(fileName).hasMatch();
}

void NewTableFile::removeStale(const QString &folder)
{
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString &name : names) {
        if (!isTemporaryName(name))
            continue;
        const QString path = dir.filePath(name);
#ifdef _WIN32
        // Another copy writing it holds it without sharing: then it cannot be opened here.
        FILE *fp = _wfsopen(reinterpret_cast<const wchar_t *>(path.utf16()), L"rb", _SH_DENYRW);
        if (!fp)
            continue;
        fclose(fp);
        DeleteFileW(reinterpret_cast<const wchar_t *>(path.utf16()));
#else
        // Another copy writing it holds its lock; the lock is kept here until it is gone.
        const QByteArray encoded = QFile::encodeName(path);
        const int fd = ::open(encoded.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat held {};
        struct stat named {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && ::lstat(encoded.constData(), &named) == 0
            && S_ISREG(held.st_mode) && held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            ::unlink(encoded.constData());
        ::close(fd);
#endif
    }
}

} // namespace kve
