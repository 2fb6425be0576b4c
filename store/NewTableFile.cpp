#include "NewTableFile.h"

#include "FileGuard.h"
#include "InPlaceReplace.h"
#include "TableError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

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

// The file a chosen name stands for: a link is followed, also one to a file not yet made.
QString fileNamedBy(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    return info.exists() ? info.canonicalFilePath() : QFileInfo(info.symLinkTarget()).absoluteFilePath();
}

QString heldText(const QString &target) { return QStringLiteral("Файл «%1» открыт другой программой").arg(native(target)); }

QString cannotCreateText(const QString &target, const QString &why)
{
    return QStringLiteral("Не удалось создать файл «%1»: %2").arg(native(target), why);
}

} // namespace

NewTableFile::NewTableFile(const QString &target)
    : m_target(QFileInfo(target).absoluteFilePath()), m_real(fileNamedBy(m_target))
{
    if (heldByAnotherProcess(m_real))
        throw TableError(heldText(m_target));
    const bool existed = QFileInfo::exists(m_real);
    if (existed) {
        const QString why = cannotWrite(m_real);
        if (!why.isEmpty())
            throw TableError(cannotCreateText(m_target, why));
    }

    const QString folder = QFileInfo(m_real).absolutePath();
    removeStale(folder);
    int error = EEXIST;
    for (int attempt = 0; attempt < 16 && error == EEXIST; ++attempt) {
        m_temporary = QDir(folder).filePath(randomName());
        error = createNewFile(m_temporary, true);
    }
    if (error == 0)
        return;
    m_temporary.clear();
    if (!existed)
        throw TableError(cannotCreateText(m_target, systemText(error)));

    // The folder takes no new file, but the target may be written.
    m_inPlaceWrite = std::make_unique<InPlaceReplace>(m_target, m_real);
    m_inPlace = true;
}

NewTableFile::~NewTableFile() { discard(); }

QString NewTableFile::writePath() const { return m_inPlace ? m_inPlaceWrite->stagedPath() : m_temporary; }

void NewTableFile::commit()
{
    if (m_done)
        return;
    try {
        if (m_inPlace)
            commitInPlace();
        else
            commitByRename();
    } catch (const TableError &e) {
        throw TableError(discardAfter(e.text()), e.cause());
    }
    m_done = true;
    m_inPlaceWrite.reset();
}

void NewTableFile::commitByRename()
{
    // The target may have changed while the table was written.
    if (heldByAnotherProcess(m_real))
        throw TableError(heldText(m_target));
    const bool exists = QFileInfo::exists(m_real);
    if (exists) {
        const QString why = cannotWrite(m_real);
        if (!why.isEmpty())
            throw TableError(cannotCreateText(m_target, why));
        copyAccess(m_real, m_temporary);
    }
    bool refused = false;
    const QString why = replaceFile(m_temporary, m_real, &refused);
    if (why.isEmpty()) {
        m_temporary.clear();
        return;
    }
    if (!refused || !exists)
        throw TableError(QStringLiteral("Не удалось записать файл «%1»: %2").arg(native(m_target), why));

    // Writable, but not to be renamed over by this user: the table goes in place.
    m_inPlaceWrite = std::make_unique<InPlaceReplace>(m_target, m_real);
    if (!QFile::copy(m_temporary, m_inPlaceWrite->stagedPath()))
        throw TableError(QStringLiteral("Не удалось сохранить копию файла «%1» в «%2»")
                             .arg(native(m_target), native(InPlaceReplace::backupFolder())));
    QFile::remove(m_temporary);
    m_temporary.clear();
    m_inPlaceWrite->commit();
}

void NewTableFile::commitInPlace() { m_inPlaceWrite->commit(); }

QString NewTableFile::discard()
{
    if (m_done)
        return {};
    m_done = true;
    if (!m_temporary.isEmpty())
        QFile::remove(m_temporary);
    // The target is touched only inside commit, which puts its old bytes back itself.
    m_inPlaceWrite.reset();
    return {};
}

QString NewTableFile::discardAfter(const QString &error)
{
    QString text = error;
    // The operator knows the file by the name chosen, not by the one written to.
    if (!m_temporary.isEmpty())
        text.replace(native(m_temporary), native(m_target));
    if (m_inPlaceWrite)
        text.replace(native(m_inPlaceWrite->stagedPath()), native(m_target));
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
        if (isTemporaryName(name))
            removeUnheld(dir.filePath(name));
    }
}

} // namespace kve
