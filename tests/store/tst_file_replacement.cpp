// A file written beside its target takes the target's place only when whole: after a write
// that fails (a size limit standing in for a full disk) the target keeps every byte, the
// error names the file and the system's reason, and no temporary file is left.
#include "FileSizeLimit.h"
#include "store/Error.h"
#include "store/FileReplacement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class FileReplacementTest : public QObject {
    Q_OBJECT

private slots:
    // Written in many small pieces and in one large one, as the PDF engine and the
    // workbook write.
    void replacesTheTargetWhenWhole_data()
    {
        QTest::addColumn<int>("pieceBytes");
        QTest::newRow("small pieces") << 7;
        QTest::newRow("one piece") << 300000;
    }

    void replacesTheTargetWhenWhole()
    {
        QFETCH(int, pieceBytes);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("отчёт.pdf"));
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents");
        old.close();
        QByteArray content;
        for (int i = 0; i < 300000; ++i)
            content.append(char('a' + i % 26));
        {
            kve::FileReplacement file(target);
            // Hidden beside the target, under the name a later "Создать" clears away.
            QVERIFY2(QRegularExpression(QStringLiteral("^\\.kve-[A-Za-z0-9]{8}\\.part$"))
                         .match(QFileInfo(file.temporaryPath()).fileName())
                         .hasMatch(),
                     qPrintable(file.temporaryPath()));
            QCOMPARE(QFileInfo(file.temporaryPath()).absolutePath(), QFileInfo(target).absolutePath());
            for (qsizetype at = 0; at < content.size(); at += pieceBytes)
                QCOMPARE(file.write(content.mid(at, pieceBytes)), qMin<qint64>(pieceBytes, content.size() - at));
            QCOMPARE(bytesOf(target), QByteArray("old contents"));
            file.commit();
        }
        QCOMPARE(bytesOf(target), content);
        QCOMPARE(entries(dir.path()), QStringList({QStringLiteral("отчёт.pdf")}));
    }

    // The limit lets part of the new file through, so the first failure is a short write,
    // which carries no reason of its own.
    void failedWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<int>("pieceBytes");
        QTest::newRow("small pieces") << 7;
        QTest::newRow("one piece") << 300000;
    }

    void failedWriteKeepsTheOldFile()
    {
        QFETCH(int, pieceBytes);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("book.xls"));
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents");
        old.close();
        const QByteArray content(300000, 'x');
        QString text;
        {
            testing::FileSizeLimit limit(100000);
            QVERIFY(limit.ok());
            try {
                kve::FileReplacement file(target);
                for (qsizetype at = 0; at < content.size(); at += pieceBytes)
                    file.write(content.mid(at, pieceBytes));
                file.commit();
                QFAIL("the write past the limit did not fail");
            } catch (const kve::Error &e) {
                text = e.text();
            }
        }
        QCOMPARE(text, QStringLiteral("Не удалось сохранить файл \"%1\": %2")
                           .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(std::strerror(EFBIG))));
        QCOMPARE(bytesOf(target), QByteArray("old contents"));
        QCOMPARE(entries(dir.path()), QStringList({QStringLiteral("book.xls")}));
    }

    // Saved through a link: the file it points to gets the content, the link stays a link.
    void linkKeepsPointingAtTheNewContent()
    {
        QTemporaryDir dir;
        const QString real = dir.filePath(QStringLiteral("real.xls"));
        const QString link = dir.filePath(QStringLiteral("link.xls"));
        QFile old(real);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents");
        old.close();
        QVERIFY(QFile::link(real, link));
        {
            kve::FileReplacement file(link);
            file.write("new contents");
            file.commit();
        }
        QCOMPARE(QFileInfo(link).symLinkTarget(), real);
        QCOMPARE(bytesOf(real), QByteArray("new contents"));
        QCOMPARE(entries(dir.path()), QStringList({QStringLiteral("link.xls"), QStringLiteral("real.xls")}));
    }

    // Given up without commit: the target as it was, nothing left beside it.
    void abandonedLeavesNothing()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("new.pdf"));
        {
            kve::FileReplacement file(target);
            file.write("part");
            QVERIFY(QFile::exists(file.temporaryPath()));
        }
        QCOMPARE(entries(dir.path()), QStringList());
    }
};

QTEST_GUILESS_MAIN(FileReplacementTest)
#include "tst_file_replacement.moc"
