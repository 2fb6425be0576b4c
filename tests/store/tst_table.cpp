#include "ExpectedTableHeader.h"
#include "store/MeasurementTable.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using kve::MeasurementTable;
using kve::TableError;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

quint32 le32(const QByteArray &b, int at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16 |
           quint32(quint8(b[at + 3])) << 24;
}

int le16(const QByteArray &b, int at) { return quint8(b[at]) | quint8(b[at + 1]) << 8; }

void appendRow(MeasurementTable &t, int n, int series, const QString &t1 = QString(), const QString &comment = QString())
{
    t.append();
    t.setFieldInt("N", n);
    t.setFieldInt("EN_CH", series);
    if (!t1.isNull())
        t.setFieldText("T_1", t1);
    if (!comment.isNull())
        t.setFieldText("COMMENT", comment);
    t.post();
}

QStringList column(MeasurementTable &t, const char *field)
{
    QStringList out;
    for (t.first(); !t.eof(); t.next())
        out << t.fieldText(field);
    return out;
}

} // namespace

class TableTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void emptyTableHasExactHeader()
    {
        MeasurementTable t;
        t.setFilePath(path("empty.db"));
        t.create();
        t.close();
        const QByteArray b = readAll(path("empty.db"));
        QCOMPARE(b.size(), 578);
        QCOMPARE(quint8(b[0]), quint8(0x03));
        const QDate today = QDate::currentDate();
        QCOMPARE(int(quint8(b[1])), today.year() - 1900);
        QCOMPARE(int(quint8(b[2])), today.month());
        QCOMPARE(int(quint8(b[3])), today.day());
        QCOMPARE(le32(b, 4), 0u);
        QCOMPARE(le16(b, 8), 577);
        QCOMPARE(le16(b, 10), 226);
        QCOMPARE(quint8(b[28]), quint8(0));
        QCOMPARE(quint8(b[29]), quint8(0));
        QCOMPARE(quint8(b[576]), quint8(0x0D));
        QCOMPARE(quint8(b[577]), quint8(0x1A));
        // Descriptors: name zero-padded, type, address 0, width, decimals 0, rest 0; one by
        // one, so that a difference names its field.
        const QByteArray descriptors = expected::fieldDescriptors();
        QCOMPARE(descriptors.size(), 17 * 32 + 1);
        for (int at = 32; at < 576; at += 32)
            QCOMPARE(b.mid(at, 32).toHex(' '), descriptors.mid(at - 32, 32).toHex(' '));
        QCOMPARE(b.mid(32, 545), descriptors);
    }

    void rowBytesFollowTheWidthRule()
    {
        MeasurementTable t;
        t.setFilePath(path("row.db"));
        t.create();
        t.append();
        t.setFieldInt("N", 12);
        t.setFieldInt("EN_CH", 3);
        t.setFieldText("T_1", "-12,3");
        t.setFieldText("P_2", "0,0333333");
        t.setFieldText("A", "12345");
        t.setFieldText("SER", "ABCDEF");
        t.setFieldText("COMMENT", "Заметка");
        t.post();
        QCOMPARE(t.fieldText("P_2"), QString("0,0333"));
        QCOMPARE(t.fieldText("A"), QString("1234"));
        QCOMPARE(t.fieldText("SER"), QString("ABC"));
        QCOMPARE(t.fieldText("COMMENT"), QString("Заметка"));
        QCOMPARE(t.fieldInt("EN_CH"), std::optional<int>(3));
        t.close();

        const QByteArray b = readAll(path("row.db"));
        QCOMPARE(b.size(), 577 + 226 + 1);
        QCOMPARE(le32(b, 4), 1u);
        const QByteArray r = b.mid(577, 226);
        QCOMPARE(r[0], ' ');
        QCOMPARE(r.mid(1, 4), QByteArray("  12"));
        QCOMPARE(r.mid(5, 11), QByteArray(11, ' '));
        QCOMPARE(r.mid(16, 4), QByteArray("   3"));
        QCOMPARE(r.mid(38, 6), QByteArray("-12,3 "));
        QCOMPARE(r.mid(60, 50), QByteArray("\xc7\xe0\xec\xe5\xf2\xea\xe0") + QByteArray(43, ' '));
        QCOMPARE(r.mid(116, 6), QByteArray("0,0333"));
        QCOMPARE(r.mid(128, 20), QByteArray("ABC") + QByteArray(17, ' '));
        QCOMPARE(r.mid(201, 20), QByteArray("1234") + QByteArray(16, ' '));
        QCOMPARE(quint8(b[577 + 226]), quint8(0x1A));
    }

    void leadingBlankOfAValueIsKept()
    {
        MeasurementTable t;
        t.setFilePath(path("blank.db"));
        t.create();
        appendRow(t, 1, 1, " 0,5");
        t.close();
        t.open();
        t.first();
        QCOMPARE(t.fieldText("T_1"), QString(" 0,5"));
    }

    void textThatCodePageCannotHoldIsRefused()
    {
        MeasurementTable t;
        t.setFilePath(path("refuse.db"));
        t.create();
        t.append();
        QVERIFY_THROWS_EXCEPTION(TableError, t.setFieldText("COMMENT", QString::fromUtf8("日本")));
        QVERIFY(MeasurementTable::canStore("Ёлка №5 °С"));
        QVERIFY(MeasurementTable::canStore(QString::fromUtf8("€")));
        QVERIFY(!MeasurementTable::canStore(QString::fromUtf8("галочка ✓")));
    }

    void badFilesFailAndStayUntouched_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray good;
        {
            MeasurementTable t;
            t.setFilePath(path("template.db"));
            t.create();
            appendRow(t, 1, 1, "1,0");
            appendRow(t, 2, 1, "2,0");
            t.close();
            good = readAll(path("template.db"));
        }
        QTest::newRow("text file") << QByteArray("hello, this is not a table\n");
        QTest::newRow("empty") << QByteArray();
        QByteArray truncated = good.left(577 + 226 + 100);
        QTest::newRow("truncated") << truncated;
        QByteArray headerLen = good;
        headerLen[8] = char(0x61);
        headerLen[9] = char(0x03);
        QTest::newRow("header length too long") << headerLen;
        QByteArray recLen = good;
        recLen[10] = char(225);
        QTest::newRow("record length does not add up") << recLen;
        QByteArray missing = good;
        missing.replace(32 + 32 * 12, 3, "XYZ");   // SER renamed
        QTest::newRow("missing field") << missing;
        QByteArray wrongType = good;
        wrongType[32 + 11] = 'C';   // N as character
        QTest::newRow("wrong type") << wrongType;
        QByteArray version = good;
        version[0] = char(0x30);
        QTest::newRow("not dBase III") << version;
    }

    void badFilesFailAndStayUntouched()
    {
        QFETCH(QByteArray, bytes);
        const QString p = path("bad.db");
        writeAll(p, bytes);
        MeasurementTable t;
        t.setFilePath(p);
        QVERIFY_THROWS_EXCEPTION(TableError, t.open());
        QVERIFY(!t.isOpen());
        QCOMPARE(readAll(p), bytes);
    }

    void missingFileFails()
    {
        MeasurementTable t;
        t.setFilePath(path("does-not-exist.db"));
        QVERIFY_THROWS_EXCEPTION(TableError, t.open());
        QVERIFY(!QFile::exists(path("does-not-exist.db")));
    }

    void secondProcessCannotOpen()
    {
        MeasurementTable t;
        t.setFilePath(path("locked.db"));
        t.create();
        appendRow(t, 1, 1);
        const QByteArray before = readAll(path("locked.db"));
        const pid_t child = fork();
        if (child == 0) {
            MeasurementTable other;
            other.setFilePath(path("locked.db"));
            try {
                other.open();
                _exit(1);
            } catch (const TableError &) {
            }
            try {
                other.create();   // must not truncate the file held by the parent
                _exit(2);
            } catch (const TableError &) {
            }
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(readAll(path("locked.db")), before);
        t.close();
        MeasurementTable again;
        again.setFilePath(path("locked.db"));
        again.open();   // free again once closed
        QCOMPARE(again.recordCount(), 1);
    }

    void postedRowSurvivesKill()
    {
        const QString p = path("killed.db");
        const pid_t child = fork();
        if (child == 0) {
            MeasurementTable t;
            t.setFilePath(p);
            t.create();
            appendRow(t, 1, 1, "1,0", "сохранено");
            appendRow(t, 2, 1, "2,0");
            t.append();
            t.setFieldText("COMMENT", "не дописано");
            raise(SIGKILL);
            _exit(3);
        }
        int status = 0;
        waitpid(child, &status, 0);
        QVERIFY(WIFSIGNALED(status));
        const QByteArray b = readAll(p);
        QCOMPARE(le32(b, 4), 2u);
        QCOMPARE(b.size(), 577 + 2 * 226 + 1);
        QCOMPARE(quint8(b.back()), quint8(0x1A));
        MeasurementTable t;
        t.setFilePath(p);
        t.open();
        QCOMPARE(column(t, "COMMENT"), QStringList({"сохранено", ""}));
    }

    void deletedRowsStayMarked()
    {
        MeasurementTable t;
        t.setFilePath(path("deleted.db"));
        t.create();
        for (int i = 1; i <= 4; ++i)
            appendRow(t, i, 1);
        t.first();
        t.next();
        t.deleteRecord();
        QCOMPARE(t.recordCount(), 3);
        QCOMPARE(column(t, "N"), QStringList({"1", "3", "4"}));
        t.close();
        const QByteArray b = readAll(path("deleted.db"));
        QCOMPARE(le32(b, 4), 4u);
        QCOMPARE(b[577 + 226], '*');
        t.open();
        QCOMPARE(t.recordCount(), 3);
        QCOMPARE(t.physicalRecordCount(), 4);
    }

    void filterSelectsSeries()
    {
        MeasurementTable t;
        t.setFilePath(path("filter.db"));
        t.create();
        for (int s = 1; s <= 3; ++s)
            for (int n = 1; n <= s; ++n)
                appendRow(t, n, s);
        t.setFilter("EN_CH=16");
        t.setFiltered(true);
        t.refresh();
        QCOMPARE(t.recordCount(), 0);
        QVERIFY(t.eof());
        t.setFilter("EN_CH=3");
        t.refresh();
        QCOMPARE(t.recordCount(), 3);
        t.setFilter("N=2 AND EN_CH=3");
        t.refresh();
        QCOMPARE(t.recordCount(), 1);
        t.first();
        QCOMPARE(t.fieldInt("N"), std::optional<int>(2));
        t.setFiltered(false);
        t.refresh();
        QCOMPARE(t.recordCount(), 6);
        QVERIFY(t.locate("EN_CH", "2"));
        QCOMPARE(t.fieldInt("EN_CH"), std::optional<int>(2));
        QVERIFY(!t.locate("EN_CH", "9"));
    }

    void unreadableFilterIsAnError_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::newRow("not a number") << "N=abc AND EN_CH=3";
        QTest::newRow("no field") << "XX=1";
        QTest::newRow("no operator") << "EN_CH";
        QTest::newRow("dangling and") << "EN_CH=1 AND";
    }

    void unreadableFilterIsAnError()
    {
        QFETCH(QString, expression);
        MeasurementTable t;
        t.setFilter("EN_CH=1");
        QVERIFY_THROWS_EXCEPTION(TableError, t.setFilter(expression));
        QCOMPARE(t.filter(), QString("EN_CH=1"));
    }

    void sortTagsOrderTextAndNumbers()
    {
        MeasurementTable t;
        t.setFilePath(path("sort.db"));
        t.create();
        const QStringList values{" 5,0", "12,3", "-1,0", " 0,5"};
        for (int i = 0; i < values.size(); ++i)
            appendRow(t, i == 0 ? 10 : i + 1, 1, values[i]);
        // N holds 10, 2, 3, 4: as a number 10 is the largest.
        t.addTag("tab1", "N", true);
        t.setActiveTag("tab1");
        t.regenerateIndexes();
        QCOMPARE(column(t, "N"), QStringList({"10", "4", "3", "2"}));
        // Character fields order by their stored text, not by the number they hold.
        t.deleteTag("tab1");
        t.addTag("tab1", "T_1", false);
        t.setActiveTag("tab1");
        t.regenerateIndexes();
        QCOMPARE(column(t, "T_1"), QStringList({" 0,5", " 5,0", "-1,0", "12,3"}));
        t.setActiveTag(QString());
        t.refresh();
        QCOMPARE(column(t, "N"), QStringList({"10", "2", "3", "4"}));
    }

    void filterAndActiveTagSurviveClose()
    {
        MeasurementTable t;
        t.setFilePath(path("survive.db"));
        t.create();
        appendRow(t, 1, 1, "1");
        appendRow(t, 2, 1, "3");
        appendRow(t, 1, 2, "2");
        t.setFilter("EN_CH=1");
        t.setFiltered(true);
        t.addTag("tab1", "T_1", true);
        t.setActiveTag("tab1");
        t.regenerateIndexes();
        t.close();
        t.open();
        QCOMPARE(t.filter(), QString("EN_CH=1"));
        QVERIFY(t.filtered());
        QCOMPARE(t.activeTag(), QString("tab1"));
        QCOMPARE(column(t, "T_1"), QStringList({"3", "1"}));
        // The index file is gone at the file command's close: the order falls back.
        t.close();
        t.dropIndexFile();
        t.open();
        QCOMPARE(t.activeTag(), QString());
        QCOMPARE(column(t, "T_1"), QStringList({"1", "3"}));
    }

    void indexFlagIsClearedAtOpen()
    {
        MeasurementTable t;
        t.setFilePath(path("mdx.db"));
        t.create();
        appendRow(t, 1, 1);
        t.close();
        QByteArray b = readAll(path("mdx.db"));
        b[28] = 1;
        writeAll(path("mdx.db"), b);
        t.open();
        QCOMPARE(t.recordCount(), 1);
        t.close();
        QCOMPARE(quint8(readAll(path("mdx.db"))[28]), quint8(0));
    }

    void fileOfAnotherWriterOpens()
    {
        const QString p = path("other.db");
        QVERIFY(QFile::copy(QStringLiteral(KVE_TEST_DATA_DIR "/other_writer.db"), p));
        QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner);
        MeasurementTable t;
        t.setFilePath(p);
        t.open();
        QCOMPARE(t.recordCount(), 3);
        QCOMPARE(column(t, "COMMENT"), QStringList({"Первая заметка", "", ""}));
        QCOMPARE(column(t, "EN_CH"), QStringList({"2", "2", "5"}));
        t.last();
        QCOMPARE(t.fieldText("F"), QString("-0,05"));
        QCOMPARE(t.fieldText("T_1"), QString("-0,5"));
        // Editing it keeps the other writer's extra field.
        t.edit();
        t.setFieldText("COMMENT", "правка");
        t.post();
        t.close();
        t.open();
        t.last();
        QCOMPARE(t.fieldText("COMMENT"), QString("правка"));
        QVERIFY(readAll(p).contains("2,55 z"));
    }

    void editPostsInPlace()
    {
        MeasurementTable t;
        t.setFilePath(path("edit.db"));
        t.create();
        appendRow(t, 1, 1);
        appendRow(t, 2, 1);
        QSignalSpy changed(&t, &MeasurementTable::rowChanged);
        t.first();
        t.edit();
        t.setFieldText("COMMENT", "первая");
        t.next();   // leaving the row posts it
        QCOMPARE(changed.count(), 1);
        t.first();
        t.edit();
        t.setFieldText("COMMENT", "отменено");
        t.cancel();
        QCOMPARE(t.fieldText("COMMENT"), QString("первая"));
        t.close();
        t.open();
        QCOMPARE(column(t, "COMMENT"), QStringList({"первая", ""}));
    }

    void fieldWritesNeedEditState()
    {
        MeasurementTable t;
        t.setFilePath(path("state.db"));
        t.create();
        appendRow(t, 1, 1);
        t.first();
        QVERIFY_THROWS_EXCEPTION(TableError, t.setFieldText("COMMENT", "x"));
        QVERIFY_THROWS_EXCEPTION(TableError, t.fieldText("NOPE"));
        t.edit();
        QVERIFY_THROWS_EXCEPTION(TableError, t.setFieldInt("N", 12345));
    }
};

QTEST_GUILESS_MAIN(TableTest)
#include "tst_table.moc"
