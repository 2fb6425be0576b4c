// Tables from other writers may declare the numeric fields wider than four digits; a value
// too large for a number is no number, never a wrapped one.

#include "store/MeasurementTable.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using kve::MeasurementTable;

namespace {

constexpr int kWideN = 20;   // N(20,0) instead of N(4,0)

// A table of our own layout whose N field is 20 digits wide, one row holding `n`.
QByteArray wideTable(const QString &folder, const QByteArray &n)
{
    const QString path = folder + QStringLiteral("/template.db");
    {
        MeasurementTable t;
        t.setFilePath(path);
        t.create();
        t.close();
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray b = f.readAll();
    const int headerLength = quint8(b[8]) | quint8(b[9]) << 8;
    const int recordLength = kve::kRecordLength + kWideN - 4;
    b.truncate(headerLength);
    b[4] = 1;   // one record
    b[10] = char(recordLength & 0xFF);
    b[11] = char(recordLength >> 8);
    b[32 + 16] = char(kWideN);   // width of the first field, N
    QByteArray record(recordLength, ' ');
    record.replace(1 + kWideN - n.size(), n.size(), n);
    record.replace(1 + kWideN + 11, 4, QByteArray("   3"));   // EN_CH
    return b + record + char(0x1A);
}

} // namespace

class TestTableWideNumbers : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeTable(const QByteArray &n)
    {
        const QString path = m_dir.filePath(QStringLiteral("wide.db"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        f.write(wideTable(m_dir.path(), n));
        return path;
    }

private slots:
    void readsWideField_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<int>("value");
        QTest::newRow("small") << QByteArray("12345") << true << 12345;
        QTest::newRow("negative") << QByteArray("-42") << true << -42;
        QTest::newRow("largest int") << QByteArray("2147483647") << true << 2147483647;
        QTest::newRow("past int") << QByteArray("2147483648") << false << 0;
        QTest::newRow("below int") << QByteArray("-2147483649") << false << 0;
        QTest::newRow("past 64 bits") << QByteArray("99999999999999999999") << false << 0;
        QTest::newRow("just past 64 bits") << QByteArray("9223372036854775808") << false << 0;
    }
    void readsWideField()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, isNumber);
        QFETCH(int, value);
        MeasurementTable t;
        t.setFilePath(writeTable(stored));
        t.open();
        QCOMPARE(t.recordCount(), 1);
        t.first();
        // The text is always there as stored.
        QCOMPARE(t.fieldText(QStringLiteral("N")), QString::fromLatin1(stored));
        QCOMPARE(t.textAt(0, 0), QString::fromLatin1(stored));
        QCOMPARE(t.fieldInt(QStringLiteral("EN_CH")), std::optional<int>(3));
        const std::optional<int> n = t.fieldInt(QStringLiteral("N"));
        QCOMPARE(n.has_value(), isNumber);
        if (isNumber)
            QCOMPARE(*n, value);
    }

    // Filtering and sorting on the field compare it as a number, or not at all.
    void filterAndSortOverHugeValue()
    {
        MeasurementTable t;
        t.setFilePath(writeTable("99999999999999999999"));
        t.open();
        t.append();
        t.setFieldInt(QStringLiteral("N"), 7);
        t.post();
        t.setFilter(QStringLiteral("N=7"));
        t.setFiltered(true);
        t.refresh();
        QCOMPARE(t.recordCount(), 1);
        QCOMPARE(t.fieldInt(QStringLiteral("N")), std::optional<int>(7));
        // What the 20 nines would wrap to in 64 bits.
        t.setFilter(QStringLiteral("N=7766279631452241919"));
        t.refresh();
        QCOMPARE(t.recordCount(), 0);
        t.setFiltered(false);
        t.addTag(QStringLiteral("n"), QStringLiteral("N"), false);
        t.setActiveTag(QStringLiteral("n"));
        t.regenerateIndexes();
        QCOMPARE(t.recordCount(), 2);
        t.first();
        QCOMPARE(t.fieldText(QStringLiteral("N")), QStringLiteral("99999999999999999999"));   // no number sorts first
        t.next();
        QCOMPARE(t.fieldText(QStringLiteral("N")), QStringLiteral("7"));
    }
};

QTEST_GUILESS_MAIN(TestTableWideNumbers)
#include "tst_table_wide_numbers.moc"
