#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <array>

// One stored measurement as the instrument keeps it (raw values).
struct EmulatedRecord {
    int series = 1;                 // 1..16
    quint8 day = 1, month = 1, year = 9;     // year minus 2000
    quint8 hours = 0, minutes = 0, seconds = 0;
    qint16 f = 0;                   // 1/100
    qint16 t1 = 0, t2 = 0, t3 = 0, p1 = 0, p2 = 0;   // 1/10
    quint8 p = 0;                   // 1/100
};

struct EmulatedArchive {
    QVector<EmulatedRecord> records;    // in series order

    std::array<quint16, 16> counts() const;
    int highestSeries() const;
    // The memory image: two leading bytes, then 24 bytes per record.
    QByteArray image() const;
    // The text form read by fromText (one record per line).
    QString toText() const;
    // Reads the text form; records are put in series order. Empty error means success.
    static EmulatedArchive fromText(const QString &text, QString *error);
    // Several days of frost-heave and temperature readings in series 1, 2 and 4.
    static EmulatedArchive sample();
    // Generated readings: counts[s] records in series s + 1.
    static EmulatedArchive generated(const QVector<int> &counts);
};
