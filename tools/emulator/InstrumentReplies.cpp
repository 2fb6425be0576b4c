#include "InstrumentReplies.h"

void appendPair(QByteArray &out, quint8 byte)
{
    out.append(char('0' + (byte & 0x0F)));
    out.append(char('0' + (byte >> 4)));
}

QByteArray identificationReply(const InstrumentSettings &s, const EmulatedArchive &archive)
{
    QByteArray out;
    out.reserve(81);
    out.append('V');
    appendPair(out, s.typeCode);
    appendPair(out, s.checkCode);
    appendPair(out, s.version[0]);
    appendPair(out, s.version[1]);
    appendPair(out, s.version[2]);
    appendPair(out, quint8(s.serialNumber & 0xFF));
    appendPair(out, quint8((s.serialNumber >> 8) & 0xFF));
    appendPair(out, quint8(s.seriesCount >= 0 ? s.seriesCount : archive.highestSeries()));
    auto counts = archive.counts();
    if (s.promiseMore > 0) {
        int target = 0;
        while (target < 15 && counts[target] == 0)
            ++target;
        counts[target] = quint16(qMin(65535, counts[target] + s.promiseMore));
    }
    for (quint16 c : counts) {
        appendPair(out, quint8(c & 0xFF));
        appendPair(out, quint8(c >> 8));
    }
    if (s.identificationLength >= 0 && out.size() > s.identificationLength)
        out.truncate(s.identificationLength);
    return out;
}

QByteArray archiveReply(const InstrumentSettings &s, const EmulatedArchive &archive, bool first)
{
    const QByteArray image = archive.image();
    QByteArray data;
    data.reserve(image.size() * 2);
    for (char b : image)
        appendPair(data, quint8(b));
    if (s.badChar && !data.isEmpty())
        data[data.size() / 2] = 'x';
    if (s.oddData && !data.isEmpty())
        data.chop(1);

    QByteArray out;
    out.reserve(data.size() + s.garbage + 2);
    static const char noise[] = "0123456789:;<=>?ABCDEFGHIJKLMNOQRTUWXY\r\n ";
    for (int i = 0; i < s.garbage; ++i)
        out.append(noise[(i * 7 + 3) % (sizeof(noise) - 1)]);
    if (!s.noStart)
        out.append('S');
    if (s.zMidArchive && first) {
        out.append(data.left(data.size() / 2));
        out.append('Z');
        return out;
    }
    out.append(data);
    out.append('P');
    if (s.stopAfter >= 0 && out.size() > s.stopAfter)
        out.truncate(s.stopAfter);
    return out;
}
