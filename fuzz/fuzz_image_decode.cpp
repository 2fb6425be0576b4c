// libFuzzer target: an arbitrary archive header and memory image decoded into a real table.
//
// Input: [flags][serial][series count][16 record counts, 2 bytes each, low first][image...].
// Bit 0 of flags picks the decimal comma or point, bit 1 the mode (new or append), bit 2 a
// table that already holds a row. Every row added must be one record of the image, in
// series order, as decodeRecord reads it; no record past the image's end is read.

#include "device/ImageDecoder.h"
#include "store/MeasurementTable.h"
#include "store/Schema.h"
#include "store/SeriesNames.h"

#include <QLocale>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr size_t kHeaderBytes = 3 + 2 * kve::kSeriesCount;

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "image fuzz: %s\n", what);
        std::abort();
    }
}

QString tablePath()
{
    static QTemporaryDir dir;
    check(dir.isValid(), "no temporary folder");
    return dir.filePath(QStringLiteral("image.db"));
}

// The stored form of a decoded text: cut to the field's width.
QString stored(const QString &text, const char *field)
{
    const kve::FieldDef &f = kve::kFields[size_t(kve::fieldIndex(QLatin1String(field)))];
    return text.left(std::min(f.width, f.cutWidth)).trimmed();
}

void checkRow(kve::MeasurementTable &t, const kve::RecordTexts &r, int series, int n, quint8 serial)
{
    check(t.fieldInt(QStringLiteral("EN_CH")) == series, "wrong series");
    check(t.fieldInt(QStringLiteral("N")) == n, "wrong record number");
    check(t.fieldText(QStringLiteral("A")) == stored(QString::number(serial), "A"), "wrong serial");
    const struct {
        const char *field;
        const QString &text;
    } fields[] = {{"F", r.F},     {"T_1", r.T_1}, {"T_2", r.T_2}, {"T_3", r.T_3},   {"P_1", r.P_1},
                  {"P_2", r.P_2}, {"P", r.P},     {"TIME", r.TIME}, {"DATE", r.DATE}};
    for (const auto &f : fields) {
        if (t.fieldText(QLatin1String(f.field)).trimmed() != stored(f.text, f.field)) {
            std::fprintf(stderr, "%s: '%s' stored as '%s'\n", f.field, qPrintable(f.text),
                         qPrintable(t.fieldText(QLatin1String(f.field))));
            check(false, "a decoded text was stored wrong");
        }
    }
    check(t.fieldText(QStringLiteral("COMMENT")).isEmpty(), "comment not empty");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < kHeaderBytes)
        return 0;
    const quint8 flags = data[0];
    QLocale::setDefault((flags & 1) ? QLocale(QLocale::Russian) : QLocale::c());

    ArchiveHeader header;
    header.serialNumber = data[1];
    header.seriesCount = data[2];
    for (int s = 0; s < kve::kSeriesCount; ++s)
        header.recordCounts[size_t(s)] = quint16(data[3 + 2 * s] | data[4 + 2 * s] << 8);
    const QByteArray image(reinterpret_cast<const char *>(data + kHeaderBytes), qsizetype(size - kHeaderBytes));

    // Every 24-byte piece decodes without reading past it.
    for (qsizetype at = 0; at + kve::kRecordSize <= image.size(); at += kve::kRecordSize) {
        const QByteArray one = image.mid(at, kve::kRecordSize);
        const kve::RecordTexts r = kve::decodeRecord(one.constData());
        check(r.TIME.size() == 8 && r.DATE.size() == 10, "time or date of the wrong length");
    }

    kve::MeasurementTable table;
    table.setFilePath(tablePath());
    table.create();
    int before = 0;
    if (flags & 4) {
        table.append();
        table.setFieldText(QStringLiteral("COMMENT"), QStringLiteral("kept"));
        table.post();
        before = 1;
    }
    kve::flash2qvd01(table, header, image, (flags & 2) ? 1 : 0);

    // The rows the image holds room for, series by series.
    int expected = 0;
    qsizetype offset = kve::kFirstRecordOffset;
    const int series = std::min<int>(header.seriesCount, 16);
    bool full = false;
    for (int s = 0; s < series && !full; ++s) {
        for (int n = 1; n <= header.recordCounts[size_t(s)]; ++n) {
            if (offset + kve::kRecordSize > image.size()) {
                full = true;
                break;
            }
            ++expected;
            offset += kve::kRecordSize;
        }
    }
    check(table.physicalRecordCount() == before + expected, "wrong number of rows added");

    table.first();
    if (before) {
        check(table.fieldText(QStringLiteral("COMMENT")) == QLatin1String("kept"), "earlier row changed");
        table.next();
    }
    offset = kve::kFirstRecordOffset;
    int done = 0;
    for (int s = 0; s < series && done < expected; ++s) {
        for (int n = 1; n <= header.recordCounts[size_t(s)] && done < expected; ++n, ++done) {
            check(!table.eof(), "row missing");
            checkRow(table, kve::decodeRecord(image.constData() + offset), s + 1, n, header.serialNumber);
            offset += kve::kRecordSize;
            table.next();
        }
    }
    check(table.eof(), "extra rows");
    table.close();
    return 0;
}
