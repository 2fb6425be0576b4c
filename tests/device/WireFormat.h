#pragma once

// What the instrument sends, built by the tests themselves.

#include <QByteArray>
#include <QVector>
#include <array>

namespace wire {

inline void pair(QByteArray &out, quint8 b)
{
    out.append(char('0' + (b & 15)));
    out.append(char('0' + (b >> 4)));
}

inline void pair16(QByteArray &out, quint16 v)
{
    pair(out, quint8(v & 0xFF));
    pair(out, quint8(v >> 8));
}

struct Identity {
    quint8 type = 6, check = 16;
    quint8 v1 = 7, v2 = 0, v3 = 2;
    quint16 serial = 37;
    quint8 series = 1;
    std::array<quint16, 16> counts{};
};

inline QByteArray identification(const Identity &id)
{
    QByteArray out("V");
    pair(out, id.type);
    pair(out, id.check);
    pair(out, id.v1);
    pair(out, id.v2);
    pair(out, id.v3);
    pair16(out, id.serial);
    pair(out, id.series);
    for (quint16 c : id.counts)
        pair16(out, c);
    return out;
}

inline QByteArray archive(const QByteArray &image, const QByteArray &before = QByteArray())
{
    QByteArray out = before;
    out.append('S');
    for (char b : image)
        pair(out, quint8(b));
    out.append('P');
    return out;
}

// An image of `records` records of 24 bytes after two leading bytes; record r carries r in
// its bytes so that misplaced records show.
inline QByteArray image(int records)
{
    QByteArray img(2 + 24 * records, '\0');
    img[0] = char(0xAB);
    img[1] = char(0xCD);
    for (int r = 0; r < records; ++r)
        for (int k = 0; k < 24; ++k)
            img[2 + 24 * r + k] = char((r * 31 + k * 7 + 1) & 0xFF);
    return img;
}

} // namespace wire
