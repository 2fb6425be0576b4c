// Numbers, dates and times of a report reach the workbook as values that look exactly as
// printed; read back with xlrd, and shown by LibreOffice as the printed report shows them.
#include "PrintedPdf.h"
#include "ReportFixture.h"
#include "XlsReadBack.h"
#include "output/SeriesReport.h"
#include "output/SheetCellValue.h"
#include "output/SpreadsheetExport.h"

#include <QJsonArray>
#include <QSet>
#include <QStandardPaths>
#include <QtTest>
#include <algorithm>
#include <map>

using namespace kve::report;
using Kind = SheetCellValue::Kind;

Q_DECLARE_METATYPE(SheetCellValue::Kind)

namespace {

// xlrd's cell types.
constexpr int kText = 1, kNumber = 2, kDate = 3;

const std::map<QString, QString> &headerOf()
{
    static const std::map<QString, QString> headers{
        {QStringLiteral("N"), QStringLiteral("N")},
        {QStringLiteral("DATE"), QStringLiteral("Дата")},
        {QStringLiteral("TIME"), QStringLiteral("Время")},
        {QStringLiteral("T_1"), QStringLiteral("Температура,t 1, °С")},
        {QStringLiteral("T_2"), QStringLiteral("Температура,t 2, °С")},
        {QStringLiteral("P_2"), QStringLiteral("tср, °С.")},
        {QStringLiteral("F"), QStringLiteral("H , Глубина погружения м.")},
        {QStringLiteral("P"), QStringLiteral("к, Коэффициент черноты")},
        {QStringLiteral("COMMENT"), QStringLiteral("Комментарий")},
    };
    return headers;
}

QJsonArray cellAt(const QJsonObject &sheet, int row, int col)
{
    for (const QJsonValue &v : sheet[QStringLiteral("cells")].toArray()) {
        const QJsonArray c = v.toArray();
        if (c[0].toInt() == row && c[1].toInt() == col)
            return c;
    }
    return {};
}

QJsonArray textCell(const QJsonObject &sheet, const QString &text)
{
    for (const QJsonValue &v : sheet[QStringLiteral("cells")].toArray()) {
        const QJsonArray c = v.toArray();
        if (c[2].toInt() == kText && c[3].toString() == text)
            return c;
    }
    return {};
}

QString soffice() { return QStandardPaths::findExecutable(QStringLiteral("soffice")); }

// A LibreOffice profile of its own whose formats follow `locale` ("ru-RU", "en-US"): the
// spreadsheet shows its own user's decimal separator.
QString makeProfile(const QString &dir, const QString &locale)
{
    QDir().mkpath(dir + QStringLiteral("/user"));
    QFile f(dir + QStringLiteral("/user/registrymodifications.xcu"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    f.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
                           "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
                           "<item oor:path=\"/org.openoffice.Setup/L10N\"><prop oor:name=\"ooSetupSystemLocale\" "
                           "oor:op=\"fuse\"><value>%1</value></prop></item>\n"
                           "</oor:items>\n")
                .arg(locale)
                .toUtf8());
    return QStringLiteral("file://") + dir;
}

// The PDF that LibreOffice prints of the workbook; empty with the reason in `error`.
QString spreadsheetPdf(const QString &xls, const QString &locale, QString *error)
{
    const QString outDir = QDir::current().filePath(QStringLiteral("lo-out-") + locale);
    QDir().mkpath(outDir);
    const QString profile = makeProfile(QDir::current().filePath(QStringLiteral("lo-profile-") + locale), locale);
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(soffice(), {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
                        QStringLiteral("--norestore"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
                        QStringLiteral("--outdir"), outDir, xls});
    if (!p.waitForFinished(180000) || p.exitCode() != 0) {
        p.kill();
        p.waitForFinished();
        *error = QStringLiteral("LibreOffice failed: ") + QString::fromUtf8(p.readAll());
        return {};
    }
    const QString pdf = QDir(outDir).filePath(QFileInfo(xls).completeBaseName() + QStringLiteral(".pdf"));
    if (!QFile::exists(pdf))
        *error = QStringLiteral("LibreOffice wrote no PDF: ") + QString::fromUtf8(p.readAll());
    return QFile::exists(pdf) ? pdf : QString();
}

// The characters of a text other than blanks, in order of their codes.
QString sortedCharacters(const QString &text)
{
    QString out;
    for (QChar c : text)
        if (!c.isSpace())
            out += c;
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

class TestXlsValueCells : public QObject {
    Q_OBJECT

    // Writes the workbook of series 5 holding the rows, after the locale is set.
    static QString workbookOf(const QString &name, const std::map<int, kvetest::Row> &rows, int count,
                              PreparedReport *prepared = nullptr)
    {
        kve::MeasurementTable table;
        table.setFilePath(QDir::current().filePath(name + QStringLiteral(".db")));
        table.create();
        kvetest::fillSeries(table, 5, count, rows);
        kvetest::showSeries(table, 5);
        table.first();
        SeriesReport report;
        report.fillTitleCells(name + QStringLiteral(" - ЖОРД-ЗР7"), table, 5);
        report.prepare(table);
        if (prepared)
            *prepared = report.prepared();
        const QString path = QDir::current().filePath(name + QStringLiteral(".xls"));
        writeWorkbook(report.prepared(), path);
        table.close();
        return path;
    }

private slots:
    void cleanup() { QLocale::setDefault(QLocale(QLocale::Russian)); }

    void valueOfPrintedText_data()
    {
        QTest::addColumn<bool>("comma");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("format");

        QTest::newRow("comma: two decimals") << true << "0,90" << Kind::Number << 0.9 << "0.00";
        QTest::newRow("comma: one decimal zero") << true << "5,0" << Kind::Number << 5.0 << "0.0";
        QTest::newRow("comma: negative") << true << "-3,1" << Kind::Number << -3.1 << "0.0";
        QTest::newRow("comma: whole") << true << "12" << Kind::Number << 12.0 << "0";
        QTest::newRow("comma: blank before") << true << " 0,5" << Kind::Number << 0.5 << "0.0";
        QTest::newRow("comma: 15 digits") << true << "1234567890,12345" << Kind::Number << 1234567890.12345
                                          << "0.00000";
        QTest::newRow("comma: 16 digits") << true << "1234567890,123456" << Kind::Text << 0.0 << "";
        QTest::newRow("comma: point") << true << "1.5" << Kind::Text << 0.0 << "";
        QTest::newRow("comma: leading zero") << true << "007" << Kind::Text << 0.0 << "";
        QTest::newRow("comma: negative zero") << true << "-0,0" << Kind::Text << 0.0 << "";
        QTest::newRow("comma: plus") << true << "+5" << Kind::Text << 0.0 << "";
        QTest::newRow("comma: groups") << true << "1 234,5" << Kind::Text << 0.0 << "";
        QTest::newRow("comma: no decimals after") << true << "5," << Kind::Text << 0.0 << "";
        QTest::newRow("comma: no digits before") << true << ",5" << Kind::Text << 0.0 << "";
        QTest::newRow("comma: exponent") << true << "1,5E3" << Kind::Text << 0.0 << "";
        QTest::newRow("point: point") << false << "1.5" << Kind::Number << 1.5 << "0.0";
        QTest::newRow("point: comma") << false << "12,3" << Kind::Text << 0.0 << "";
        QTest::newRow("date") << true << "01.02.2024" << Kind::Date << 45323.0 << "dd\\.mm\\.yyyy";
        QTest::newRow("date, point") << false << "12.03.2024" << Kind::Date << 45363.0 << "dd\\.mm\\.yyyy";
        QTest::newRow("leap day") << true << "29.02.2024" << Kind::Date << 45351.0 << "dd\\.mm\\.yyyy";
        QTest::newRow("first day of March 1900") << true << "01.03.1900" << Kind::Date << 61.0 << "dd\\.mm\\.yyyy";
        QTest::newRow("no leap day") << true << "29.02.2023" << Kind::Text << 0.0 << "";
        QTest::newRow("31 February") << true << "31.02.2009" << Kind::Text << 0.0 << "";
        QTest::newRow("before March 1900") << true << "28.02.1900" << Kind::Text << 0.0 << "";
        QTest::newRow("one-digit day") << true << "1.02.2024" << Kind::Text << 0.0 << "";
        QTest::newRow("time") << true << "10:30:00" << Kind::Time << 0.4375 << "hh:mm:ss";
        QTest::newRow("last second") << true << "23:59:59" << Kind::Time << 0.999988425925926 << "hh:mm:ss";
        QTest::newRow("hour 24") << true << "24:00:00" << Kind::Text << 0.0 << "";
        QTest::newRow("minute 60") << true << "10:60:00" << Kind::Text << 0.0 << "";
        QTest::newRow("dash") << true << "-" << Kind::Text << 0.0 << "";
        QTest::newRow("footer") << true << "Стр. 1 из 3" << Kind::Text << 0.0 << "";
    }
    void valueOfPrintedText()
    {
        QFETCH(bool, comma);
        QFETCH(QString, text);
        QFETCH(Kind, kind);
        QFETCH(double, value);
        QFETCH(QString, format);
        QLocale::setDefault(comma ? QLocale(QLocale::Russian) : QLocale::c());
        const SheetCellValue v = SheetCellValue::of(text);
        QCOMPARE(int(v.kind), int(kind));
        QCOMPARE(v.format, format);
        if (kind != Kind::Text)
            QVERIFY2(qAbs(v.value - value) < 1e-12, qPrintable(QString::number(v.value, 'g', 17)));
    }

    // Widths in the file's unit (1/256 of a digit of Arial 10) as pixels at 100 %.
    void columnPixels_data()
    {
        QTest::addColumn<double>("characters");
        QTest::addColumn<int>("pixels");
        QTest::newRow("N, 47 units") << 5.875 << 41;
        QTest::newRow("Дата, 70 units") << 8.75 << 61;
        QTest::newRow("Время, 58 units") << 7.25 << 51;
        QTest::newRow("H, 85 units") << 10.625 << 74;
        QTest::newRow("zero") << 0.0 << 0;
    }
    void columnPixels()
    {
        QFETCH(double, characters);
        QFETCH(int, pixels);
        QCOMPARE(SheetTextFit::columnPixels(characters), pixels);
    }

    void textFits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<double>>("columns");
        QTest::addColumn<bool>("fits");
        QTest::newRow("date in Дата") << "01.02.2024" << QList<double>{8.75} << false;
        QTest::newRow("date in two columns") << "01.02.2024" << QList<double>{8.75, 8.75} << true;
        QTest::newRow("date in Комментарий") << "12.03.2024" << QList<double>{0.375, 25.125} << true;
        QTest::newRow("number in N") << "2730" << QList<double>{5.875} << true;
        QTest::newRow("long number in H") << "1234567890,55" << QList<double>{10.625} << false;
        QTest::newRow("number in H") << "12345,5" << QList<double>{10.625} << true;
    }
    void textFits()
    {
        QFETCH(QString, text);
        QFETCH(QList<double>, columns);
        QFETCH(bool, fits);
        const SheetTextFit fit;
        const CellFont data{QStringLiteral("Arial"), 9};
        QCOMPARE(fit.fits(text, data, std::vector<double>(columns.begin(), columns.end())), fits);
    }

    // The first data row of series 5 as xlrd reads it: cell type, value and number format.
    void readBack_data()
    {
        QTest::addColumn<bool>("comma");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("format");

        QTest::newRow("comma: N") << true << "N" << "" << kNumber << "1" << "0";
        QTest::newRow("comma: T_1 5 printed 5,0") << true << "T_1" << "5" << kNumber << "5" << "0.0";
        QTest::newRow("comma: T_2 -3,1") << true << "T_2" << "-3,1" << kNumber << "-3.1" << "0.0";
        QTest::newRow("comma: P 0,9 printed 0,90") << true << "P" << "0,9" << kNumber << "0.9" << "0.00";
        QTest::newRow("comma: P_2 0,0333 printed 0,03") << true << "P_2" << "0,0333" << kNumber << "0.03" << "0.00";
        QTest::newRow("comma: P_2 dash") << true << "P_2" << "-" << kText << "-" << "General";
        QTest::newRow("comma: F as stored") << true << "F" << " 0,5" << kNumber << "0.5" << "0.0";
        QTest::newRow("comma: date too wide for Дата") << true << "DATE" << "01.02.2024" << kText << "01.02.2024"
                                                       << "General";
        QTest::newRow("comma: time too wide for Время") << true << "TIME" << "10:30:00" << kText << "10:30:00"
                                                        << "General";
        QTest::newRow("comma: date in a note") << true << "COMMENT" << "12.03.2024" << kDate << "45363"
                                               << "dd\\.mm\\.yyyy";
        QTest::newRow("comma: time in a note") << true << "COMMENT" << "10:30:00" << kDate << "0.4375" << "hh:mm:ss";
        QTest::newRow("comma: no such date") << true << "COMMENT" << "31.02.2009" << kText << "31.02.2009" << "General";
        QTest::newRow("comma: dotted number keeps text") << true << "COMMENT" << "1.5" << kText << "1.5" << "@";
        QTest::newRow("comma: number in a note") << true << "COMMENT" << "12,3" << kNumber << "12.3" << "0.0";
        QTest::newRow("point: N") << false << "N" << "" << kNumber << "1" << "0";
        QTest::newRow("point: T_1 printed with a comma") << false << "T_1" << "5.25" << kText << "5,3" << "General";
        QTest::newRow("point: F as stored") << false << "F" << " 0.5" << kNumber << "0.5" << "0.0";
        QTest::newRow("point: number in a note") << false << "COMMENT" << "1.5" << kNumber << "1.5" << "0.0";
        QTest::newRow("point: comma in a note") << false << "COMMENT" << "12,3" << kText << "12,3" << "General";
        QTest::newRow("point: date in a note") << false << "COMMENT" << "12.03.2024" << kDate << "45363"
                                               << "dd\\.mm\\.yyyy";
    }
    void readBack()
    {
        QFETCH(bool, comma);
        QFETCH(QString, field);
        QFETCH(QString, stored);
        QFETCH(int, type);
        QFETCH(QString, value);
        QFETCH(QString, format);
        QLocale::setDefault(comma ? QLocale(QLocale::Russian) : QLocale::c());
        std::map<int, kvetest::Row> rows;
        if (!stored.isEmpty())
            rows[1] = {{field, stored}};
        const QString path = workbookOf(QStringLiteral("values"), rows, 1);

        KVE_READ_WORKBOOK(book, path);
        const QJsonObject sheet = book[QStringLiteral("sheets")].toArray()[0].toObject();
        const QJsonArray header = textCell(sheet, headerOf().at(field));
        QVERIFY2(!header.isEmpty(), qPrintable(field));
        const QJsonArray cell = cellAt(sheet, header[0].toInt() + 1, header[1].toInt());
        QVERIFY(!cell.isEmpty());
        QCOMPARE(cell[2].toInt(), type);
        QCOMPARE(cell[3].toVariant().toString(), value);
        const QJsonObject xf = book[QStringLiteral("xfs")].toArray()[cell[4].toInt()].toObject();
        QCOMPARE(xf[QStringLiteral("format_str")].toString(), format);
    }

    // LibreOffice, set to the locale, prints the workbook: every row shows what the report
    // prints, and nothing shows as "###".
    void spreadsheetShowsThePrintedTexts_data()
    {
        QTest::addColumn<bool>("comma");
        QTest::addColumn<QString>("locale");
        QTest::newRow("comma, ru-RU") << true << "ru-RU";
        QTest::newRow("point, en-US") << false << "en-US";
    }
    void spreadsheetShowsThePrintedTexts()
    {
        QFETCH(bool, comma);
        QFETCH(QString, locale);
        if (soffice().isEmpty())
            QSKIP("LibreOffice (libreoffice-calc-nogui) is not installed");
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is missing");
        QLocale::setDefault(comma ? QLocale(QLocale::Russian) : QLocale::c());
        const QString sep = comma ? QStringLiteral(",") : QStringLiteral(".");
        const auto n = [&sep](const char *text) { return QString::fromLatin1(text).replace(u'|', sep); };
        std::map<int, kvetest::Row> rows{
            {1, {{QStringLiteral("T_2"), n("-3|1")}, {QStringLiteral("P"), n("0|9")}, {QStringLiteral("P_2"), n("0|0333")},
                 {QStringLiteral("F"), n(" 0|5")}, {QStringLiteral("COMMENT"), QStringLiteral("12.03.2024")}}},
            {2, {{QStringLiteral("T_1"), QStringLiteral("5")}, {QStringLiteral("COMMENT"), QStringLiteral("10:30:00")}}},
            {3, {{QStringLiteral("COMMENT"), QStringLiteral("31.02.2009")}, {QStringLiteral("F"), n("1234|5")}}},
            {4, {{QStringLiteral("COMMENT"), QStringLiteral("1.5")}, {QStringLiteral("P_1"), n("-12|25")}}},
            {5, {{QStringLiteral("COMMENT"), QStringLiteral("12,3")}, {QStringLiteral("T_3"), n("100")}}},
            {6, {{QStringLiteral("COMMENT"), QStringLiteral("-")}, {QStringLiteral("P_2"), QStringLiteral("-")}}},
        };
        PreparedReport report;
        const QString xls = workbookOf(QStringLiteral("shown-") + locale, rows, 30, &report);
        QCOMPARE(report.pageCount(), 3);
        QString error;
        const QString pdf = spreadsheetPdf(xls, locale, &error);
        QVERIFY2(!pdf.isEmpty(), qPrintable(error));
        const QStringList pages = kvetest::pdfPageTexts(pdf);
        QCOMPARE(pages.size(), 3);

        // A cell too narrow for its text wraps it over lines, so each page is compared by
        // the characters it shows, blanks aside: exactly those of the printed page.
        for (int p = 0; p < 3; ++p) {
            QVERIFY2(!pages[p].contains(u'#'), qPrintable(pages[p]));
            QString printed;
            for (const PreparedCell &c : report.pages[std::size_t(p)].cells)
                printed += c.text;
            QCOMPARE(sortedCharacters(pages[p]), sortedCharacters(printed));
        }
        // The values of the first rows, each shown whole on one line as printed.
        QStringList words = pages[0].split(QRegularExpression(QStringLiteral("\\s+")));
        const QString note = comma ? QStringLiteral("12,3") : QStringLiteral("1.5");
        const QString depth = QStringLiteral("1234") + sep + QStringLiteral("5");
        for (const QString &shown : {QStringLiteral("-3,1"), QStringLiteral("0,90"), QStringLiteral("0,03"),
                                     QStringLiteral("12.03.2024"), QStringLiteral("10:30:00"), QStringLiteral("5,0"),
                                     QStringLiteral("-12,3"), QStringLiteral("100,0"), QStringLiteral("31.02.2009"), depth, note})
            QVERIFY2(words.contains(shown), qPrintable(shown));
    }
};

QTEST_MAIN(TestXlsValueCells)
#include "tst_XlsValueCells.moc"
