#include "store/SettingsWrite.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using kve::writeSetting;

class SettingsWriteTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString file() const { return m_dir.filePath(QStringLiteral("KVE.conf")); }

    // While a folder stands where the file belongs, nobody can write it (root included).
    void block(bool blocked)
    {
        QDir().rmdir(file());
        if (blocked)
            QVERIFY(QDir().mkpath(file()));
    }

private slots:
    void cleanup()
    {
        block(false);
        QFile::remove(file());
    }

    void eachWriteIsJudgedAlone()
    {
        QSettings key(file(), QSettings::IniFormat);
        key.beginGroup(QStringLiteral("1.0"));
        block(true);
        QCOMPARE(writeSetting(key, QStringLiteral("Default_dir"), QStringLiteral("/a")), QSettings::AccessError);
        QCOMPARE(writeSetting(key, QStringLiteral("Table_1"), QStringLiteral("x")), QSettings::AccessError);
        block(false);
        QCOMPARE(writeSetting(key, QStringLiteral("Table_2"), QStringLiteral("y")), QSettings::NoError);

        // On disk, in the caller's group, and read at once through the caller's object.
        QFile onDisk(file());
        QVERIFY(onDisk.open(QIODevice::ReadOnly));
        const QByteArray text = onDisk.readAll();
        QVERIFY2(text.startsWith("[1.0]\n") && text.contains("\nTable_2=y\n"), text.constData());
        QCOMPARE(key.value(QStringLiteral("Table_2")).toString(), QStringLiteral("y"));
    }

    void callerGroupIsKept_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("stored");
        QTest::newRow("group") << QStringLiteral("1.0") << QStringLiteral("1.0/Default_dir");
        QTest::newRow("none") << QString() << QStringLiteral("Default_dir");
    }

    void callerGroupIsKept()
    {
        QFETCH(QString, group);
        QFETCH(QString, stored);
        QSettings key(file(), QSettings::IniFormat);
        if (!group.isEmpty())
            key.beginGroup(group);
        QCOMPARE(writeSetting(key, QStringLiteral("Default_dir"), QStringLiteral("/b")), QSettings::NoError);
        QSettings check(file(), QSettings::IniFormat);
        QCOMPARE(check.allKeys(), QStringList({stored}));
        QCOMPARE(check.value(stored).toString(), QStringLiteral("/b"));
    }
};

QTEST_GUILESS_MAIN(SettingsWriteTest)
#include "tst_settings_write.moc"
