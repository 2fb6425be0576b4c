#include "store/FileGuard.h"
#include "store/MeasurementTable.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class FileGuardTest : public QObject {
    Q_OBJECT

private slots:
    void heldWhileATableHasItOpen()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("held.db");
        QVERIFY(!kve::heldByAnotherProcess(path));   // no such file
        kve::MeasurementTable t;
        t.setFilePath(path);
        t.create();
        // The lock is per open file: a second opening, as another copy of the program makes,
        // sees it even from this process.
        QVERIFY(kve::heldByAnotherProcess(path));
        t.close();
        QVERIFY(!kve::heldByAnotherProcess(path));
    }

    void replaceTakesThePlaceOfTheOldFile()
    {
        QTemporaryDir dir;
        const auto write = [&](const QString &name, const QByteArray &bytes) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        write("old", "old contents");
        write("new", "new contents");
        QCOMPARE(kve::replaceFile(dir.filePath("new"), dir.filePath("old")), QString());
        QFile f(dir.filePath("old"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("new contents"));
        QVERIFY(!QFile::exists(dir.filePath("new")));
        // A source that is not there is an error and the target stays.
        QVERIFY(!kve::replaceFile(dir.filePath("missing"), dir.filePath("old")).isEmpty());
        QVERIFY(QFile::exists(dir.filePath("old")));
    }
};

QTEST_GUILESS_MAIN(FileGuardTest)
#include "tst_file_guard.moc"
