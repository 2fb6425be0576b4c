#include "device/ImageDecoder.h"
#include "store/MeasurementTable.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Raw {
    qint16 f = 0, t1 = 0, t2 = 0, t3 = 0, p1 = 0, p2 = 0;
    quint8 p = 0, sec = 0, min = 0, hour = 0, day = 1, month = 1, year = 9;
};

void putRecord(QByteArray &img, int offset, const Raw &r)
{
    auto put16 = [&](int at, qint16 v) {
        img[offset + at] = char(quint16(v) & 0xFF);
        img[offset + at + 1] = char(quint16(v) >> 8);
    };
    img[offset] = char(0xEE);
    img[offset + 1] = char(0xEE);
    put16(2, r.f);
    put16(4, r.t1);
    put16(6, r.t2);
    put16(8, r.t3);
    put16(10, r.p1);
    put16(12, r.p2);
    img[offset + 14] = char(r.p);
    img[offset + 15] = char(r.sec);
    img[offset + 16] = char(r.min);
    img[offset + 17] = char(r.hour);
    img[offset + 18] = char(r.day);
    img[offset + 19] = char(r.month);
    img[offset + 20] = char(r.year);
    img[offset + 21] = char(0xEE);
    img[offset + 22] = char(0xEE);
    img[offset + 23] = char(0xEE);
}

QByteArray emptyImage()
{
    return QByteArray(195001, '\0');
}

} // namespace

class TestImageDecoder : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString newTable(kve::MeasurementTable &t, const QString &name)
    {
        const QString path = m_dir.filePath(name);
        t.setFilePath(path);
        t.create();
        return path;
    }

private slots:
    // Only counts within the series count promise records.
    void archiveHoldsRecordsWithinItsSeriesCount_data()
    {
        QTest::addColumn<int>("seriesCount");
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<bool>("holds");
        QTest::newRow("no series") << 0 << QList<int>{} << false;
        QTest::newRow("no series, counts beyond") << 0 << QList<int>{4, 2} << false;
        QTest::newRow("three series, all 0") << 3 << QList<int>{0, 0, 0} << false;
        QTest::newRow("two series, a count beyond them") << 2 << QList<int>{0, 0, 7} << false;
        QTest::newRow("three series, the last has one") << 3 << QList<int>{0, 0, 1} << true;
        QTest::newRow("series count above 16") << 200 << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5} << true;
    }

    void archiveHoldsRecordsWithinItsSeriesCount()
    {
        QFETCH(int, seriesCount);
        QFETCH(QList<int>, counts);
        QFETCH(bool, holds);
        ArchiveHeader header;
        header.seriesCount = quint8(seriesCount);
        for (int s = 0; s < counts.size(); ++s)
            header.recordCounts[size_t(s)] = quint16(counts[s]);
        QCOMPARE(kve::archiveHoldsRecords(header), holds);
    }

    void init() { QLocale::setDefault(QLocale(QLocale::Russian)); }

    void times_data()
    {
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("m");
        QTest::addColumn<int>("s");
        QTest::addColumn<QString>("text");
        QTest::newRow("out of range") << 24 << 75 << 60 << "00:00:00";
        QTest::newRow("09:07:05") << 9 << 7 << 5 << "09:07:05";
        QTest::newRow("limits") << 23 << 59 << 59 << "23:59:59";
        QTest::newRow("zero") << 0 << 0 << 0 << "00:00:00";
        QTest::newRow("255s") << 255 << 255 << 255 << "00:00:00";
        QTest::newRow("hour only bad") << 30 << 1 << 2 << "00:01:02";
    }
    void times()
    {
        QFETCH(int, h);
        QFETCH(int, m);
        QFETCH(int, s);
        QFETCH(QString, text);
        QCOMPARE(kve::timeText(quint8(h), quint8(m), quint8(s)), text);
    }

    void dates_data()
    {
        QTest::addColumn<int>("d");
        QTest::addColumn<int>("m");
        QTest::addColumn<int>("y");
        QTest::addColumn<QString>("text");
        QTest::newRow("day 0 month 0") << 0 << 0 << 9 << "01.01.2009";
        QTest::newRow("day 32") << 32 << 5 << 9 << "01.05.2009";
        QTest::newRow("month 13") << 15 << 13 << 9 << "15.01.2009";
        QTest::newRow("31.02.2009") << 31 << 2 << 9 << "31.02.2009";
        QTest::newRow("year 255") << 1 << 12 << 255 << "01.12.2255";
        QTest::newRow("year 0") << 9 << 9 << 0 << "09.09.2000";
    }
    void dates()
    {
        QFETCH(int, d);
        QFETCH(int, m);
        QFETCH(int, y);
        QFETCH(QString, text);
        QCOMPARE(kve::dateText(quint8(d), quint8(m), quint8(y)), text);
    }

    void numbers_data()
    {
        QTest::addColumn<bool>("comma");
        QTest::addColumn<int>("rawT");
        QTest::addColumn<QString>("t");
        QTest::addColumn<int>("rawF");
        QTest::addColumn<QString>("f");
        QTest::addColumn<int>("rawP");
        QTest::addColumn<QString>("p");
        QTest::newRow("comma a") << true << 5 << " 0,5" << 1234 << "12,34" << 255 << "2,55";
        QTest::newRow("comma b") << true << -5 << "-0,5" << 1200 << "12" << 100 << "1";
        QTest::newRow("comma c") << true << 0 << " 0,0" << 1250 << "12,5" << 0 << "0";
        QTest::newRow("comma d") << true << 123 << "12,3" << -5 << "-0,05" << 5 << "0,05";
        QTest::newRow("comma e") << true << -1234 << "-123,4" << -32768 << "-327,68" << 250 << "2,5";
        QTest::newRow("point a") << false << 5 << " 0.5" << 1234 << "12.34" << 255 << "2.55";
        QTest::newRow("point b") << false << -32768 << "-3276.8" << 32767 << "327.67" << 1 << "0.01";
    }
    void numbers()
    {
        QFETCH(bool, comma);
        QFETCH(int, rawT);
        QFETCH(QString, t);
        QFETCH(int, rawF);
        QFETCH(QString, f);
        QFETCH(int, rawP);
        QFETCH(QString, p);
        QLocale::setDefault(comma ? QLocale(QLocale::Russian) : QLocale::c());
        QByteArray rec(24, '\0');
        Raw r;
        r.f = qint16(rawF);
        r.t1 = r.t2 = r.t3 = r.p1 = r.p2 = qint16(rawT);
        r.p = quint8(rawP);
        putRecord(rec, 0, r);
        const kve::RecordTexts x = kve::decodeRecord(rec.constData());
        QCOMPARE(x.T_1, t);
        QCOMPARE(x.T_2, t);
        QCOMPARE(x.T_3, t);
        QCOMPARE(x.P_1, t);
        QCOMPARE(x.P_2, t);
        QCOMPARE(x.F, f);
        QCOMPARE(x.P, p);
    }

    void fieldsComeFromTheirOffsets()
    {
        QByteArray rec(24, '\0');
        Raw r{101, 11, 22, 33, 44, 55, 66, 5, 7, 9, 31, 2, 9};
        putRecord(rec, 0, r);
        const kve::RecordTexts x = kve::decodeRecord(rec.constData());
        QCOMPARE(x.F, QStringLiteral("1,01"));
        QCOMPARE(x.T_1, QStringLiteral(" 1,1"));
        QCOMPARE(x.T_2, QStringLiteral(" 2,2"));
        QCOMPARE(x.T_3, QStringLiteral(" 3,3"));
        QCOMPARE(x.P_1, QStringLiteral(" 4,4"));
        QCOMPARE(x.P_2, QStringLiteral(" 5,5"));
        QCOMPARE(x.P, QStringLiteral("0,66"));
        QCOMPARE(x.TIME, QStringLiteral("09:07:05"));
        QCOMPARE(x.DATE, QStringLiteral("31.02.2009"));
    }

    void rowsOfSeriesWithGaps()
    {
        // seriesCount 3 with counts 2, 0, 1: records at offsets 2, 26, 50.
        QByteArray img = emptyImage();
        for (int i = 0; i < 3; ++i) {
            Raw r;
            r.f = qint16(100 * (i + 1));
            r.t1 = qint16(-10 * (i + 1));
            r.day = quint8(10 + i);
            putRecord(img, 2 + 24 * i, r);
        }
        // A fourth record that no series claims.
        Raw stray;
        stray.f = 9999;
        putRecord(img, 74, stray);
        ArchiveHeader h;
        h.seriesCount = 3;
        h.serialNumber = 37;
        h.recordCounts = {2, 0, 1, 0, 5, 5, 5};   // counts past seriesCount are ignored

        kve::MeasurementTable t;
        const QString path = newTable(t, QStringLiteral("gaps.db"));
        kve::flash2qvd01(t, h, img, 0);
        t.close();
        t.setFilePath(path);
        t.open();
        t.refresh();
        QCOMPARE(t.recordCount(), 3);
        const int n[] = {1, 2, 1};
        const int ch[] = {1, 1, 3};
        const char *f[] = {"1", "2", "3"};
        const char *t1[] = {"-1,0", "-2,0", "-3,0"};
        const char *date[] = {"10.01.2009", "11.01.2009", "12.01.2009"};
        t.first();
        for (int i = 0; i < 3; ++i, t.next()) {
            QVERIFY(!t.eof());
            QCOMPARE(t.fieldInt(QStringLiteral("N")).value_or(-1), n[i]);
            QCOMPARE(t.fieldInt(QStringLiteral("EN_CH")).value_or(-1), ch[i]);
            QCOMPARE(t.fieldText(QStringLiteral("F")), QString::fromLatin1(f[i]));
            QCOMPARE(t.fieldText(QStringLiteral("T_1")), QString::fromLatin1(t1[i]));
            QCOMPARE(t.fieldText(QStringLiteral("DATE")), QString::fromLatin1(date[i]));
            QCOMPARE(t.fieldText(QStringLiteral("TIME")), QStringLiteral("00:00:00"));
            QCOMPARE(t.fieldText(QStringLiteral("A")), QStringLiteral("37"));
            QCOMPARE(t.fieldText(QStringLiteral("COMMENT")), QString());
            QCOMPARE(t.fieldText(QStringLiteral("MODE")), QString());
        }
        QVERIFY(t.eof());
    }

    void fieldWidthsCutTexts()
    {
        QByteArray img = emptyImage();
        Raw r;
        r.f = -32768;
        r.t1 = -32768;
        r.p = 255;
        putRecord(img, 2, r);
        ArchiveHeader h;
        h.seriesCount = 1;
        h.recordCounts[0] = 1;
        h.serialNumber = 255;
        kve::MeasurementTable t;
        newTable(t, QStringLiteral("cut.db"));
        kve::flash2qvd01(t, h, img, 0);
        t.refresh();
        t.first();
        QCOMPARE(t.fieldText(QStringLiteral("F")), QStringLiteral("-327,6"));
        QCOMPARE(t.fieldText(QStringLiteral("T_1")), QStringLiteral("-3276,"));
        QCOMPARE(t.fieldText(QStringLiteral("P")), QStringLiteral("2,55"));
        QCOMPARE(t.fieldText(QStringLiteral("A")), QStringLiteral("255"));
    }

    void appendTwiceKeepsEveryRecordTwice()
    {
        QByteArray img = emptyImage();
        for (int i = 0; i < 3; ++i) {
            Raw r;
            r.f = qint16(i);
            putRecord(img, 2 + 24 * i, r);
        }
        ArchiveHeader h;
        h.seriesCount = 2;
        h.recordCounts = {2, 1};
        kve::MeasurementTable t;
        newTable(t, QStringLiteral("twice.db"));
        kve::flash2qvd01(t, h, img, 0);
        // A filter on another series must not change where rows go or how they count.
        t.setFilter(QStringLiteral("EN_CH=2"));
        t.setFiltered(true);
        kve::flash2qvd01(t, h, img, 1);
        t.setFiltered(false);
        t.refresh();
        QCOMPARE(t.recordCount(), 6);
        const int n[] = {1, 2, 1, 1, 2, 1};
        const int ch[] = {1, 1, 2, 1, 1, 2};
        t.first();
        for (int i = 0; i < 6; ++i, t.next()) {
            QCOMPARE(t.fieldInt(QStringLiteral("N")).value_or(-1), n[i]);
            QCOMPARE(t.fieldInt(QStringLiteral("EN_CH")).value_or(-1), ch[i]);
        }
    }

    void appendAfterRowWithImpossibleDate()
    {
        // A last row dated 31.02.2009 (as the decoder writes it) never stops an append.
        QByteArray img = emptyImage();
        Raw r;
        r.day = 31;
        r.month = 2;
        putRecord(img, 2, r);
        ArchiveHeader h;
        h.seriesCount = 1;
        h.recordCounts[0] = 1;
        kve::MeasurementTable t;
        newTable(t, QStringLiteral("feb.db"));
        kve::flash2qvd01(t, h, img, 0);
        kve::flash2qvd01(t, h, img, 1);
        t.refresh();
        QCOMPARE(t.recordCount(), 2);
    }

    void closedTableIsLeftAlone()
    {
        // A table file that exists but is closed: no row may reach it.
        kve::MeasurementTable t;
        const QString path = newTable(t, QStringLiteral("closed.db"));
        t.close();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        QCOMPARE(before.size(), 578);
        QByteArray img = emptyImage();
        putRecord(img, 2, Raw{});
        ArchiveHeader h;
        h.seriesCount = 1;
        h.recordCounts[0] = 1;
        kve::flash2qvd01(t, h, img, 0);
        kve::flash2qvd01(t, h, img, 1);
        QVERIFY(!t.isOpen());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    void headerBeyondImageIsBounded()
    {
        // More than 16 series or records past the image end: only what fits is read.
        QByteArray img = emptyImage();
        ArchiveHeader h;
        h.seriesCount = 200;
        h.recordCounts.fill(65535);
        kve::MeasurementTable t;
        newTable(t, QStringLiteral("bounded.db"));
        kve::flash2qvd01(t, h, img, 0);
        t.refresh();
        QCOMPARE(t.recordCount(), (195001 - 2) / 24);
    }
};

QTEST_GUILESS_MAIN(TestImageDecoder)
#include "tst_ImageDecoder.moc"
