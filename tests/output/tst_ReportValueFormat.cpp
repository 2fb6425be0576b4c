#include "output/ReportValueFormat.h"

#include <QLocale>
#include <QtTest>

using kve::report::ValueFormat;
using kve::report::formatReportValue;

class TestReportValueFormat : public QObject {
    Q_OBJECT
private slots:
    void printed_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("printed");
        const int fixed1 = int(ValueFormat::Fixed1), fixed2 = int(ValueFormat::Fixed2),
                  upTo2 = int(ValueFormat::UpToTwoDecimals), stored = int(ValueFormat::AsStored);
        for (const QString &loc : {QStringLiteral("ru"), QStringLiteral("C")}) {
            const auto row = [&](const char *name, const QString &s, int f, const QString &p) {
                QTest::newRow(qPrintable(loc + QStringLiteral(": ") + QLatin1String(name))) << loc << s << f << p;
            };
            row("whole to one decimal", QStringLiteral("5"), fixed1, QStringLiteral("5,0"));
            row("leading blank", QStringLiteral(" 0,5"), fixed1, QStringLiteral("0,5"));
            row("rounds half up", QStringLiteral("0,15"), fixed1, QStringLiteral("0,2"));
            row("rounds negative away from zero", QStringLiteral("-2,25"), fixed1, QStringLiteral("-2,3"));
            row("carry into the whole part", QStringLiteral("9,96"), fixed1, QStringLiteral("10,0"));
            row("no minus zero", QStringLiteral("-0,04"), fixed1, QStringLiteral("0,0"));
            row("two decimals", QStringLiteral("0,9"), fixed2, QStringLiteral("0,90"));
            row("two decimals rounded", QStringLiteral("0,905"), fixed2, QStringLiteral("0,91"));
            row("at most two", QStringLiteral("0,0333"), upTo2, QStringLiteral("0,03"));
            row("no trailing zeros", QStringLiteral("1,50"), upTo2, QStringLiteral("1,5"));
            row("whole without separator", QStringLiteral("12,001"), upTo2, QStringLiteral("12"));
            row("dash as stored", QStringLiteral("-"), upTo2, QStringLiteral("-"));
            row("word as stored", QStringLiteral("нет"), fixed1, QStringLiteral("нет"));
            row("blanks print nothing", QStringLiteral("   "), fixed1, QString());
            row("blanks as stored print nothing", QStringLiteral("  "), stored, QString());
            row("stored text untouched", QStringLiteral(" 0,50"), stored, QStringLiteral(" 0,50"));
            row("exponent", QStringLiteral("1,5E2"), fixed1, QStringLiteral("150,0"));
        }
        // The stored text follows the system separator, so a point is a number only there.
        QTest::newRow("ru: point is no number") << "ru" << "0.5" << fixed1 << "0.5";
        QTest::newRow("C: point read, comma printed") << "C" << "0.5" << fixed1 << "0,5";
    }
    void printed()
    {
        QFETCH(QString, locale);
        QFETCH(QString, stored);
        QFETCH(int, format);
        QFETCH(QString, printed);
        QLocale::setDefault(locale == QStringLiteral("ru") ? QLocale(QLocale::Russian) : QLocale::c());
        QCOMPARE(formatReportValue(stored, ValueFormat(format)), printed);
    }
};

QTEST_GUILESS_MAIN(TestReportValueFormat)
#include "tst_ReportValueFormat.moc"
