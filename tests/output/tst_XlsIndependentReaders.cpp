// The written workbook read back by readers that share no code with ours: olefile in
// strict mode for the container, and LibreOffice (headless) for what a spreadsheet
// application makes of the page setup: orientation, margins, one printed page per
// report page.
#include "PrintedPdf.h"
#include "ReportFixture.h"
#include "output/SeriesReport.h"
#include "output/SpreadsheetExport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");   // Debian's, with its modules

bool pythonHas(const QString &module)
{
    QProcess p;
    p.start(kPython, {QStringLiteral("-c"), QStringLiteral("import ") + module});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString soffice() { return QStandardPaths::findExecutable(QStringLiteral("soffice")); }

// Converts with LibreOffice into `outDir`; the converted file's path, or empty with the
// reason in `error`. Its own profile folder keeps it from the user's and from a running one.
QString convert(const QString &file, const QString &format, const QString &outDir, QString *error)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(soffice(), {QStringLiteral("-env:UserInstallation=file://") + QDir::current().filePath(QStringLiteral("lo-profile")),
                        QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"), format,
                        QStringLiteral("--outdir"), outDir, file});
    if (!p.waitForFinished(180000) || p.exitCode() != 0) {
        p.kill();
        *error = QStringLiteral("LibreOffice failed: ") + QString::fromUtf8(p.readAll());
        return {};
    }
    const QString out = QDir(outDir).filePath(QFileInfo(file).completeBaseName() + u'.' + format.section(u':', 0, 0));
    if (!QFile::exists(out))
        *error = QStringLiteral("LibreOffice wrote no %1: %2").arg(out, QString::fromUtf8(p.readAll()));
    return QFile::exists(out) ? out : QString();
}

// A length such as "0.6931cm" or "0.2729in" in centimetres; -1 when unreadable.
double centimetres(const QString &length)
{
    static const QRegularExpression re(QStringLiteral("^([0-9.]+)(cm|mm|in|pt)$"));
    const auto m = re.match(length.trimmed());
    if (!m.hasMatch())
        return -1;
    const double v = m.captured(1).toDouble();
    const QString unit = m.captured(2);
    return unit == u"cm" ? v : unit == u"mm" ? v / 10 : unit == u"in" ? v * 2.54 : v * 2.54 / 72;
}

// The attributes of the page layout that the sheet's page style uses, from a .fods file.
QMap<QString, QString> sheetPageLayout(const QString &fods)
{
    QFile f(fods);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader xml(&f);
    QMap<QString, QMap<QString, QString>> layouts;   // page layout name -> properties
    QMap<QString, QString> masterLayout;             // master page name -> page layout name
    QString tableMaster;                             // the master page of the first table's style
    QMap<QString, QString> tableStyleMaster;
    QString firstTableStyle;
    QString currentLayout;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const auto a = xml.attributes();
        const QStringView n = xml.qualifiedName();
        if (n == u"style:page-layout")
            currentLayout = a.value(QStringLiteral("style:name")).toString();
        else if (n == u"style:page-layout-properties")
            for (const auto &attr : a)
                layouts[currentLayout][attr.qualifiedName().toString()] = attr.value().toString();
        else if (n == u"style:master-page")
            masterLayout[a.value(QStringLiteral("style:name")).toString()] =
                a.value(QStringLiteral("style:page-layout-name")).toString();
        else if (n == u"style:style" && a.value(QStringLiteral("style:family")) == u"table")
            tableStyleMaster[a.value(QStringLiteral("style:name")).toString()] =
                a.value(QStringLiteral("style:master-page-name")).toString();
        else if (n == u"table:table" && firstTableStyle.isEmpty())
            firstTableStyle = a.value(QStringLiteral("table:style-name")).toString();
    }
    tableMaster = tableStyleMaster.value(firstTableStyle);
    return layouts.value(masterLayout.value(tableMaster));
}

} // namespace

class TestXlsIndependentReaders : public QObject {
    Q_OBJECT

    kve::MeasurementTable table;

    // Writes the workbook of a series' report; its page count in `pages`.
    QString workbookOf(int series, int *pages = nullptr)
    {
        kvetest::showSeries(table, series);
        table.first();
        SeriesReport report;
        report.fillTitleCells(QStringLiteral("readers - ЖОРД-ЗР7"), table, series);
        report.prepare(table);
        if (pages)
            *pages = report.prepared().pageCount();
        const QString path = QDir::current().filePath(QStringLiteral("series%1.xls").arg(series));
        kve::report::writeWorkbook(report.prepared(), path);
        return path;
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Russian));
        table.setFilePath(QDir::current().filePath(QStringLiteral("readers.db")));
        table.create();
        kvetest::fillSeries(table, 1, 0);
        kvetest::fillSeries(table, 2, 5);
        kvetest::fillSeries(table, 3, 40);   // three report pages
        kvetest::fillSeries(table, 4, 700);  // a Workbook stream far past the small-stream limit
    }

    void containerPassesStrictReading_data()
    {
        QTest::addColumn<int>("series");
        QTest::newRow("no rows") << 1;
        QTest::newRow("one page") << 2;
        QTest::newRow("three pages") << 3;
        QTest::newRow("fifty pages") << 4;
    }

    void containerPassesStrictReading()
    {
        if (!pythonHas(QStringLiteral("olefile")))
            QSKIP("python3-olefile is not installed");
        QFETCH(int, series);
        const QString path = workbookOf(series);
        QProcess p;
        p.start(kPython, {QStringLiteral(KVE_TEST_DATA_DIR "/ole_check.py"), path});
        QVERIFY(p.waitForFinished(60000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        const QJsonObject ole = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
        QCOMPARE(ole[QStringLiteral("issues")].toArray().size(), 0);
        QCOMPARE(ole[QStringLiteral("sector_size")].toInt(), 512);
        const QJsonObject streams = ole[QStringLiteral("streams")].toObject();
        QVERIFY2(streams.contains(QStringLiteral("Workbook")), qPrintable(QJsonDocument(streams).toJson()));
        // The stream reads back whole, and its records tile it exactly: a BOF and an EOF for
        // the globals and for the one worksheet.
        QCOMPARE(ole[QStringLiteral("workbook_read")].toInt(), streams[QStringLiteral("Workbook")].toInt());
        QCOMPARE(ole[QStringLiteral("tail")].toInt(), 0);
        QCOMPARE(ole[QStringLiteral("bof")].toArray(),
                 QJsonArray({QJsonArray({0x0600, 0x0005}), QJsonArray({0x0600, 0x0010})}));
        QCOMPARE(ole[QStringLiteral("eof")].toInt(), 2);
    }

    void spreadsheetPrintsOneLandscapePagePerReportPage()
    {
        if (soffice().isEmpty())
            QSKIP("LibreOffice (libreoffice-calc-nogui) is not installed");
        if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
            QSKIP("pdfinfo (poppler-utils) is missing");
        int pages = 0;
        const QString path = workbookOf(3, &pages);
        QCOMPARE(pages, 3);
        QString error;
        const QString pdf = convert(path, QStringLiteral("pdf"), QDir::currentPath(), &error);
        QVERIFY2(!pdf.isEmpty(), qPrintable(error));

        const QString info = kvetest::runTool(QStringLiteral("pdfinfo"), {pdf});
        static const QRegularExpression sizeRe(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts"));
        const auto size = sizeRe.match(info);
        QVERIFY2(size.hasMatch(), qPrintable(info));
        QVERIFY2(size.captured(1).toDouble() > size.captured(2).toDouble(), qPrintable(info));   // landscape
        QCOMPARE(qRound(size.captured(1).toDouble() / 72 * 25.4), 297);                          // A4
        QCOMPARE(qRound(size.captured(2).toDouble() / 72 * 25.4), 210);

        const QStringList texts = kvetest::pdfPageTexts(pdf);
        QCOMPARE(texts.size(), 3);
        for (int i = 0; i < 3; ++i)
            QVERIFY2(texts[i].contains(QStringLiteral("Стр. %1 из 3").arg(i + 1)), qPrintable(texts[i]));
        QVERIFY(texts[0].contains(QStringLiteral("Серия №3")));
        QVERIFY(texts[1].contains(QStringLiteral("Комментарий")));   // the header row on every page
        QVERIFY(texts[2].contains(QStringLiteral("Комментарий")));
    }

    void spreadsheetKeepsTheReportMargins()
    {
        if (soffice().isEmpty())
            QSKIP("LibreOffice (libreoffice-calc-nogui) is not installed");
        const QString path = workbookOf(2);
        QString error;
        const QString fods = convert(path, QStringLiteral("fods"), QDir::currentPath(), &error);
        QVERIFY2(!fods.isEmpty(), qPrintable(error));
        const auto layout = sheetPageLayout(fods);
        QVERIFY2(!layout.isEmpty(), "no page layout for the sheet");
        QCOMPARE(layout.value(QStringLiteral("style:print-orientation")), QStringLiteral("landscape"));
        // The report's margins: 25 units left, right and bottom, 72 at the top.
        const double unitCm = 2.54 / kve::report::kUnitsPerInch;
        const auto close = [](double a, double b) { return qAbs(a - b) < 0.02; };
        const double left = centimetres(layout.value(QStringLiteral("fo:margin-left")));
        const double right = centimetres(layout.value(QStringLiteral("fo:margin-right")));
        QVERIFY2(close(left, 25 * unitCm), qPrintable(QString::number(left)));
        QVERIFY2(close(right, 25 * unitCm), qPrintable(QString::number(right)));
        const double top = centimetres(layout.value(QStringLiteral("fo:margin-top")));
        const double bottom = centimetres(layout.value(QStringLiteral("fo:margin-bottom")));
        QVERIFY2(close(top, 72 * unitCm), qPrintable(QString::number(top)));
        QVERIFY2(close(bottom, 25 * unitCm), qPrintable(QString::number(bottom)));
    }
};

QTEST_MAIN(TestXlsIndependentReaders)
#include "tst_XlsIndependentReaders.moc"
