#pragma once

#include "store/SeriesNames.h"

#include <QString>
#include <QtGlobal>
#include <array>

// What the instrument's identification reply says about it and its archive.
struct ArchiveHeader {
    quint8 typeCode = 0;
    quint8 checkCode = 0;
    QString softwareVersion;        // third.second.first version byte, "02.00.07"
    quint8 serialNumber = 0;
    quint8 seriesCount = 0;         // series 1..seriesCount may hold records
    std::array<quint16, kve::kSeriesCount> recordCounts{};   // entry s: records of series s + 1
};
