#pragma once

#include "ArchiveHeader.h"

#include <QByteArray>
#include <QString>

namespace kve {
class MeasurementTable;

// Every record of the memory image is 24 bytes, from offset 2 on.
inline constexpr int kRecordSize = 24;
inline constexpr int kFirstRecordOffset = 2;

// The texts one record of the image gives its row.
struct RecordTexts {
    QString F, T_1, T_2, T_3, P_1, P_2, P, TIME, DATE;
};

// hh:mm:ss; an hour above 23, a minute or second above 59 gives "00" in its place.
QString timeText(quint8 hours, quint8 minutes, quint8 seconds);
// dd.mm.yyyy; day 0 or above 31 and month 0 or above 12 give "01"; year is 2000 + byte.
QString dateText(quint8 day, quint8 month, quint8 year);
// Decodes the 24 bytes at `record`.
RecordTexts decodeRecord(const char *record);

// The header promises at least one record: a series within seriesCount has a count above 0.
bool archiveHoldsRecords(const ArchiveHeader &header);

// Appends and posts one row per record of the image, series by series (EN_CH 1..16, N from
// 1 in each). Does nothing when the table is not open. Mode 0 is a new table, 1 an append;
// both add every record. Records that would lie past the image's end are not read.
void flash2qvd01(MeasurementTable &table, const ArchiveHeader &header, const QByteArray &image, quint8 mode);

} // namespace kve
