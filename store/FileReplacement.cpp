#include "FileReplacement.h"

#include "Error.h"
#include "FileGuard.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>

namespace kve {

namespace {

// Writes go out in blocks of this size: a PDF engine writes many small pieces.
constexpr qsizetype kBlockBytes = 64 * 1024;

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

} // namespace

QString FileReplacement::failureText(const QString &target, const QString &reason)
{
    return QStringLiteral("Не удалось сохранить файл \"%1\": %2")
        .arg(QDir::toNativeSeparators(QFileInfo(target).absoluteFilePath()), reason);
}

FileReplacement::FileReplacement(const QString &target) : m_target(target)
{
    // Through a link its target is replaced, not the link.
    const QFileInfo link(target);
    const QString real = link.isSymLink() ? link.symLinkTarget() : target;
    // A file this user may not write is never replaced, not even by a rename.
    if (QFileInfo::exists(real)) {
        const QString why = cannotWrite(real);
        if (!why.isEmpty())
            throw Error(failureText(target, why), QStringLiteral("opening %1 for writing").arg(real));
    }
    m_destination = real;
    const QFileInfo info(real);
    // Made by QTemporaryFile so that the name is new; written through a handle of our own
    // without Qt's buffer, so that every failed write is seen with its reason.
    QTemporaryFile reserve(info.absoluteDir().filePath(QStringLiteral(".kve-XXXXXXXX.part")));
    if (!reserve.open())
        throw Error(failureText(target, reserve.errorString()),
                    QStringLiteral("creating a temporary file in %1").arg(info.absolutePath()));
    reserve.setAutoRemove(false);
    m_file.setFileName(reserve.fileName());
    reserve.close();
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        const QString reason = m_file.errorString();
        QFile::remove(m_file.fileName());
        throw Error(failureText(target, reason), QStringLiteral("opening %1").arg(m_file.fileName()));
    }
    QIODevice::open(QIODevice::WriteOnly);
}

FileReplacement::~FileReplacement()
{
    if (!m_committed) {
        m_file.close();
        QFile::remove(m_file.fileName());
    }
}

bool FileReplacement::writeOut(const char *data, qint64 size)
{
    while (size > 0 && m_failure.isEmpty()) {
        // A short write leaves no reason behind; the next one gives it.
        const qint64 written = m_file.write(data, size);
        if (written < 0)
            m_failure = m_file.errorString();
        else if (written == 0)
            m_failure = systemText(EIO);
        data += qMax<qint64>(written, 0);
        size -= qMax<qint64>(written, 0);
    }
    return m_failure.isEmpty();
}

qint64 FileReplacement::writeData(const char *data, qint64 size)
{
    if (!m_failure.isEmpty())
        return -1;
    m_buffer.append(data, qsizetype(size));
    if (m_buffer.size() >= kBlockBytes) {
        const bool ok = writeOut(m_buffer.constData(), m_buffer.size());
        m_buffer.clear();
        if (!ok)
            return -1;
    }
    return size;
}

void FileReplacement::fail(const QString &reason, const QString &step)
{
    m_file.close();
    QFile::remove(m_file.fileName());
    m_committed = true;   // nothing left to remove
    QIODevice::close();
    throw Error(failureText(m_target, reason), QStringLiteral("%1 of %2").arg(step, m_file.fileName()));
}

void FileReplacement::commit()
{
    if (m_committed)
        return;
    if (!m_buffer.isEmpty()) {
        writeOut(m_buffer.constData(), m_buffer.size());
        m_buffer.clear();
    }
    if (!m_failure.isEmpty())
        fail(m_failure, QStringLiteral("write"));
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        fail(m_file.errorString(), QStringLiteral("close"));
    const QString unsynced = flushFile(m_file.fileName());
    if (!unsynced.isEmpty())
        fail(unsynced, QStringLiteral("flush to disk"));
    const QString failed = replaceFile(m_file.fileName(), m_destination);
    if (!failed.isEmpty())
        fail(failed, QStringLiteral("rename to %1").arg(m_destination));
    m_committed = true;
    QIODevice::close();
}

} // namespace kve
