#include "XlsReadBack.h"
#include "output/XlsWorkbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QtTest>

using namespace kve::xls;

class TestXlsWorkbook : public QObject {
    Q_OBJECT
private:
    static QJsonArray cellAt(const QJsonObject &sheet, int row, int col)
    {
        for (const QJsonValue &v : sheet[QStringLiteral("cells")].toArray()) {
            const QJsonArray c = v.toArray();
            if (c[0].toInt() == row && c[1].toInt() == col)
                return c;
        }
        return {};
    }
    static QJsonObject xfOf(const QJsonObject &book, const QJsonArray &cell)
    {
        return book[QStringLiteral("xfs")].toArray()[cell[4].toInt()].toObject();
    }

private slots:
    void cellsFormatsAndLayoutReadBack()
    {
        Workbook wb;
        Sheet &s = wb.addSheet(QStringLiteral("Лист1"));
        CellFormat framed;
        framed.borderLeft = framed.borderRight = framed.borderTop = framed.borderBottom = true;
        framed.hAlign = HAlign::Center;
        framed.vAlign = VAlign::Center;
        framed.wrap = true;
        framed.font = Font{QStringLiteral("Arial"), 9, true, true, true, Qt::black};
        CellFormat text = framed;
        text.textFormat = true;
        text.vertical = true;
        text.fill = QColor(Qt::yellow);
        text.hAlign = HAlign::Right;
        text.vAlign = VAlign::Top;
        s.setText(0, 0, QStringLiteral("Серия №3"), framed);
        s.setText(1, 2, QStringLiteral("1.5"), text);
        s.setText(2, 0, QStringLiteral("строка 1\nстрока 2"));
        s.merge(0, 0, 0, 1);
        s.setBlank(0, 1, framed);
        s.setColumnWidth(0, 5.875);
        s.setRowHeight(1, 30.5);
        s.setRowHeight(2, 1000);   // capped
        s.addPageBreak(2);
        s.addPageBreak(0);         // never a break above the first row
        s.pageSetup().landscape = true;
        s.pageSetup().leftInches = 0.25;
        s.pageSetup().topInches = 0.75;
        const QString path = QDir::current().filePath(QStringLiteral("cells.xls"));
        wb.save(path);

        KVE_READ_WORKBOOK(book, path);
        const QJsonObject sheet = book[QStringLiteral("sheets")].toArray()[0].toObject();
        QCOMPARE(sheet[QStringLiteral("name")].toString(), QStringLiteral("Лист1"));
        QCOMPARE(cellAt(sheet, 0, 0)[3].toString(), QStringLiteral("Серия №3"));
        QCOMPARE(cellAt(sheet, 1, 2)[3].toString(), QStringLiteral("1.5"));
        QCOMPARE(cellAt(sheet, 2, 0)[3].toString(), QStringLiteral("строка 1\nстрока 2"));

        const QJsonObject xfFramed = xfOf(book, cellAt(sheet, 0, 0));
        QCOMPARE(xfFramed[QStringLiteral("border")].toArray(), QJsonArray({1, 1, 1, 1}));
        QCOMPARE(xfFramed[QStringLiteral("hor")].toInt(), 2);
        QCOMPARE(xfFramed[QStringLiteral("vert")].toInt(), 1);
        QCOMPARE(xfFramed[QStringLiteral("wrap")].toInt(), 1);
        QCOMPARE(xfFramed[QStringLiteral("rot")].toInt(), 0);
        const QJsonObject font = book[QStringLiteral("fonts")].toArray()[xfFramed[QStringLiteral("font")].toInt()].toObject();
        QCOMPARE(font[QStringLiteral("name")].toString(), QStringLiteral("Arial"));
        QCOMPARE(font[QStringLiteral("height")].toInt(), 180);
        QVERIFY(font[QStringLiteral("bold")].toBool());
        QVERIFY(font[QStringLiteral("italic")].toBool());
        QCOMPARE(font[QStringLiteral("underline")].toInt(), 1);

        // The blank inside the merge carries the borders too.
        QCOMPARE(xfOf(book, cellAt(sheet, 0, 1))[QStringLiteral("border")].toArray(), QJsonArray({1, 1, 1, 1}));

        const QJsonObject xfText = xfOf(book, cellAt(sheet, 1, 2));
        QCOMPARE(xfText[QStringLiteral("format")].toInt(), 49);
        QCOMPARE(xfText[QStringLiteral("format_str")].toString(), QStringLiteral("@"));
        QCOMPARE(xfText[QStringLiteral("rot")].toInt(), 90);
        QCOMPARE(xfText[QStringLiteral("hor")].toInt(), 3);
        QCOMPARE(xfText[QStringLiteral("vert")].toInt(), 0);
        QCOMPARE(xfText[QStringLiteral("pattern")].toInt(), 1);
        QCOMPARE(xfText[QStringLiteral("fill")].toInt(), 13);   // yellow of the palette
        QCOMPARE(xfOf(book, cellAt(sheet, 0, 0))[QStringLiteral("format")].toInt(), 0);

        QCOMPARE(sheet[QStringLiteral("merged")].toArray(), QJsonArray({QJsonArray({0, 1, 0, 2})}));
        QCOMPARE(sheet[QStringLiteral("colwidths")].toObject()[QStringLiteral("0")].toInt(), 1504);
        QCOMPARE(sheet[QStringLiteral("rowheights")].toObject()[QStringLiteral("1")].toInt(), 610);
        QCOMPARE(sheet[QStringLiteral("rowheights")].toObject()[QStringLiteral("2")].toInt(), 409 * 20);
        QCOMPARE(sheet[QStringLiteral("breaks")].toArray(), QJsonArray({2}));

        const QJsonObject setup = book[QStringLiteral("setup")].toObject();
        QCOMPARE(setup[QStringLiteral("paper")].toInt(), 9);
        QCOMPARE(setup[QStringLiteral("portrait")].toBool(), false);
        QCOMPARE(setup[QStringLiteral("no_printer_settings")].toBool(), false);
        QCOMPARE(setup[QStringLiteral("left")].toDouble(), 0.25);
        QCOMPARE(setup[QStringLiteral("top")].toDouble(), 0.75);
        QCOMPARE(setup[QStringLiteral("active")].toArray(), QJsonArray({0, 0}));
    }

    // Enough strings to spill the string table over several CONTINUE records, some of
    // them long enough to be split inside their characters.
    void sharedStringsAcrossContinueRecords_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("length");
        QTest::newRow("many short") << 6000 << 7;
        QTest::newRow("long, split inside") << 40 << 3001;
        QTest::newRow("longer than a record") << 3 << 9000;
    }
    void sharedStringsAcrossContinueRecords()
    {
        QFETCH(int, count);
        QFETCH(int, length);
        Workbook wb;
        Sheet &s = wb.addSheet(QStringLiteral("S"));
        QStringList expected;
        for (int i = 0; i < count; ++i) {
            QString t = QStringLiteral("Ж%1-").arg(i);
            while (t.size() < length)
                t += QChar(char16_t(u'а' + t.size() % 32));
            t.truncate(length);
            expected << t;
            s.setText(i, 0, t);
        }
        s.setText(count, 1, expected[0]);   // a string used twice is stored once
        const QString path = QDir::current().filePath(QStringLiteral("sst.xls"));
        wb.save(path);
        KVE_READ_WORKBOOK(book, path);
        const QJsonArray cells = book[QStringLiteral("sheets")].toArray()[0].toObject()[QStringLiteral("cells")].toArray();
        QCOMPARE(cells.size(), count + 1);
        for (const QJsonValue &v : cells) {
            const QJsonArray c = v.toArray();
            const int row = c[0].toInt();
            QCOMPARE(c[3].toString(), row == count ? expected[0] : expected[row]);
        }
    }

    void manyMergesGoInSeveralRecords()
    {
        Workbook wb;
        Sheet &s = wb.addSheet(QStringLiteral("S"));
        const int n = 2500;
        for (int r = 0; r < n; ++r) {
            s.setText(r, 0, QString::number(r));
            s.setBlank(r, 1);
            s.merge(r, 0, r, 1);
        }
        const QString path = QDir::current().filePath(QStringLiteral("merges.xls"));
        wb.save(path);
        KVE_READ_WORKBOOK(book, path);
        const QJsonArray merged = book[QStringLiteral("sheets")].toArray()[0].toObject()[QStringLiteral("merged")].toArray();
        QCOMPARE(merged.size(), n);
        QCOMPARE(merged[n - 1].toArray(), QJsonArray({n - 1, n, 0, 2}));
    }

    void overlappingMergeIsRefused()
    {
        Sheet s(QStringLiteral("S"));
        s.merge(0, 0, 1, 1);
        QVERIFY_THROWS_EXCEPTION(XlsError, s.merge(1, 1, 2, 2));
        s.merge(2, 0, 2, 1);
        QCOMPARE(int(s.merges().size()), 2);
    }

    void positionOutsideTheSheetIsRefused()
    {
        Sheet s(QStringLiteral("S"));
        QVERIFY_THROWS_EXCEPTION(XlsError, s.setText(kMaxRows, 0, QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(XlsError, s.setText(0, kMaxColumns, QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(XlsError, s.setText(-1, 0, QStringLiteral("x")));
    }

    // The rename over the target fails (a folder holds the name, which even root cannot
    // replace by a file): an error with the name, and nothing left behind.
    void failedSaveLeavesNothingBehind()
    {
        QDir here = QDir::current();
        QVERIFY(here.mkpath(QStringLiteral("out/book.xls")));
        QFile keep(here.filePath(QStringLiteral("out/book.xls/keep.txt")));
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.write("earlier");
        keep.close();
        Workbook wb;
        wb.addSheet(QStringLiteral("S")).setText(0, 0, QStringLiteral("x"));
        try {
            wb.save(here.filePath(QStringLiteral("out/book.xls")));
            QFAIL("saving over a folder did not fail");
        } catch (const XlsError &e) {
            QVERIFY2(e.text().contains(QStringLiteral("book.xls")), qPrintable(e.text()));
        }
        QCOMPARE(QDir(here.filePath(QStringLiteral("out"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("book.xls")});
        QVERIFY(keep.exists());
    }

    void savingReplacesAnExistingFile()
    {
        const QString path = QDir::current().filePath(QStringLiteral("again.xls"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(100000, 'x'));
        }
        Workbook wb;
        wb.addSheet(QStringLiteral("S")).setText(0, 0, QStringLiteral("новое"));
        wb.save(path);
        KVE_READ_WORKBOOK(book, path);
        QCOMPARE(book[QStringLiteral("sheets")].toArray()[0].toObject()[QStringLiteral("cells")].toArray()[0].toArray()[3].toString(),
                 QStringLiteral("новое"));
    }
};

QTEST_GUILESS_MAIN(TestXlsWorkbook)
#include "tst_XlsWorkbook.moc"
