#include "AnswerInTurn.h"
#include "ModalHelper.h"
#include "ReportFixture.h"
#include "XlsReadBack.h"
#include "output/SeriesReport.h"
#include "output/SpreadsheetExport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QJsonArray>
#include <QLineEdit>
#include <QTimer>
#include <set>
#include <QtTest>

using namespace kve::report;

// Records the files the export asks the desktop to open.
class OpenRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

class TestSpreadsheetExport : public QObject {
    Q_OBJECT

    kve::MeasurementTable table;
    SeriesReport report;
    OpenRecorder recorder;

    static QMap<QString, QJsonArray> cellsByText(const QJsonObject &sheet)
    {
        QMap<QString, QJsonArray> out;
        for (const QJsonValue &v : sheet[QStringLiteral("cells")].toArray()) {
            const QJsonArray c = v.toArray();
            if (c[2].toInt() == 1 && !out.contains(c[3].toString()))   // text, first place
                out.insert(c[3].toString(), c);
        }
        return out;
    }
    static QJsonArray cellAt(const QJsonObject &sheet, int row, int col)
    {
        for (const QJsonValue &v : sheet[QStringLiteral("cells")].toArray()) {
            const QJsonArray c = v.toArray();
            if (c[0].toInt() == row && c[1].toInt() == col)
                return c;
        }
        return {};
    }

    // Answers the next save dialog with a name, or cancels it when the name is empty.
    static std::shared_ptr<testing::ModalRecord> answerSaveDialog(const QString &name)
    {
        return name.isEmpty() ? testing::whenModal(testing::reject()) : testing::whenModal(testing::chooseFile(name));
    }

private slots:
    void cleanup() { testing::stopWatchers(); }

    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Russian));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        table.setFilePath(QDir::current().filePath(QStringLiteral("export.db")));
        table.create();
        kvetest::fillSeries(table, 1, 2);
        kvetest::fillSeries(table, 3, 40,
                            {{2, {{QStringLiteral("COMMENT"), QStringLiteral("1.5")}, {QStringLiteral("T_2"), QStringLiteral("12,3")}}},
                             {3, {{QStringLiteral("COMMENT"), QStringLiteral("строка\r\n\x01")}}}});
    }

    void seriesSheetStackedPages()
    {
        kvetest::showSeries(table, 3);
        table.first();
        report.fillTitleCells(QStringLiteral("export - ЖОРД-ЗР7"), table, 3);
        const PreparedReport &r = report.prepare(table);
        QCOMPARE(r.pageCount(), 3);
        const QString path = QDir::current().filePath(QStringLiteral("series3.xls"));
        int lastDone = 0, lastTotal = -1;
        writeWorkbook(r, path, [&](int done, int total) {
            QVERIFY(done >= lastDone);
            lastDone = done;
            lastTotal = total;
        });
        QCOMPARE(lastDone, lastTotal);

        KVE_READ_WORKBOOK(book, path);
        const QJsonObject sheet = book[QStringLiteral("sheets")].toArray()[0].toObject();
        const auto texts = cellsByText(sheet);
        // Title lines in the first rows, then the headers, then the rows in view order.
        QCOMPARE(texts.value(QStringLiteral("export - ЖОРД-ЗР7  Серийный №S3"))[0].toInt(), 0);
        const int titleRow = texts.value(QStringLiteral("Серия №3"))[0].toInt();
        QVERIFY(titleRow <= 2);
        const int headerRow = texts.value(QStringLiteral("Дата"))[0].toInt();
        QVERIFY(headerRow > titleRow);
        const int nColumn = texts.value(QStringLiteral("Дата"))[1].toInt() - 1;
        QCOMPARE(cellAt(sheet, headerRow, nColumn)[3].toString(), QStringLiteral("N"));
        QCOMPARE(cellAt(sheet, headerRow + 1, nColumn)[3].toVariant().toString(), QStringLiteral("1"));
        QCOMPARE(cellAt(sheet, headerRow + 12, nColumn)[3].toVariant().toString(), QStringLiteral("12"));

        // Three pages one below another, a break before pages 2 and 3 at their header row.
        const QJsonArray breaks = sheet[QStringLiteral("breaks")].toArray();
        QCOMPARE(breaks.size(), 2);
        for (int p = 0; p < 2; ++p) {
            const int row = breaks[p].toInt();
            QCOMPARE(cellAt(sheet, row, nColumn)[3].toString(), QStringLiteral("N"));
            QCOMPARE(cellAt(sheet, row + 1, nColumn)[3].toVariant().toString(), QString::number(13 + 14 * p));
        }
        QVERIFY(breaks[0].toInt() < breaks[1].toInt());
        for (int p = 1; p <= 3; ++p)
            QVERIFY2(texts.contains(QStringLiteral("Стр. %1 из 3").arg(p)), qPrintable(QString::number(p)));

        // The comment cell spans several grid columns: merged, its blanks framed too.
        const QJsonArray comment = texts.value(QStringLiteral("строка"));
        QVERIFY(!comment.isEmpty());   // carriage return, code 1 and the trailing line feed gone
        bool merged = false;
        for (const QJsonValue &m : sheet[QStringLiteral("merged")].toArray()) {
            const QJsonArray a = m.toArray();   // rlo, rhi, clo, chi (exclusive ends)
            if (a[0].toInt() == comment[0].toInt() && a[2].toInt() == comment[1].toInt()) {
                merged = a[3].toInt() - a[2].toInt() >= 2;
                const QJsonArray inside = cellAt(sheet, a[0].toInt(), a[3].toInt() - 1);
                QCOMPARE(book[QStringLiteral("xfs")].toArray()[inside[4].toInt()].toObject()[QStringLiteral("border")].toArray(),
                         QJsonArray({1, 1, 1, 1}));
            }
        }
        QVERIFY(merged);
        // No two merged areas overlap.
        const QJsonArray merges = sheet[QStringLiteral("merged")].toArray();
        std::set<std::pair<int, int>> covered;
        for (const QJsonValue &m : merges) {
            const QJsonArray a = m.toArray();
            for (int rr = a[0].toInt(); rr < a[1].toInt(); ++rr)
                for (int cc = a[2].toInt(); cc < a[3].toInt(); ++cc)
                    QVERIFY(covered.insert({rr, cc}).second);
        }

        // Formats of a header cell: Arial 10 bold, framed, centred, wrapped.
        const QJsonObject xf = book[QStringLiteral("xfs")].toArray()[texts.value(QStringLiteral("Дата"))[4].toInt()].toObject();
        QCOMPARE(xf[QStringLiteral("border")].toArray(), QJsonArray({1, 1, 1, 1}));
        QCOMPARE(xf[QStringLiteral("hor")].toInt(), 2);
        QCOMPARE(xf[QStringLiteral("vert")].toInt(), 1);
        QCOMPARE(xf[QStringLiteral("wrap")].toInt(), 1);
        const QJsonObject font = book[QStringLiteral("fonts")].toArray()[xf[QStringLiteral("font")].toInt()].toObject();
        QCOMPARE(font[QStringLiteral("name")].toString(), QStringLiteral("Arial"));
        QCOMPARE(font[QStringLiteral("height")].toInt(), 200);
        QVERIFY(font[QStringLiteral("bold")].toBool());
        const QJsonObject footerXf =
            book[QStringLiteral("xfs")].toArray()[texts.value(QStringLiteral("Стр. 1 из 3"))[4].toInt()].toObject();
        QCOMPARE(footerXf[QStringLiteral("hor")].toInt(), 3);
        QCOMPARE(footerXf[QStringLiteral("border")].toArray(), QJsonArray({0, 0, 0, 0}));

        // Column widths from the edges: the "Дата" column is 70 units wide (72..142).
        const QJsonObject widths = sheet[QStringLiteral("colwidths")].toObject();
        QCOMPARE(widths[QString::number(nColumn + 1)].toInt(), qRound(70 * 0.125 * 256));
        // A data row of 40 units is 40 / 1.3 points high.
        QCOMPARE(sheet[QStringLiteral("rowheights")].toObject()[QString::number(headerRow + 1)].toInt(), qRound(40 / 1.3 * 20));

        const QJsonObject setup = book[QStringLiteral("setup")].toObject();
        QCOMPARE(setup[QStringLiteral("portrait")].toBool(), false);
        QCOMPARE(setup[QStringLiteral("paper")].toInt(), 9);
        QVERIFY(qAbs(setup[QStringLiteral("left")].toDouble() - 25 / kUnitsPerInch) < 1e-9);
        QVERIFY(qAbs(setup[QStringLiteral("top")].toDouble() - 72 / kUnitsPerInch) < 1e-9);
        QCOMPARE(setup[QStringLiteral("active")].toArray(), QJsonArray({0, 0}));
    }

    void textFormatFollowsTheSeparator_data()
    {
        QTest::addColumn<bool>("comma");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("textFormat");
        QTest::addColumn<QString>("held");   // what the sheet holds: the text, or the value
        QTest::newRow("comma: dotted number kept as text") << true << "1.5" << true << "1.5";
        QTest::newRow("comma: printed number as it is") << true << "12,3" << false << "12.3";
        QTest::newRow("comma: a date is no number") << true << "01.02.2024" << false << "45323";
        QTest::newRow("point: dotted number is the system's number") << false << "1.5" << false << "1.5";
        QTest::newRow("point: comma text") << false << "12,3" << false << "12,3";
    }
    void textFormatFollowsTheSeparator()
    {
        QFETCH(bool, comma);
        QFETCH(QString, text);
        QFETCH(bool, textFormat);
        QFETCH(QString, held);
        QLocale::setDefault(comma ? QLocale(QLocale::Russian) : QLocale::c());
        QCOMPARE(needsTextFormat(text), textFormat);

        PreparedReport r;
        r.pageWidth = 1071;
        r.pageHeight = 757;
        PreparedCell c;
        c.rect = QRectF(25, 72, 100, 40);
        c.text = text;
        c.frame = Frame::all();
        r.pages.push_back(PreparedPage{{c}});
        const QString path = QDir::current().filePath(QStringLiteral("format.xls"));
        writeWorkbook(r, path);
        KVE_READ_WORKBOOK(book, path);
        const QJsonObject sheet = book[QStringLiteral("sheets")].toArray()[0].toObject();
        const QJsonArray cell = cellAt(sheet, 0, 0);
        QCOMPARE(cell[3].toVariant().toString(), held);
        QCOMPARE(book[QStringLiteral("xfs")].toArray()[cell[4].toInt()].toObject()[QStringLiteral("format")].toInt() == 49,
                 textFormat);
        QLocale::setDefault(QLocale(QLocale::Russian));
    }

    void cleanedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cleaned");
        QTest::newRow("crlf") << "a\r\nb\r\n" << "a\nb";
        QTest::newRow("code 1") << QString(QStringLiteral("a") + QChar(1) + QStringLiteral("b")) << "ab";
        QTest::newRow("trailing feeds") << "ab\n\n\n" << "ab";
        QTest::newRow("inner feed kept") << "a\nb" << "a\nb";
    }
    void cleanedText()
    {
        QFETCH(QString, text);
        QFETCH(QString, cleaned);
        QCOMPARE(cleanedCellText(text), cleaned);
    }

    void exportThroughTheSaveDialog()
    {
        kvetest::showSeries(table, 1);
        recorder.opened.clear();
        // A name without extension gets ".xls"; an existing file is replaced once the
        // operator says so.
        const QString target = QDir::current().filePath(QStringLiteral("книга.xls"));
        {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old");
        }
        testing::FakeNotifier boxes;
        boxes.queue(QMessageBox::Yes);
        const auto turns = testing::answerInTurn({{"QFileDialog", testing::chooseFile(QDir::current().filePath(QStringLiteral("книга")))}});
        testing::ShownInTurn inTurn(turns, boxes);
        exportSeries(nullptr, report, table, QStringLiteral("export - ЖОРД-ЗР7"), 1);
        QCOMPARE(turns->size(), 1);
        const auto saved = turns->at(0);
        QVERIFY2(saved->answered, qPrintable(saved->problem));
        QCOMPARE(inTurn.list(), QStringList({QStringLiteral("QFileDialog"),
                                             QStringLiteral("Подтверждение|Файл «%1» уже существует. Заменить его?").arg(target)}));
        QCOMPARE(boxes.problems(), QStringList());
        QCOMPARE(recorder.opened.size(), 1);
        QCOMPARE(recorder.opened[0].toLocalFile(), target);
        KVE_READ_WORKBOOK(book, target);
        const auto texts = cellsByText(book[QStringLiteral("sheets")].toArray()[0].toObject());
        QVERIFY(texts.contains(QStringLiteral("Серия №1")));
        QVERIFY(texts.contains(QStringLiteral("Стр. 1 из 1")));
        QCOMPARE(report.cellText(QStringLiteral("Memo12")), QStringLiteral("Серия №1"));
    }

    void cancelledDialogWritesNothing()
    {
        recorder.opened.clear();
        const QStringList before = QDir::current().entryList(QDir::Files);
        const auto cancelled = answerSaveDialog(QString());
        exportSeries(nullptr, report, table, QStringLiteral("x"), 1);
        QVERIFY(cancelled->answered);
        QCOMPARE(cancelled->className, QStringLiteral("QFileDialog"));
        QCOMPARE(QDir::current().entryList(QDir::Files), before);
        QVERIFY(recorder.opened.isEmpty());
    }

    void closedTableDoesNothing()
    {
        recorder.opened.clear();
        report.setCellText(QStringLiteral("Memo12"), QStringLiteral("unchanged"));
        const QStringList before = QDir::current().entryList(QDir::Files);
        kve::MeasurementTable closed;
        testing::ModalCloser modal;
        exportSeries(nullptr, report, closed, QStringLiteral("x"), 1);
        QCOMPARE(modal.shown, QStringList());
        QVERIFY(recorder.opened.isEmpty());
        QCOMPARE(QDir::current().entryList(QDir::Files), before);
        QCOMPARE(report.cellText(QStringLiteral("Memo12")), QStringLiteral("unchanged"));
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    void extension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("result");
        QTest::newRow("none") << "/tmp/a" << "/tmp/a.xls";
        QTest::newRow("has one") << "/tmp/a.xls" << "/tmp/a.xls";
        QTest::newRow("another one gets it too") << "/tmp/a.txt" << "/tmp/a.txt.xls";
        QTest::newRow("dotted folder") << "/tmp/v1.2/a" << "/tmp/v1.2/a.xls";
    }
    void extension()
    {
        QFETCH(QString, name);
        QFETCH(QString, result);
        QCOMPARE(withDefaultExtension(name), result);
    }
};

QTEST_MAIN(TestSpreadsheetExport)
#include "tst_SpreadsheetExport.moc"
