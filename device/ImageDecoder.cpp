#include "ImageDecoder.h"

#include "store/MeasurementTable.h"
#include "store/NumberText.h"

#include <algorithm>

namespace kve {

namespace {

qint16 signed16(const char *p)
{
    return qint16(quint16(quint8(p[0]) | (quint8(p[1]) << 8)));
}

QString twoDigits(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

} // namespace

QString timeText(quint8 hours, quint8 minutes, quint8 seconds)
{
    return (hours <= 23 ? twoDigits(hours) : QStringLiteral("00")) + QLatin1Char(':')
        + (minutes <= 59 ? twoDigits(minutes) : QStringLiteral("00")) + QLatin1Char(':')
        + (seconds <= 59 ? twoDigits(seconds) : QStringLiteral("00"));
}

QString dateText(quint8 day, quint8 month, quint8 year)
{
    return (day >= 1 && day <= 31 ? twoDigits(day) : QStringLiteral("01")) + QLatin1Char('.')
        + (month >= 1 && month <= 12 ? twoDigits(month) : QStringLiteral("01")) + QLatin1Char('.')
        + QString::number(2000 + year);
}

RecordTexts decodeRecord(const char *r)
{
    RecordTexts t;
    t.F = formatGeneral(signed16(r + 2) / 100.0);
    t.T_1 = formatFixed1(signed16(r + 4) / 10.0);
    t.T_2 = formatFixed1(signed16(r + 6) / 10.0);
    t.T_3 = formatFixed1(signed16(r + 8) / 10.0);
    t.P_1 = formatFixed1(signed16(r + 10) / 10.0);
    t.P_2 = formatFixed1(signed16(r + 12) / 10.0);
    t.P = formatGeneral(quint8(r[14]) / 100.0);
    t.TIME = timeText(quint8(r[17]), quint8(r[16]), quint8(r[15]));
    t.DATE = dateText(quint8(r[18]), quint8(r[19]), quint8(r[20]));
    return t;
}

bool archiveHoldsRecords(const ArchiveHeader &header)
{
    const int series = std::min<int>(header.seriesCount, int(header.recordCounts.size()));
    for (int s = 0; s < series; ++s) {
        if (header.recordCounts[size_t(s)] > 0)
            return true;
    }
    return false;
}

void flash2qvd01(MeasurementTable &table, const ArchiveHeader &header, const QByteArray &image, quint8 mode)
{
    // Append adds every record as New does; nothing is skipped.
    Q_UNUSED(mode);
    if (!table.isOpen())
        return;
    table.refresh();
    table.last();

    const QString serial = QString::number(header.serialNumber);
    const int series = std::min<int>(header.seriesCount, int(header.recordCounts.size()));
    qsizetype offset = kFirstRecordOffset;
    for (int s = 0; s < series; ++s) {
        const int count = header.recordCounts[s];
        for (int n = 1; n <= count; ++n) {
            if (offset + kRecordSize > image.size())
                return;
            const RecordTexts t = decodeRecord(image.constData() + offset);
            table.append();
            table.setFieldInt(QStringLiteral("N"), n);
            table.setFieldInt(QStringLiteral("EN_CH"), s + 1);
            table.setFieldText(QStringLiteral("A"), serial);
            table.setFieldText(QStringLiteral("F"), t.F);
            table.setFieldText(QStringLiteral("T_1"), t.T_1);
            table.setFieldText(QStringLiteral("T_2"), t.T_2);
            table.setFieldText(QStringLiteral("T_3"), t.T_3);
            table.setFieldText(QStringLiteral("P_1"), t.P_1);
            table.setFieldText(QStringLiteral("P_2"), t.P_2);
            table.setFieldText(QStringLiteral("P"), t.P);
            table.setFieldText(QStringLiteral("TIME"), t.TIME);
            table.setFieldText(QStringLiteral("DATE"), t.DATE);
            table.setFieldText(QStringLiteral("COMMENT"), QString());
            table.post();
            offset += kRecordSize;
        }
    }
}

} // namespace kve
