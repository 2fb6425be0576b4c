#pragma once

#include "SampleArchive.h"

#include <QByteArray>

// How the emulated instrument presents itself, and which faults it has.
struct InstrumentSettings {
    quint8 typeCode = 6;
    quint8 checkCode = 16;
    quint8 version[3] = {7, 0, 2};     // first, second, third byte: shown as 02.00.07
    int serialNumber = 37;             // 16-bit on the wire
    int seriesCount = -1;              // -1: the highest series that has records
    int promiseMore = 0;               // records promised on top of those sent
    int garbage = 0;                   // characters before "S"
    bool noStart = false;              // leave out "S"
    bool oddData = false;              // drop the last data character
    bool badChar = false;              // one data character outside "0".."?"
    bool zMidArchive = false;          // the first archive reply breaks off with "Z"
    qint64 stopAfter = -1;             // archive replies end after this many characters
    int identificationLength = -1;     // identification replies end after this many characters
};

// A byte as the instrument sends it: low nibble first, each as "0" + nibble.
void appendPair(QByteArray &out, quint8 byte);
QByteArray identificationReply(const InstrumentSettings &s, const EmulatedArchive &archive);
// The archive reply; `first` tells whether this is the first one asked for.
QByteArray archiveReply(const InstrumentSettings &s, const EmulatedArchive &archive, bool first);
