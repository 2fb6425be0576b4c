#include "analysis/AnalysisError.h"
#include "analysis/FrostHeave.h"
#include "store/NumberText.h"

#include <QLocale>
#include <QtTest>

// Texts in the tables are written with a comma; under the C locale it becomes a point.
static QString local(QString text)
{
    return text.replace(QLatin1Char(','), kve::decimalSeparator());
}

class FrostHeaveTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void values_data();
    void values();
    void depthZeroWithHeaveIsRefused_data();
    void depthZeroWithHeaveIsRefused();
    void tinyQuotientKeepsItsMagnitude();
    void limitsBelongToUpperClass_data();
    void limitsBelongToUpperClass();
    void thickness_data();
    void thickness();
};

static void addLocales(const char *name, double hf, double depth, const QString &p2, const QString &st,
                       bool stWritten, const QString &d)
{
    for (const bool comma : {true, false}) {
        QTest::newRow(QStringLiteral("%1 %2").arg(QLatin1String(name), comma ? u"ru" : u"C").toUtf8().constData())
            << comma << hf << depth << p2 << st << stWritten << d;
    }
}

void FrostHeaveTest::values_data()
{
    QTest::addColumn<bool>("comma");
    QTest::addColumn<double>("hf");
    QTest::addColumn<double>("depth");
    QTest::addColumn<QString>("p2");
    QTest::addColumn<QString>("st");
    QTest::addColumn<bool>("stWritten");
    QTest::addColumn<QString>("d");

    addLocales("1,5/150 lower limit of weak", 1.5, 150, "0,01", "Слабопучинистый", true, "150");
    addLocales("15,0/150 limit of excessive", 15.0, 150, "0,1", "Чрезмерно пучинистый", true, "150");
    addLocales("5,0/150 cut to 6", 5.0, 150, "0,0333", "Слабопучинистый", true, "150");
    addLocales("10,5/100", 10.5, 100, "0,105", "Чрезмерно пучинистый", true, "100");
    addLocales("6,9/100", 6.9, 100, "0,069", "Среднепучинистый", true, "100");
    addLocales("3,5/100 limit of medium", 3.5, 100, "0,035", "Среднепучинистый", true, "100");
    addLocales("7,0/100 limit of strong", 7.0, 100, "0,07", "Сильнопучинистый", true, "100");
    addLocales("9,9/100 strong", 9.9, 100, "0,099", "Сильнопучинистый", true, "100");
    addLocales("0,5/150 none", 0.5, 150, "0,0033", "Непучинистый", true, "150");
    addLocales("0,1/150 small", 0.1, 150, "0,0006", "Непучинистый", true, "150");
    addLocales("1,4/150 cut below limit", 1.4, 150, "0,0093", "Непучинистый", true, "150");
    addLocales("150/150 whole", 150, 150, "1", "Чрезмерно пучинистый", true, "150");
    addLocales("12,3/7", 12.3, 7, "1,7571", "Чрезмерно пучинистый", true, "7");
    // The quotients fall just below a limit (0,0349999..., 0,0699999...); their stored texts
    // lie on it, and the class follows the text.
    addLocales("0,7/20 class of the stored text", 0.7, 20, "0,035", "Среднепучинистый", true, "20");
    addLocales("0,7/10 class of the stored text", 0.7, 10, "0,07", "Сильнопучинистый", true, "10");
    addLocales("0,0 repeat", 0.0, 150, "-", "Повторите испытание", true, "150");
    addLocales("negative repeat", -2.5, 100, "-", "Повторите испытание", true, "100");
    addLocales("0,0 with depth 0", 0.0, 0, "-", "Повторите испытание", true, "0");
}

void FrostHeaveTest::values()
{
    QFETCH(bool, comma);
    QFETCH(double, hf);
    QFETCH(double, depth);
    QFETCH(QString, p2);
    QFETCH(QString, st);
    QFETCH(bool, stWritten);
    QFETCH(QString, d);
    QLocale::setDefault(comma ? QLocale(QLocale::Russian) : QLocale::c());

    const kve::FrostHeaveValues values = kve::computeFrostHeave(hf, depth);
    QCOMPARE(values.p2, local(p2));
    QVERIFY(values.p2.size() <= kve::kHeaveFieldWidth);
    QCOMPARE(values.st.has_value(), stWritten);
    if (stWritten)
        QCOMPARE(*values.st, st);
    QCOMPARE(values.d, d);
}

void FrostHeaveTest::depthZeroWithHeaveIsRefused_data()
{
    QTest::addColumn<double>("hf");
    QTest::newRow("0,1") << 0.1;
    QTest::newRow("15,0") << 15.0;
}

void FrostHeaveTest::depthZeroWithHeaveIsRefused()
{
    QFETCH(double, hf);
    QLocale::setDefault(QLocale(QLocale::Russian));
    try {
        kve::computeFrostHeave(hf, 0);
        QFAIL("a quotient by 0 was formed");
    } catch (const kve::AnalysisError &error) {
        QVERIFY(error.text().contains(QStringLiteral("D")));
    }
}

// A quotient written with an exponent must not be cut into a mantissa alone
// ("6,6666" for 6,7e-7), which would read back as an excessive heave.
void FrostHeaveTest::tinyQuotientKeepsItsMagnitude()
{
    for (const QLocale &locale : {QLocale(QLocale::Russian), QLocale::c()}) {
        QLocale::setDefault(locale);
        const kve::FrostHeaveValues values = kve::computeFrostHeave(0.0001, 150);
        QVERIFY2(values.p2.size() <= kve::kHeaveFieldWidth, qPrintable(values.p2));
        const std::optional<double> back = kve::parseNumber(values.p2);
        QVERIFY2(back.has_value(), qPrintable(values.p2));
        QVERIFY2(*back > 0 && *back < 1e-5, qPrintable(values.p2));
        QCOMPARE(values.st.value_or(QString()), QStringLiteral("Непучинистый"));
    }
}

void FrostHeaveTest::limitsBelongToUpperClass_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cls");
    QTest::newRow("0,01") << "0,01" << "Слабопучинистый";
    QTest::newRow("0,0099") << "0,0099" << "Непучинистый";
    QTest::newRow("0,035") << "0,035" << "Среднепучинистый";
    QTest::newRow("0,0349") << "0,0349" << "Слабопучинистый";
    QTest::newRow("0,07") << "0,07" << "Сильнопучинистый";
    QTest::newRow("0,0699") << "0,0699" << "Среднепучинистый";
    QTest::newRow("0,1") << "0,1" << "Чрезмерно пучинистый";
    QTest::newRow("0,0999") << "0,0999" << "Сильнопучинистый";
    QTest::newRow("0") << "0" << "";
    QTest::newRow("-0,5") << "-0,5" << "";
}

void FrostHeaveTest::limitsBelongToUpperClass()
{
    QFETCH(QString, text);
    QFETCH(QString, cls);
    QLocale::setDefault(QLocale(QLocale::Russian));
    const std::optional<long double> value = kve::parseNumberExtended(text);
    QVERIFY(value.has_value());
    QCOMPARE(kve::frostHeaveClass(*value), cls);
}

void FrostHeaveTest::thickness_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("depth");
    QTest::newRow("150 taken") << "150" << true << 150.0;
    QTest::newRow("151 not taken") << "151" << true << 0.0;
    QTest::newRow("999 not taken") << "999" << true << 0.0;
    QTest::newRow("0") << "0  " << true << 0.0;
    QTest::newRow("leading blanks") << "  7" << true << 7.0;
    QTest::newRow("trailing blank") << "15 " << true << 15.0;
    QTest::newRow("only blanks") << "   " << false << 0.0;
    QTest::newRow("blank between digits") << "1 5" << false << 0.0;
}

void FrostHeaveTest::thickness()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, depth);
    const std::optional<double> value = kve::readThickness(text);
    QCOMPARE(value.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(kve::depthFromThickness(*value), depth);
}

QTEST_GUILESS_MAIN(FrostHeaveTest)
#include "tst_frostheave.moc"
