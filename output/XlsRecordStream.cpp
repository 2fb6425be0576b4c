#include "XlsRecordStream.h"

#include <QStringList>
#include <algorithm>
#include <cstring>
#include <vector>

namespace kve::xls {

namespace {
// A string in the shared string table: 16-bit count and flags, then 16-bit characters.
constexpr int kFlagsSize = 1;
constexpr unsigned kUtf16Flag = 0x01;   // fHighByte: every character in two bytes
constexpr int kStringHeaderSize = 2 + kFlagsSize;
constexpr int kCharacterSize = 2;
// EXTSST: at most this many buckets, of at least this many strings each.
constexpr int kMaxBuckets = 128;
constexpr int kMinStringsPerBucket = 8;
} // namespace

RecordBody &RecordBody::u8(unsigned v)
{
    m_data.append(char(v & 0xFF));
    return *this;
}

RecordBody &RecordBody::u16(unsigned v)
{
    m_data.append(char(v & 0xFF));
    m_data.append(char((v >> 8) & 0xFF));
    return *this;
}

RecordBody &RecordBody::u32(std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        m_data.append(char((v >> (8 * i)) & 0xFF));
    return *this;
}

RecordBody &RecordBody::f64(double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i)
        m_data.append(char((bits >> (8 * i)) & 0xFF));
    return *this;
}

RecordBody &RecordBody::bytes(const QByteArray &b)
{
    m_data.append(b);
    return *this;
}

static void appendUtf16(QByteArray &out, const QString &text)
{
    for (QChar c : text) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
}

RecordBody &RecordBody::shortUnicode(const QString &text)
{
    const QString t = text.left(kMaxShortStringLength);
    u8(unsigned(t.size()));
    u8(kUtf16Flag);
    appendUtf16(m_data, t);
    return *this;
}

RecordBody &RecordBody::unicode(const QString &text)
{
    const QString t = text.left(kMaxStringLength);
    u16(unsigned(t.size()));
    u8(kUtf16Flag);
    appendUtf16(m_data, t);
    return *this;
}

void RecordStream::header(RecordId type, int length)
{
    RecordBody h;
    h.u16(unsigned(type)).u16(unsigned(length));
    m_data.append(h.data());
}

void RecordStream::record(RecordId type, const RecordBody &body)
{
    record(type, body.data());
}

void RecordStream::record(RecordId type, const QByteArray &body)
{
    int at = 0;
    RecordId t = type;
    do {
        const int n = std::min<int>(kMaxRecordData, int(body.size()) - at);
        header(t, n);
        m_data.append(body.constData() + at, n);
        at += n;
        t = RecordId::Continue;
    } while (at < body.size());
}

void RecordStream::patchU32(qint64 at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        m_data[at + i] = char((v >> (8 * i)) & 0xFF);
}

void RecordStream::sharedStrings(const QStringList &strings, std::uint32_t totalUses)
{
    // Bodies of SST and CONTINUE records, built piece by piece.
    std::vector<QByteArray> bodies(1);
    {
        RecordBody first;
        first.u32(totalUses).u32(std::uint32_t(strings.size()));
        bodies[0] = first.data();
    }
    struct Start {
        int body;
        int offset;
    };
    std::vector<Start> starts;
    starts.reserve(strings.size());

    for (const QString &s : strings) {
        const QString text = s.left(kMaxStringLength);
        // The string's header and its first character stay together.
        if (bodies.back().size() + kStringHeaderSize + (text.isEmpty() ? 0 : kCharacterSize) > kMaxRecordData)
            bodies.emplace_back();
        starts.push_back({int(bodies.size()) - 1, int(bodies.back().size())});
        RecordBody h;
        h.u16(unsigned(text.size())).u8(kUtf16Flag);
        bodies.back().append(h.data());
        int i = 0;
        while (i < text.size()) {
            int room = (kMaxRecordData - int(bodies.back().size())) / kCharacterSize;
            if (room <= 0) {
                // The characters go on in a new CONTINUE that starts with the flags byte.
                bodies.emplace_back();
                bodies.back().append(char(kUtf16Flag));
                room = (kMaxRecordData - kFlagsSize) / kCharacterSize;
            }
            const int n = std::min<int>(room, int(text.size()) - i);
            for (int k = 0; k < n; ++k) {
                const ushort c = text.at(i + k).unicode();
                bodies.back().append(char(c & 0xFF));
                bodies.back().append(char(c >> 8));
            }
            i += n;
        }
    }

    std::vector<qint64> bodyPositions;
    for (std::size_t b = 0; b < bodies.size(); ++b) {
        bodyPositions.push_back(position());
        header(b == 0 ? RecordId::Sst : RecordId::Continue, int(bodies[b].size()));
        m_data.append(bodies[b]);
    }

    // EXTSST: one entry per bucket of strings.
    const int perBucket = std::max<int>(kMinStringsPerBucket, int(strings.size()) / kMaxBuckets + 1);
    RecordBody ext;
    ext.u16(unsigned(perBucket));
    for (int i = 0; i < int(starts.size()); i += perBucket) {
        const Start &s = starts[std::size_t(i)];
        const int inRecord = kRecordHeaderSize + s.offset;
        ext.u32(std::uint32_t(bodyPositions[std::size_t(s.body)] + inRecord)).u16(unsigned(inRecord)).u16(0);
    }
    record(RecordId::ExtSst, ext);
}

} // namespace kve::xls
