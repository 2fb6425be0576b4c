#include "device/PortNames.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtTest>

class TestPortNames : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Never the user's own config folder.
        QVERIFY(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"));
    }

    void tableOfNames()
    {
        const QStringList &names = kve::portNames();
        QCOMPARE(names.size(), 38);
        QCOMPARE(names.first(), QStringLiteral("\\\\.\\COM1"));
        QCOMPARE(names.at(8), QStringLiteral("\\\\.\\COM9"));
        QCOMPARE(names.last(), QStringLiteral("\\\\.\\COM38"));
        QCOMPARE(names.first().size(), 8);   // \\.\COM1
    }

    void numbers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        QTest::newRow("full") << QStringLiteral("\\\\.\\COM7") << 7;
        QTest::newRow("short") << QStringLiteral("COM12") << 12;
        QTest::newRow("lower") << QStringLiteral("com2") << 2;
        QTest::newRow("path") << QStringLiteral("/dev/ttyS0") << 0;
        QTest::newRow("COM0") << QStringLiteral("COM0") << 0;
        QTest::newRow("junk after") << QStringLiteral("COM2x") << 0;
    }
    void numbers()
    {
        QFETCH(QString, name);
        QFETCH(int, number);
        QCOMPARE(kve::portNumber(name), number);
    }

    void platformDevices_data()
    {
        QTest::addColumn<int>("com");
        QTest::addColumn<QString>("device");
        QTest::newRow("COM1") << 1 << "/dev/ttyS0";
        QTest::newRow("COM4") << 4 << "/dev/ttyS3";
        QTest::newRow("COM5") << 5 << "/dev/ttyUSB0";
        QTest::newRow("COM20") << 20 << "/dev/ttyUSB15";
        QTest::newRow("COM21") << 21 << "/dev/ttyACM0";
        QTest::newRow("COM38") << 38 << "/dev/ttyACM17";
    }
    void platformDevices()
    {
        QFETCH(int, com);
        QFETCH(QString, device);
        QCOMPARE(kve::deviceForPortName(kve::portName(com)), device);
    }

    void linkWins()
    {
        const QString dir = kve::portLinkDirectory();
        QVERIFY(dir.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
        QVERIFY(dir.endsWith(QStringLiteral("/Dorvatek/KVE/ports")));
        QVERIFY(QDir().mkpath(dir));
        const QString link = dir + QStringLiteral("/com9");
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), link));
        QCOMPARE(kve::deviceForPortName(QStringLiteral("\\\\.\\COM9")), link);
        // A dangling link still wins: it hides the platform's port.
        const QString dangling = dir + QStringLiteral("/com3");
        QVERIFY(QFile::link(dir + QStringLiteral("/nothing-here"), dangling));
        QCOMPARE(kve::deviceForPortName(QStringLiteral("\\\\.\\COM3")), dangling);
        QCOMPARE(kve::deviceForPortName(QStringLiteral("\\\\.\\COM10")), QStringLiteral("/dev/ttyUSB5"));
        QFile::remove(link);
        QFile::remove(dangling);
        QCOMPARE(kve::deviceForPortName(QStringLiteral("\\\\.\\COM9")), QStringLiteral("/dev/ttyUSB4"));
    }

    void pathsStayPaths()
    {
        QCOMPARE(kve::deviceForPortName(QStringLiteral("/tmp/x")), QStringLiteral("/tmp/x"));
    }
};

QTEST_GUILESS_MAIN(TestPortNames)
#include "tst_PortNames.moc"
