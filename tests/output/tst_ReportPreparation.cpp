#include "ReportFixture.h"
#include "output/ReportRenderer.h"
#include "output/SeriesReport.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

using namespace kve::report;

class TestReportPreparation : public QObject {
    Q_OBJECT

    kve::MeasurementTable table;
    SeriesReport report;

    static const PreparedCell *cell(const PreparedPage &page, const QString &name, int nth = 0)
    {
        for (const PreparedCell &c : page.cells)
            if (c.name == name && nth-- == 0)
                return &c;
        return nullptr;
    }
    static QStringList texts(const PreparedPage &page, const QString &name)
    {
        QStringList out;
        for (const PreparedCell &c : page.cells)
            if (c.name == name)
                out << c.text;
        return out;
    }
    // The data cell of column `field` in each data row of the page.
    static QStringList column(const PreparedPage &page, const QString &field)
    {
        const ReportTemplate t = seriesReportTemplate();
        QString name;
        for (const TemplateCell &c : t.band(BandKind::MasterData)->cells)
            if (c.text.contains(QStringLiteral("\"%1\"").arg(field)))
                name = c.name;
        return texts(page, name);
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Russian));
        table.setFilePath(QDir::current().filePath(QStringLiteral("report.db")));
        table.create();
        kvetest::fillSeries(table, 7, 3,
                            {{1, {{QStringLiteral("P_2"), QStringLiteral("0,0333")}, {QStringLiteral("T_1"), QStringLiteral("5")},
                                  {QStringLiteral("P"), QStringLiteral("0,9")}, {QStringLiteral("A"), QStringLiteral("1234")}}},
                             {2, {{QStringLiteral("P_2"), QStringLiteral("-")}, {QStringLiteral("COMMENT"), QStringLiteral("1.5 м")}}},
                             {3, {{QStringLiteral("T_1"), QStringLiteral("   ")}}}});
        kvetest::fillSeries(table, 3, 40);
        kvetest::fillSeries(table, 5, 0);
    }

    void titleLines()
    {
        kvetest::showSeries(table, 7);
        table.first();
        report.fillTitleCells(QStringLiteral("report - ЖОРД-ЗР7"), table, 7);
        const PreparedReport &r = report.prepare(table);
        QCOMPARE(r.pageCount(), 1);
        QCOMPARE(cell(r.pages[0], QStringLiteral("Memo19"))->text, QStringLiteral("report - ЖОРД-ЗР7  Серийный №1234"));
        QCOMPARE(cell(r.pages[0], QStringLiteral("Memo12"))->text, QStringLiteral("Серия №7"));
        // The template keeps the texts until the next fill.
        QCOMPARE(report.cellText(QStringLiteral("Memo12")), QStringLiteral("Серия №7"));
    }

    void dataFormats()
    {
        kvetest::showSeries(table, 7);
        const PreparedReport &r = report.prepare(table);
        QCOMPARE(column(r.pages[0], QStringLiteral("P_2")), QStringList({QStringLiteral("0,03"), QStringLiteral("-"), QString()}));
        QCOMPARE(column(r.pages[0], QStringLiteral("T_1")), QStringList({QStringLiteral("5,0"), QStringLiteral("2,5"), QString()}));
        QCOMPARE(column(r.pages[0], QStringLiteral("P"))[0], QStringLiteral("0,90"));
        QCOMPARE(column(r.pages[0], QStringLiteral("COMMENT"))[1], QStringLiteral("1.5 м"));
        QCOMPARE(column(r.pages[0], QStringLiteral("N")), QStringList({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    }

    void pagesHeadersAndFooters()
    {
        kvetest::showSeries(table, 3);   // 40 rows: 12 on the first page, 14 on the others
        const PreparedReport &r = report.prepare(table);
        QCOMPARE(r.pageCount(), 3);
        QStringList allN;
        for (int p = 0; p < 3; ++p) {
            const PreparedPage &page = r.pages[std::size_t(p)];
            QCOMPARE(texts(page, QStringLiteral("Memo21")), QStringList{QStringLiteral("Стр. %1 из 3").arg(p + 1)});
            QCOMPARE(texts(page, QStringLiteral("Memo1")), QStringList{QStringLiteral("N")});
            QCOMPARE(texts(page, QStringLiteral("Memo11")), QStringList{QStringLiteral("Комментарий")});
            // The title only on the first page, the header right below it or at the top.
            QCOMPARE(texts(page, QStringLiteral("Memo19")).size(), p == 0 ? 1 : 0);
            QCOMPARE(cell(page, QStringLiteral("Memo1"))->rect.top(), p == 0 ? 72.0 + 64 : 72.0);
            // Every row lies above the footer.
            const double footerTop = cell(page, QStringLiteral("Memo21"))->rect.top();
            for (const PreparedCell &c : page.cells)
                if (c.name != QStringLiteral("Memo21"))
                    QVERIFY(c.rect.bottom() <= footerTop);
            QCOMPARE(footerTop, r.pageHeight - 25 - 20);
            allN += column(page, QStringLiteral("N"));
        }
        QCOMPARE(column(r.pages[0], QStringLiteral("N")).size(), 12);
        QCOMPARE(column(r.pages[1], QStringLiteral("N")).size(), 14);
        QCOMPARE(allN.size(), 40);
        for (int i = 0; i < 40; ++i)
            QCOMPARE(allN[i], QString::number(i + 1));
    }

    void viewOrderAndCursor()
    {
        kvetest::showSeries(table, 3);
        table.addTag(QStringLiteral("tab3"), QStringLiteral("N"), true);
        table.setActiveTag(QStringLiteral("tab3"));
        table.refresh();
        QStringList viewOrder;
        for (int i = 0; i < table.recordCount(); ++i)
            viewOrder << table.textAt(i, kve::fieldIndex(QStringLiteral("N")));
        QVERIFY(viewOrder.first() != QStringLiteral("1"));   // the order is not the file's
        const PreparedReport &r = report.prepare(table);
        QStringList printed;
        for (const PreparedPage &page : r.pages)
            printed += column(page, QStringLiteral("N"));
        QCOMPARE(printed, viewOrder);
        // The cursor stays on the last row of the view, filter and order untouched.
        QVERIFY(!table.eof());
        QCOMPARE(table.recNo(), 39);
        QCOMPARE(table.fieldText(QStringLiteral("N")), viewOrder.last());
        QCOMPARE(table.filter(), QStringLiteral("EN_CH=3"));
        QVERIFY(table.filtered());
        QCOMPARE(table.activeTag(), QStringLiteral("tab3"));
        table.setActiveTag(QString());
        table.deleteTag(QStringLiteral("tab3"));
    }

    void emptySeriesIsOnePage()
    {
        kvetest::showSeries(table, 5);
        report.fillTitleCells(QStringLiteral("cap"), table, 5);
        const PreparedReport &r = report.prepare(table);
        QCOMPARE(r.pageCount(), 1);
        QCOMPARE(texts(r.pages[0], QStringLiteral("Memo21")), QStringList{QStringLiteral("Стр. 1 из 1")});
        QCOMPARE(texts(r.pages[0], QStringLiteral("Memo12")), QStringList{QStringLiteral("Серия №5")});
        QCOMPARE(texts(r.pages[0], QStringLiteral("Memo19")), QStringList{QStringLiteral("cap  Серийный №")});
        QCOMPARE(texts(r.pages[0], QStringLiteral("Memo1")), QStringList{QStringLiteral("N")});
        QVERIFY(column(r.pages[0], QStringLiteral("N")).isEmpty());
    }

    // What the operator sees: the page painted, the texts where the template puts them.
    void renderedPdfShowsTextsInPlace()
    {
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        kvetest::showSeries(table, 3);
        table.first();
        report.fillTitleCells(QStringLiteral("report - ЖОРД-ЗР7"), table, 3);
        const PreparedReport &r = report.prepare(table);
        const QString pdf = QDir::current().filePath(QStringLiteral("report.pdf"));
        QVERIFY(writePdf(r, pdf));
        QVERIFY(QFileInfo(pdf).size() > 1000);
        if (pdftotext.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QProcess p;
        p.start(pdftotext, {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("2"), QStringLiteral("-l"),
                            QStringLiteral("2"), pdf, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(30000));
        const QString html = QString::fromUtf8(p.readAllStandardOutput());
        // Page 2 of 3: the footer at the bottom right, a header at the top left.
        const QRegularExpression word(QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>"));
        const double ptPerUnit = 72.0 / kUnitsPerInch;
        bool footer = false, header = false;
        auto it = word.globalMatch(html);
        while (it.hasNext()) {
            const auto m = it.next();
            const double x = m.captured(1).toDouble() / ptPerUnit, y = m.captured(2).toDouble() / ptPerUnit;
            if (m.captured(5) == QStringLiteral("3") && x > 844 && x < 1046 && y > 700)
                footer = true;
            if (m.captured(5) == QStringLiteral("Дата") && x > 72 && x < 142 && y > 72 && y < 132)
                header = true;
        }
        QVERIFY2(footer, qPrintable(html.left(3000)));
        QVERIFY(header);
    }

    void renderedImageIsNotBlank()
    {
        kvetest::showSeries(table, 7);
        table.first();
        report.fillTitleCells(QStringLiteral("report - ЖОРД-ЗР7"), table, 7);
        const PreparedReport &r = report.prepare(table);
        const QImage image = renderPageImage(r, 0, 96);
        QCOMPARE(image.width(), qRound(r.pageWidth * 96 / kUnitsPerInch));
        // The frame of the first header cell is drawn at its left edge, the page corner is not.
        const double k = 96 / kUnitsPerInch;
        const QPoint onFrame(qRound(25 * k), qRound((72 + 64 + 30) * k));
        QVERIFY(qGray(image.pixel(onFrame)) < 128);
        QCOMPARE(image.pixel(2, 2), qRgb(255, 255, 255));
        // Ink inside the title cell: its text was painted.
        int dark = 0;
        for (int y = qRound(72 * k); y < qRound(136 * k); ++y)
            for (int x = qRound(25 * k); x < qRound(255 * k); ++x)
                dark += qGray(image.pixel(x, y)) < 128;
        QVERIFY(dark > 50);
        image.save(QDir::current().filePath(QStringLiteral("page.png")));
    }
};

QTEST_MAIN(TestReportPreparation)
#include "tst_ReportPreparation.moc"
