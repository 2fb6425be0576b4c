#include "store/MeasurementTable.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

using kve::MeasurementTable;
using kve::TableError;
using kve::ViewChangeHold;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void appendRow(MeasurementTable &t, int n, int series, const QString &comment = QString())
{
    t.append();
    t.setFieldInt("N", n);
    t.setFieldInt("EN_CH", series);
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

// Series 1 with N 1..6 and series 2 with N 1..2, interleaved in the file.
void fill(MeasurementTable &t, const QString &path)
{
    t.setFilePath(path);
    t.create();
    for (int n = 1; n <= 6; ++n) {
        appendRow(t, n, 1);
        if (n <= 2)
            appendRow(t, n, 2);
    }
    t.setFilter("EN_CH=1");
    t.setFiltered(true);
    t.refresh();
}

} // namespace

class TableBatchesTest : public QObject {
    Q_OBJECT

private:
    QString path(const QString &name) const { return QDir::current().absoluteFilePath(name); }

private slots:
    void deleteRowsLeavesTheRest_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<int>("cursorN");   // N of the current row after
        QTest::newRow("two in the middle") << QList<int>{2, 3} << QStringList{"1", "2", "5", "6"} << 5;
        QTest::newRow("any order, twice named") << QList<int>{5, 0, 3, 0} << QStringList{"2", "3", "5"} << 2;
        QTest::newRow("the last row") << QList<int>{5} << QStringList{"1", "2", "3", "4", "5"} << -1;
        QTest::newRow("none") << QList<int>{} << QStringList{"1", "2", "3", "4", "5", "6"} << 1;
    }

    void deleteRowsLeavesTheRest()
    {
        QFETCH(QList<int>, rows);
        QFETCH(QStringList, left);
        QFETCH(int, cursorN);
        MeasurementTable t;
        fill(t, path("rows.db"));
        t.first();
        t.deleteRows(std::vector<int>(rows.begin(), rows.end()));
        if (cursorN < 0)
            QVERIFY(t.eof());
        else
            QCOMPARE(t.fieldInt("N"), std::optional<int>(cursorN));
        QCOMPARE(column(t, "N"), left);
        QCOMPARE(t.physicalRecordCount(), 8);
        t.close();
        t.open();
        QCOMPARE(column(t, "N"), left);
        t.setFilter("EN_CH=2");
        t.refresh();
        QCOMPARE(column(t, "N"), QStringList({"1", "2"}));
    }

    // The file after deleting several rows at once holds the same bytes as after deleting
    // them one at a time.
    void deleteRowsWritesWhatSingleDeletesWrite()
    {
        MeasurementTable one;
        fill(one, path("one.db"));
        for (int row : {4, 2, 1}) {
            one.moveTo(row);
            one.deleteRecord();
        }
        one.close();
        MeasurementTable batch;
        fill(batch, path("batch.db"));
        batch.deleteRows({1, 4, 2});
        batch.close();
        const QByteArray expected = readAll(path("one.db"));
        QVERIFY(!expected.isEmpty());
        QCOMPARE(readAll(path("batch.db")), expected);
    }

    void deleteRowsRefusesARowOutsideTheView()
    {
        MeasurementTable t;
        fill(t, path("outside.db"));
        QVERIFY_THROWS_EXCEPTION(TableError, t.deleteRows({1, 6}));
        QCOMPARE(t.recordCount(), 6);
        t.close();
        t.open();
        QCOMPARE(t.recordCount(), 6);
    }

    void deleteRowsTellsTheViewOnce()
    {
        MeasurementTable t;
        fill(t, path("once.db"));
        QSignalSpy changed(&t, &MeasurementTable::viewChanged);
        t.deleteRows({0, 2, 4});
        QCOMPARE(changed.count(), 1);
    }

    void heldChangesComeOutOnce()
    {
        MeasurementTable t;
        fill(t, path("held.db"));
        QSignalSpy changed(&t, &MeasurementTable::viewChanged);
        QSignalSpy rows(&t, &MeasurementTable::rowChanged);
        {
            ViewChangeHold outer(t);
            {
                ViewChangeHold inner(t);
                t.refresh();
                t.setFilter("EN_CH=2");
                t.refresh();
                t.first();
                t.edit();
                t.setFieldText("COMMENT", "x");
                t.post();
            }
            // Only the last release tells.
            QCOMPARE(changed.count(), 0);
        }
        QCOMPARE(changed.count(), 1);
        QCOMPARE(rows.count(), 0);
        QCOMPARE(t.recordCount(), 2);
        // Nothing held back: nothing told.
        {
            ViewChangeHold idle(t);
        }
        QCOMPARE(changed.count(), 1);
    }

    // Text keys longer than eight bytes that agree in their first eight order by the rest;
    // Cyrillic letters order by their code page bytes, after the Latin ones.
    void longTextKeysOrderByAllTheirBytes_data()
    {
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("ascending") << false
                                   << QStringList{"abcdefgh1", "abcdefgh1", "abcdefgh2", "abcdefgh2x", "b", "а", "я"};
        QTest::newRow("descending") << true
                                    << QStringList{"я", "а", "b", "abcdefgh2x", "abcdefgh2", "abcdefgh1", "abcdefgh1"};
    }

    void longTextKeysOrderByAllTheirBytes()
    {
        QFETCH(bool, descending);
        QFETCH(QStringList, expected);
        MeasurementTable t;
        t.setFilePath(path("keys.db"));
        t.create();
        const QStringList comments{"abcdefgh2", "я", "abcdefgh1", "b", "abcdefgh2x", "а", "abcdefgh1"};
        for (int i = 0; i < comments.size(); ++i)
            appendRow(t, i + 1, 1, comments[i]);
        t.addTag("tab1", "COMMENT", descending);
        t.setActiveTag("tab1");
        t.regenerateIndexes();
        QCOMPARE(column(t, "COMMENT"), expected);
        // Equal keys keep their record order: N 3 before N 7.
        QStringList n = column(t, "N");
        QVERIFY(n.indexOf("3") < n.indexOf("7"));
    }
};

QTEST_GUILESS_MAIN(TableBatchesTest)
#include "tst_table_batches.moc"
