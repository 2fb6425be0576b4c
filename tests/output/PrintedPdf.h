#pragma once

// The PDF printer of the print server (cups-pdf) for tests that print for real: finding
// the queue, where its files land, waiting for a job's file, and reading it back with
// poppler's tools, which are independent of our code.

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>
#include <pwd.h>
#include <unistd.h>

namespace kvetest {

// A queue of the cups-pdf driver, the default one first; empty when there is none.
inline QString pdfPrinterName()
{
    const QString def = QPrinterInfo::defaultPrinterName();
    QString found;
    for (const QPrinterInfo &p : QPrinterInfo::availablePrinters()) {
        if (!p.makeAndModel().contains(QStringLiteral("CUPS-PDF"), Qt::CaseInsensitive))
            continue;
        if (found.isEmpty() || p.printerName() == def)
            found = p.printerName();
    }
    return found;
}

// The "Out" folder of /etc/cups/cups-pdf.conf for the user running the test. The print
// server knows the user from the password database, not from our test's HOME.
inline QString pdfOutputDir()
{
    QString out = QStringLiteral("${HOME}/PDF");   // the driver's own default
    QFile conf(QStringLiteral("/etc/cups/cups-pdf.conf"));
    if (conf.open(QIODevice::ReadOnly)) {
        static const QRegularExpression key(QStringLiteral("^\\s*Out\\s+(\\S.*)$"));
        for (const QString &line : QString::fromUtf8(conf.readAll()).split(u'\n')) {
            const auto m = key.match(line);
            if (m.hasMatch())
                out = m.captured(1).trimmed();
        }
    }
    const passwd *pw = getpwuid(getuid());
    if (pw) {
        out.replace(QStringLiteral("${HOME}"), QString::fromLocal8Bit(pw->pw_dir));
        out.replace(QStringLiteral("${USER}"), QString::fromLocal8Bit(pw->pw_name));
    }
    return out;
}

inline QString runTool(const QString &program, const QStringList &args, bool *ok = nullptr)
{
    QProcess p;
    p.start(program, args);
    const bool done = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok)
        *ok = done;
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Page count of a complete PDF file; -1 while it cannot be read.
inline int pdfPageCount(const QString &path)
{
    bool ok = false;
    const QString info = runTool(QStringLiteral("pdfinfo"), {path}, &ok);
    static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption);
    const auto m = pages.match(info);
    return ok && m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The text of each page of a PDF file.
inline QStringList pdfPageTexts(const QString &path)
{
    QStringList texts;
    const int n = pdfPageCount(path);
    for (int i = 1; i <= n; ++i)
        texts << runTool(QStringLiteral("pdftotext"),
                         {QStringLiteral("-f"), QString::number(i), QStringLiteral("-l"), QString::number(i),
                          QStringLiteral("-layout"), path, QStringLiteral("-")});
    return texts;
}

// cups-pdf names its file after the job title (blanks and such made "_").
inline QStringList jobFiles(const QString &dir, const QString &jobName)
{
    QStringList out;
    for (const QString &f : QDir(dir).entryList({jobName + QStringLiteral("*.pdf")}, QDir::Files))
        out << QDir(dir).filePath(f);
    return out;
}

// Waits up to `timeoutMs` for the job's PDF file to be complete; empty when it did not come.
inline QString waitForJobFile(const QString &dir, const QString &jobName, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        const QStringList files = jobFiles(dir, jobName);
        if (!files.isEmpty() && pdfPageCount(files.first()) > 0)
            return files.first();
        QTest::qWait(200);
    }
    return {};
}

// A job title no earlier run has used, of characters that the driver keeps in the name.
inline QString uniqueJobName(const char *what)
{
    return QStringLiteral("kvetest_%1_%2_%3")
        .arg(QString::fromLatin1(what))
        .arg(getpid())
        .arg(QDateTime::currentMSecsSinceEpoch());
}

} // namespace kvetest
