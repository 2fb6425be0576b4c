// libFuzzer target: arbitrary text (UTF-8) into the column layout reader.
//
// A text either fails with a LayoutTextError or gives records; records written back must
// read again to the same records, and writing those gives the same text.

#include "view/LayoutText.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "layout fuzz: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    std::vector<kve::ColumnLayout> records;
    try {
        records = kve::parseLayoutText(text);
    } catch (const kve::LayoutTextError &e) {
        check(!e.text().isEmpty(), "error without a text");
        return 0;
    }
    const QString written = kve::writeLayoutText(records);
    std::vector<kve::ColumnLayout> again;
    try {
        again = kve::parseLayoutText(written);
    } catch (const kve::LayoutTextError &e) {
        std::fprintf(stderr, "%s\n--- written:\n%s\n", e.what(), qPrintable(written));
        check(false, "written text does not read back");
    }
    check(again.size() == records.size(), "record count changed on the round trip");
    for (size_t i = 0; i < records.size(); ++i) {
        if (!(again[i] == records[i])) {
            std::fprintf(stderr, "record %zu differs\n--- written:\n%s\n", i, qPrintable(written));
            check(false, "record changed on the round trip");
        }
    }
    check(kve::writeLayoutText(again) == written, "writing is not stable");
    return 0;
}
