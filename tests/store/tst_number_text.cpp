#include "store/NumberText.h"

#include <QLocale>
#include <QtTest>

class NumberTextTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void formats_data()
    {
        QTest::addColumn<bool>("comma");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("fixed");
        QTest::addColumn<QString>("general");
        QTest::newRow("0.5 comma") << true << 0.5 << " 0,5" << "0,5";
        QTest::newRow("-0.5 comma") << true << -0.5 << "-0,5" << "-0,5";
        QTest::newRow("0 comma") << true << 0.0 << " 0,0" << "0";
        QTest::newRow("12.3 comma") << true << 12.3 << "12,3" << "12,3";
        QTest::newRow("-123.4 comma") << true << -123.4 << "-123,4" << "-123,4";
        QTest::newRow("12 comma") << true << 12.0 << "12,0" << "12";
        QTest::newRow("12.5 point") << false << 12.5 << "12,5" << "12.5";
        QTest::newRow("-0.05 point") << false << -0.05 << "-0,1" << "-0.05";
        QTest::newRow("third comma") << true << 1.0 / 3.0 << " 0,3" << "0,333333333333333";
    }

    void formats()
    {
        QFETCH(bool, comma);
        QFETCH(double, value);
        QFETCH(QString, fixed);
        QFETCH(QString, general);
        QLocale::setDefault(comma ? QLocale(QLocale::Russian) : QLocale::c());
        if (!comma)
            fixed.replace(',', '.');
        QCOMPARE(kve::formatFixed1(value), fixed);
        QCOMPARE(kve::formatGeneral(value), general);
    }

    void parses_data()
    {
        QTest::addColumn<bool>("comma");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("comma") << true << " 12,3 " << true << 12.3;
        QTest::newRow("point under comma") << true << "1.5" << false << 0.0;
        QTest::newRow("point") << false << "1.5" << true << 1.5;
        QTest::newRow("comma under point") << false << "1,5" << false << 0.0;
        QTest::newRow("negative") << true << "-0,05" << true << -0.05;
        QTest::newRow("empty") << true << "   " << false << 0.0;
        QTest::newRow("dash") << true << "-" << false << 0.0;
        QTest::newRow("word") << true << "abc" << false << 0.0;
        QTest::newRow("integer") << true << "150" << true << 150.0;
    }

    void parses()
    {
        QFETCH(bool, comma);
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        QLocale::setDefault(comma ? QLocale(QLocale::Russian) : QLocale::c());
        const auto parsed = kve::parseNumber(text);
        QCOMPARE(parsed.has_value(), ok);
        if (ok)
            QCOMPARE(*parsed, value);
    }

    void extendedReadBackEqualsDecimalLimit()
    {
        QLocale::setDefault(QLocale(QLocale::Russian));
        QCOMPARE(*kve::parseNumberExtended("0,01"), 0.01L);
        QCOMPARE(*kve::parseNumberExtended("0,035"), 0.035L);
    }
};

QTEST_GUILESS_MAIN(NumberTextTest)
#include "tst_number_text.moc"
