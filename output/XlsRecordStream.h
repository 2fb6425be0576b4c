#pragma once

#include "XlsRecordIds.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace kve::xls {

// Characters a ShortXLUnicodeString holds (8-bit count).
inline constexpr int kMaxShortStringLength = 255;
// Characters an XLUnicodeString holds.
inline constexpr int kMaxStringLength = 32767;

// Little-endian bytes of one BIFF record's body.
class RecordBody {
public:
    RecordBody &u8(unsigned v);
    RecordBody &u16(unsigned v);
    RecordBody &u32(std::uint32_t v);
    RecordBody &f64(double v);
    RecordBody &bytes(const QByteArray &b);
    // ShortXLUnicodeString: 8-bit count, flags, UTF-16 characters.
    RecordBody &shortUnicode(const QString &text);
    // XLUnicodeString: 16-bit count, flags, UTF-16 characters.
    RecordBody &unicode(const QString &text);
    const QByteArray &data() const { return m_data; }
    int size() const { return int(m_data.size()); }

private:
    QByteArray m_data;
};

// The stream of BIFF records of a workbook.
class RecordStream {
public:
    static constexpr int kMaxRecordData = 8224;
    // Type and length in front of every record's body.
    static constexpr int kRecordHeaderSize = 4;

    // Writes one record; a body longer than a record holds goes on in CONTINUE records.
    void record(RecordId type, const RecordBody &body = {});
    void record(RecordId type, const QByteArray &body);
    qint64 position() const { return m_data.size(); }
    // Overwrites four bytes already written (stream offsets known only later).
    void patchU32(qint64 at, std::uint32_t v);
    const QByteArray &data() const { return m_data; }

    // The shared string table: SST and its CONTINUE records, split so that no string's
    // header is cut and a string's characters go on after a fresh flags byte; then
    // EXTSST with the stream positions of every bucket's first string.
    void sharedStrings(const QStringList &strings, std::uint32_t totalUses);

private:
    void header(RecordId type, int length);
    QByteArray m_data;
};

} // namespace kve::xls
