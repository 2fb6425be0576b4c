#pragma once

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>

namespace kve {

// A new file written beside its target (a hidden ".kve-XXXXXXXX.part") that takes the
// target's place in one rename only when every byte was written and reached the disk.
// Until then, and after any failure, the target keeps its old content. A write that fails
// is kept with the system's reason and makes commit() fail; a writer that ignores what
// write() returns (such as a PDF engine) cannot lose it.
class FileReplacement : public QIODevice {
public:
    // Makes the temporary file, open for writing; refuses an existing target this user may
    // not write. Throws kve::Error.
    explicit FileReplacement(const QString &target);
    // Removes the temporary file unless it was committed.
    ~FileReplacement() override;

    QString target() const { return m_target; }
    QString temporaryPath() const { return m_file.fileName(); }
    bool isSequential() const override { return true; }

    // Writes out what is buffered, flushes it to the disk and renames the temporary file
    // over the target. Throws kve::Error ("Не удалось сохранить файл "<target>": <reason>").
    void commit();

    // The operator's text for a failure to save `target`, with the system's reason.
    static QString failureText(const QString &target, const QString &reason);

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool writeOut(const char *data, qint64 size);
    [[noreturn]] void fail(const QString &reason, const QString &step);

    QString m_target;
    QString m_destination;   // the target, or the file its link points to
    QFile m_file;
    QByteArray m_buffer;
    QString m_failure;   // the system's reason of the first failed write
    bool m_committed = false;
};

} // namespace kve
