// libFuzzer target: arbitrary bytes as a table file.
//
// The input is written as a ".db" file and opened. A file that opens is walked row by row,
// every field read both through the cursor and by random access, filtered, sorted, given
// one more row and closed; it must then open again with that row at its end. A file that
// does not open must be left byte for byte as it was.

#include "store/MeasurementTable.h"
#include "store/Schema.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <cstdio>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "table fuzz: %s\n", what);
        std::abort();
    }
}

QString tablePath()
{
    static QTemporaryDir dir;
    check(dir.isValid(), "no temporary folder");
    return dir.filePath(QStringLiteral("fuzz.db"));
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    check(f.open(QIODevice::ReadOnly), "cannot read back the file");
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    check(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the file");
    check(f.write(bytes) == bytes.size(), "short write");
}

// Every row of the view, every field, through the cursor and through textAt alike.
void walk(kve::MeasurementTable &t)
{
    const int rows = t.recordCount();
    t.first();
    for (int row = 0; row < rows; ++row) {
        check(!t.eof(), "eof before the last row");
        check(t.recNo() == row, "cursor out of step");
        for (int f = 0; f < kve::kFieldCount; ++f) {
            const QString name = QLatin1String(kve::kFields[size_t(f)].name);
            const QString text = t.fieldText(name);
            check(text == t.textAt(row, f), "fieldText and textAt differ");
            (void)t.fieldInt(name);
        }
        t.next();
    }
    check(t.eof(), "rows past the count");
    check(t.textAt(rows, 0).isEmpty(), "text past the last row");
}

void exercise(kve::MeasurementTable &t, const QString &path)
{
    const int records = t.physicalRecordCount();
    const int live = t.recordCount();
    check(live >= 0 && live <= records, "view larger than the file");
    walk(t);

    t.setFilter(QStringLiteral("EN_CH=1"));
    t.setFiltered(true);
    t.refresh();
    check(t.recordCount() <= live, "filter added rows");
    for (t.first(); !t.eof(); t.next())
        check(t.fieldInt(QStringLiteral("EN_CH")) == 1, "filter let a row through");
    t.setFilter(QStringLiteral("DATE='01.03.2026' AND N=1"));
    t.refresh();
    walk(t);
    t.setFiltered(false);
    t.refresh();
    check(t.recordCount() == live, "filter off lost rows");

    t.addTag(QStringLiteral("by_date"), QStringLiteral("DATE"), false);
    t.addTag(QStringLiteral("by_n"), QStringLiteral("N"), true);
    t.setActiveTag(QStringLiteral("by_date"));
    t.regenerateIndexes();
    check(t.recordCount() == live, "sort changed the row count");
    walk(t);
    t.setActiveTag(QStringLiteral("by_n"));
    t.regenerateIndexes();
    check(t.recordCount() == live, "sort changed the row count");
    walk(t);

    t.append();
    t.setFieldInt(QStringLiteral("N"), 1);
    t.setFieldInt(QStringLiteral("EN_CH"), 2);
    t.setFieldText(QStringLiteral("COMMENT"), QStringLiteral("z"));
    t.setFieldText(QStringLiteral("DATE"), QStringLiteral("01.03.2026"));
    t.post();
    check(t.physicalRecordCount() == records + 1, "post did not add a record");
    check(t.recordCount() == live + 1, "posted row not in the view");
    check(t.fieldText(QStringLiteral("COMMENT")) == QLatin1String("z"), "cursor not on the posted row");
    t.setActiveTag(QString());
    t.close();

    // What was posted is on disk and the file is still a table.
    kve::MeasurementTable again;
    again.setFilePath(path);
    try {
        again.open();
    } catch (const kve::TableError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        check(false, "the file does not open after a post");
    }
    check(again.physicalRecordCount() == records + 1, "posted row lost on reopen");
    again.last();
    check(again.fieldText(QStringLiteral("COMMENT")) == QLatin1String("z"), "posted row read back wrong");
    check(again.fieldInt(QStringLiteral("EN_CH")) == 2, "posted number read back wrong");
    again.close();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = tablePath();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    writeAll(path, bytes);

    kve::MeasurementTable table;
    table.setFilePath(path);
    try {
        table.open();
    } catch (const kve::TableError &) {
        check(!table.isOpen(), "failed open left the table open");
        check(readAll(path) == bytes, "a file that did not open was changed");
        return 0;
    }
    check(table.isOpen(), "open returned without a table");
    exercise(table, path);
    return 0;
}
