#pragma once

// The measurement table's field descriptors as a dBase III file must carry them, written out
// byte for byte: name zero-padded to 11 bytes, type, address 0, width, decimals 0, the rest 0.
// Tests compare files with these bytes, never with the program's own field table.

#include <QByteArray>
#include <QByteArrayView>

namespace expected {

// Header bytes 32..576: the 17 descriptors and the header end 0x0D.
inline QByteArray fieldDescriptors()
{
    return QByteArray::fromHex(
        // name                   type address  width dec rest                        field   type width, offset
        "4e00000000000000000000 4e 00000000 04 00 0000000000000000000000000000"  // N       N  4 at 1
        "4d4f444500000000000000 43 00000000 0b 00 0000000000000000000000000000"  // MODE    C 11 at 5
        "454e5f4348000000000000 4e 00000000 04 00 0000000000000000000000000000"  // EN_CH   N  4 at 16
        "4441544500000000000000 43 00000000 0a 00 0000000000000000000000000000"  // DATE    C 10 at 20
        "54494d4500000000000000 43 00000000 08 00 0000000000000000000000000000"  // TIME    C  8 at 30
        "545f310000000000000000 43 00000000 06 00 0000000000000000000000000000"  // T_1     C  6 at 38
        "545f320000000000000000 43 00000000 06 00 0000000000000000000000000000"  // T_2     C  6 at 44
        "545f330000000000000000 43 00000000 0a 00 0000000000000000000000000000"  // T_3     C 10 at 50
        "434f4d4d454e5400000000 43 00000000 32 00 0000000000000000000000000000"  // COMMENT C 50 at 60
        "505f310000000000000000 43 00000000 06 00 0000000000000000000000000000"  // P_1     C  6 at 110
        "505f320000000000000000 43 00000000 06 00 0000000000000000000000000000"  // P_2     C  6 at 116
        "4600000000000000000000 43 00000000 06 00 0000000000000000000000000000"  // F       C  6 at 122
        "5345520000000000000000 43 00000000 14 00 0000000000000000000000000000"  // SER     C 20 at 128
        "5354000000000000000000 43 00000000 32 00 0000000000000000000000000000"  // ST      C 50 at 148
        "4400000000000000000000 43 00000000 03 00 0000000000000000000000000000"  // D       C  3 at 198
        "4100000000000000000000 43 00000000 14 00 0000000000000000000000000000"  // A       C 20 at 201
        "5000000000000000000000 43 00000000 05 00 0000000000000000000000000000"  // P       C  5 at 221
        "0d");
}

inline constexpr int kHeaderLength = 577;
inline constexpr int kRecordLength = 226;

// Where a field lies in a record (after the deletion flag), read from the descriptors above.
struct FieldPlace {
    int offset = -1;
    int width = 0;
};

inline FieldPlace fieldPlace(QByteArrayView name)
{
    const QByteArray d = fieldDescriptors();
    int offset = 1;
    for (int pos = 0; pos + 32 <= d.size(); pos += 32) {
        const int width = quint8(d[pos + 16]);
        if (QByteArrayView(d.constData() + pos, qstrnlen(d.constData() + pos, 11)) == name)
            return {offset, width};
        offset += width;
    }
    return {};
}

} // namespace expected
