#include "InPlaceReplace.h"

#include "FileGuard.h"
#include "TableError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <algorithm>

namespace kve {

namespace {

constexpr char kRecordHeader[] = "kve-replace 1";
const QString kLock = QStringLiteral("lock");
const QString kRecord = QStringLiteral("record");
const QString kOld = QStringLiteral("old.db");
const QString kNew = QStringLiteral("new.db");

std::function<void(const QString &)> &stepObserver()
{
    static std::function<void(const QString &)> observer;
    return observer;
}

void step(const QString &name)
{
    if (stepObserver())
        stepObserver()(name);
}

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

QString operationsFolder() { return InPlaceReplace::backupFolder() + QStringLiteral("/replace"); }

QString newOperationName()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString name = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-"));
    for (int i = 0; i < 6; ++i)
        name += QLatin1Char(letters[QRandomGenerator::system()->bounded(36)]);
    return name;
}

// Reads a whole file; empty with `error` set when it cannot.
QByteArray readFile(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = f.errorString();
        return {};
    }
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        *error = f.errorString();
    return bytes;
}

// A new file holding `bytes`, on disk when this returns empty.
QString writeNewFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return f.errorString();
    if (f.write(bytes) != bytes.size() || !f.flush())
        return f.errorString();
    f.close();
    return flushFile(path);
}

// What a write in place or its undoing can have left: every byte the old or the new one at
// its place, the length between theirs.
bool madeOfOldAndNew(const QByteArray &current, const QByteArray &old, const QByteArray &written)
{
    const qsizetype shortest = std::min(old.size(), written.size());
    const qsizetype longest = std::max(old.size(), written.size());
    if (current.size() < shortest || current.size() > longest)
        return false;
    for (qsizetype i = 0; i < current.size(); ++i) {
        const bool fromOld = i < old.size() && current[i] == old[i];
        const bool fromNew = i < written.size() && current[i] == written[i];
        if (!fromOld && !fromNew)
            return false;
    }
    return true;
}

// Moves the old bytes of an operation where the operator can find them by name: the
// file's own name with the time of the interrupted write.
QString keepOldBytes(const QString &operation, const QString &target)
{
    const QString keptFolder = InPlaceReplace::backupFolder() + QStringLiteral("/kept");
    QDir().mkpath(keptFolder);
    const QFileInfo info(target);
    const QString suffix = info.suffix().isEmpty() ? QStringLiteral("db") : info.suffix();
    const QString stamp = QFileInfo(operation).fileName().left(15);
    QString kept;
    for (int n = 1;; ++n) {
        kept = QStringLiteral("%1/%2-%3%4.%5")
                   .arg(keptFolder, info.completeBaseName(), stamp, n == 1 ? QString() : QStringLiteral("-%1").arg(n), suffix);
        if (!QFileInfo::exists(kept))
            break;
    }
    if (!QFile::rename(operation + QLatin1Char('/') + kOld, kept))
        return native(operation + QLatin1Char('/') + kOld);
    flushFolder(keptFolder);
    return native(kept);
}

void removeFolderOf(const QString &folder, std::unique_ptr<FileLock> &lock)
{
    // The record first: once it is gone the operation is over, whatever is left.
    QFile::remove(folder + QLatin1Char('/') + kRecord);
    flushFolder(folder);
    QFile::remove(folder + QLatin1Char('/') + kRecord + QStringLiteral(".part"));
    QFile::remove(folder + QLatin1Char('/') + kOld);
    QFile::remove(folder + QLatin1Char('/') + kNew);
    lock.reset();
    QFile::remove(folder + QLatin1Char('/') + kLock);
    QDir().rmdir(folder);
}

} // namespace

InPlaceReplace::InPlaceReplace(const QString &target, const QString &real) : m_target(target), m_real(real)
{
    const QString operations = operationsFolder();
    m_folder = operations + QLatin1Char('/') + newOperationName();
    QString why;
    if (!QDir().mkpath(operations) || !QDir().mkdir(m_folder))
        why = QStringLiteral("папка недоступна");
    if (why.isEmpty()) {
        QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        m_lock = std::make_unique<FileLock>(file(kLock));
        if (!m_lock->locked())
            why = QStringLiteral("не удалось занять папку");
    }
    if (!why.isEmpty()) {
        m_lock.reset();
        QDir().rmdir(m_folder);
        throw TableError(QStringLiteral("Не удалось сохранить копию файла «%1» в «%2»: %3")
                             .arg(native(m_target), native(operations), why));
    }
}

InPlaceReplace::~InPlaceReplace() { removeOperation(); }

QString InPlaceReplace::file(const QString &name) const { return m_folder + QLatin1Char('/') + name; }

QString InPlaceReplace::stagedPath() const { return file(kNew); }

void InPlaceReplace::removeOperation()
{
    if (m_lock)
        removeFolderOf(m_folder, m_lock);
}

void InPlaceReplace::commit()
{
    QString why;
    const QByteArray written = readFile(stagedPath(), &why);
    if (!why.isEmpty())
        throw TableError(QStringLiteral("Не удалось записать файл «%1»: %2").arg(native(m_target), why));
    if (heldByAnotherProcess(m_real))
        throw TableError(QStringLiteral("Файл «%1» открыт другой программой").arg(native(m_target)));
    const QByteArray old = readFile(m_real, &why);
    if (!why.isEmpty())
        throw TableError(QStringLiteral("Не удалось прочитать файл «%1»: %2").arg(native(m_target), why));

    // The old bytes and the record are on disk before the target is touched.
    why = writeNewFile(file(kOld), old);
    if (why.isEmpty()) {
        const QByteArray record = QByteArray(kRecordHeader) + '\n' + m_target.toUtf8() + '\n' + m_real.toUtf8() + '\n'
                                  + fileIdentity(m_real).toUtf8() + '\n';
        const QString part = file(kRecord + QStringLiteral(".part"));
        why = writeNewFile(part, record);
        if (why.isEmpty() && !QFile::rename(part, file(kRecord)))
            why = QStringLiteral("не удалось записать запись о замене");
        if (why.isEmpty())
            why = flushFolder(m_folder);
    }
    if (!why.isEmpty()) {
        removeOperation();
        throw TableError(QStringLiteral("Не удалось сохранить копию файла «%1» в «%2»: %3")
                             .arg(native(m_target), native(operationsFolder()), why));
    }
    step(QStringLiteral("kept"));

    Overwrite how;
    how.afterChunk = [](qint64 done) { step(QStringLiteral("written %1").arg(done)); };
    bool held = false;
    const QString failed = overwriteFile(m_real, written, how, &held);
    if (held) {
        removeOperation();
        throw TableError(QStringLiteral("Файл «%1» открыт другой программой").arg(native(m_target)));
    }
    if (!failed.isEmpty()) {
        QString text = QStringLiteral("Не удалось записать файл «%1»: %2").arg(native(m_target), failed);
        const QString notBack = overwriteFile(m_real, old);
        if (!notBack.isEmpty()) {
            text += QStringLiteral("; вернуть прежнее содержимое файла «%1» не удалось: %2. Оно сохранено в «%3»")
                        .arg(native(m_target), notBack, keepOldBytes(m_folder, m_target));
        }
        removeOperation();
        throw TableError(text);
    }
    step(QStringLiteral("replaced"));
    removeOperation();
}

QString InPlaceReplace::backupFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Dorvatek/KVE");
}

QList<InPlaceReplace::Interrupted> InPlaceReplace::recoverInterrupted()
{
    QList<Interrupted> found;
    const QDir operations(operationsFolder());
    for (const QString &name : operations.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name)) {
        const QString folder = operations.filePath(name);
        auto lock = std::make_unique<FileLock>(folder + QLatin1Char('/') + kLock);
        if (!lock->locked())
            continue;   // another copy is writing
        QString why;
        const QList<QByteArray> record = readFile(folder + QLatin1Char('/') + kRecord, &why).split('\n');
        if (why.isEmpty() && record.size() >= 4 && record[0] == kRecordHeader) {
            const QString target = QString::fromUtf8(record[1]);
            const QString real = QString::fromUtf8(record[2]);
            const QByteArray old = readFile(folder + QLatin1Char('/') + kOld, &why);
            QString missing;
            const QByteArray written = readFile(folder + QLatin1Char('/') + kNew, &missing);
            bool restored = false;
            // Put back only over the same file, no other process holds, holding nothing
            // but what this write left.
            if (why.isEmpty() && fileIdentity(real) == QString::fromUtf8(record[3])) {
                Overwrite how;
                how.allowed = [&](const QByteArray &current) {
                    return missing.isEmpty() ? madeOfOldAndNew(current, old, written) : current == old;
                };
                restored = overwriteFile(real, old, how).isEmpty();
            }
            found.append({target, restored ? QString() : keepOldBytes(folder, target)});
        }
        removeFolderOf(folder, lock);
    }
    return found;
}

void InPlaceReplace::setStepObserver(std::function<void(const QString &)> observer) { stepObserver() = std::move(observer); }

} // namespace kve
