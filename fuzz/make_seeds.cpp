// Writes the seed inputs of the table, image and layout fuzz targets into fuzz/corpus.
// Built and run by fuzz/make-seeds.sh; the tables come from the real table object, the
// broken ones are those tables with one thing spoiled.

#include "store/MeasurementTable.h"
#include "view/LayoutText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

QString g_root;

void fail(const char *what)
{
    std::fprintf(stderr, "make_seeds: %s\n", what);
    std::exit(1);
}

void put(const QString &folder, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(g_root + QLatin1Char('/') + folder);
    QFile f(g_root + QLatin1Char('/') + folder + QLatin1Char('/') + name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        fail("cannot write a seed");
}

QByteArray read(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fail("cannot read a table");
    return f.readAll();
}

void setLe16(QByteArray &b, int at, int v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}

int le16(const QByteArray &b, int at)
{
    return quint8(b[at]) | quint8(b[at + 1]) << 8;
}

void tableSeeds(const QString &fixture)
{
    QTemporaryDir dir;
    const QString emptyPath = dir.filePath(QStringLiteral("empty.db"));
    {
        kve::MeasurementTable t;
        t.setFilePath(emptyPath);
        t.create();
        t.close();
    }
    const QString rowsPath = dir.filePath(QStringLiteral("rows.db"));
    {
        kve::MeasurementTable t;
        t.setFilePath(rowsPath);
        t.create();
        const struct {
            int n, ch;
            const char *date, *t1, *comment;
        } rows[] = {{1, 1, "01.03.2026", " 1,5", "первая"}, {2, 1, "02.03.2026", "-2,0", ""}, {1, 3, "28.02.2026", "12,3", "x"}};
        for (const auto &r : rows) {
            t.append();
            t.setFieldInt(QStringLiteral("N"), r.n);
            t.setFieldInt(QStringLiteral("EN_CH"), r.ch);
            t.setFieldText(QStringLiteral("DATE"), QLatin1String(r.date));
            t.setFieldText(QStringLiteral("T_1"), QLatin1String(r.t1));
            t.setFieldText(QStringLiteral("COMMENT"), QString::fromUtf8(r.comment));
            t.setFieldText(QStringLiteral("A"), QStringLiteral("37"));
            t.post();
        }
        t.first();
        t.next();
        t.deleteRecord();
        t.close();
    }
    const QByteArray empty = read(emptyPath);
    const QByteArray rows = read(rowsPath);
    const QByteArray other = read(fixture);
    put(QStringLiteral("table_open"), QStringLiteral("empty.db"), empty);
    put(QStringLiteral("table_open"), QStringLiteral("rows.db"), rows);
    put(QStringLiteral("table_open"), QStringLiteral("other_writer.db"), other);

    // Another writer's wider number field, holding more than 64 bits can.
    QByteArray wide = empty.left(le16(empty, 8));
    wide[4] = 1;
    setLe16(wide, 10, kve::kRecordLength + 16);
    wide[32 + 16] = char(20);
    QByteArray record(kve::kRecordLength + 16, ' ');
    record.replace(1, 20, QByteArray(20, '9'));
    put(QStringLiteral("table_open"), QStringLiteral("wide-number.db"), wide + record + char(0x1A));

    // Broken: each spoils one thing of a good table.
    put(QStringLiteral("table_open"), QStringLiteral("bad-cut-record"), rows.left(rows.size() - 100));
    put(QStringLiteral("table_open"), QStringLiteral("bad-cut-header"), rows.left(300));
    QByteArray b = rows;
    b[0] = char(0x30);
    put(QStringLiteral("table_open"), QStringLiteral("bad-version"), b);
    b = rows;
    setLe16(b, 10, 225);
    put(QStringLiteral("table_open"), QStringLiteral("bad-record-length"), b);
    b = rows;
    b[4] = char(0x7F);
    put(QStringLiteral("table_open"), QStringLiteral("bad-record-count"), b);
    b = rows;
    b[32 + 11] = 'C';   // N as text
    put(QStringLiteral("table_open"), QStringLiteral("bad-field-type"), b);
    b = rows;
    b[32 + 32 + 16] = char(12);   // MODE one wider than the record allows
    put(QStringLiteral("table_open"), QStringLiteral("bad-field-width"), b);
    b = empty;
    b[empty.indexOf(char(0x0D), 32 * 17)] = ' ';
    put(QStringLiteral("table_open"), QStringLiteral("bad-no-terminator"), b);
    b = rows;
    b.replace(32 + 32 * 16, 4, QByteArray("Q\0\0\0", 4));   // no field P
    put(QStringLiteral("table_open"), QStringLiteral("bad-missing-field"), b);
    put(QStringLiteral("table_open"), QStringLiteral("bad-empty"), QByteArray());
}

QByteArray le16(int v)
{
    QByteArray b(2, 0);
    setLe16(b, 0, v);
    return b;
}

// [flags][serial][series count][16 counts][image]
QByteArray imageInput(quint8 flags, quint8 serial, quint8 series, const QList<int> &counts, const QByteArray &image)
{
    QByteArray out;
    out += char(flags);
    out += char(serial);
    out += char(series);
    for (int s = 0; s < 16; ++s)
        out += le16(s < counts.size() ? counts[s] : 0);
    return out + image;
}

QByteArray record(int f, int t1, int t2, int t3, int p1, int p2, int p, int sec, int min, int hour, int day, int month, int year)
{
    QByteArray r(2, char(0xEE));
    for (int v : {f, t1, t2, t3, p1, p2})
        r += le16(v);
    for (int v : {p, sec, min, hour, day, month, year})
        r += char(v);
    return r + QByteArray(3, char(0xEE));
}

void imageSeeds()
{
    const QByteArray head(2, char(0xEE));
    const QByteArray a = record(75, 15, -20, 0, 31, 5, 90, 0, 0, 8, 1, 3, 26);
    const QByteArray b = record(-5, 17, -22, 1, 34, 6, 100, 5, 30, 9, 1, 3, 26);
    const QByteArray c = record(-32768, 32767, -32768, 32767, -32768, 32767, 255, 60, 60, 24, 32, 13, 255);
    put(QStringLiteral("image_decode"), QStringLiteral("two-series"), imageInput(1, 37, 2, {2, 1}, head + a + b + a));
    put(QStringLiteral("image_decode"), QStringLiteral("append-point"), imageInput(6, 200, 1, {3}, head + b + a + b));
    put(QStringLiteral("image_decode"), QStringLiteral("extremes"), imageInput(1, 255, 16, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, head + c + c));
    put(QStringLiteral("image_decode"), QStringLiteral("promise-more"), imageInput(0, 1, 3, {5, 65535, 2}, head + a + b));
    put(QStringLiteral("image_decode"), QStringLiteral("many-series"), imageInput(1, 9, 255, {1, 1, 1, 1}, head + a + b + c + a));
    put(QStringLiteral("image_decode"), QStringLiteral("cut-record"), imageInput(1, 9, 1, {2}, head + a + b.left(10)));
    put(QStringLiteral("image_decode"), QStringLiteral("empty-archive"), imageInput(1, 0, 0, {}, QByteArray()));
}

void layoutSeeds()
{
    kve::ColumnLayout plain;
    plain.FieldName = QStringLiteral("DATE");
    kve::ColumnLayout full;
    full.FieldName = QStringLiteral("COMMENT");
    full.Width = 120;
    full.LayoutLevel = 1;
    full.LayoutIndex = 3;
    full.TitleState = kve::TitleState::tsSortedDown;
    full.SortOrder = 0;
    full.FooterState = QStringLiteral("fsCount");
    full.OptionsVisual = {QStringLiteral("ovWordWrap"), QStringLiteral("ovHighlight")};
    full.Color = QColor(1, 2, 3);
    full.Alignment = kve::ColumnAlignment::talCenter;
    full.Font = {{QStringLiteral("Name"), QStringLiteral("'Arial'")}, {QStringLiteral("Style"), QStringLiteral("[fsBold]")}};
    kve::ColumnLayout named;
    named.FieldName = QStringLiteral("Т'1");
    named.Color = QColor(255, 255, 0);
    named.Alignment = kve::ColumnAlignment::talRightJustify;
    kve::ColumnLayout wide;
    wide.FieldName = QStringLiteral("T") + QString::fromUcs4(U"\U0001F600");
    put(QStringLiteral("layout_text"), QStringLiteral("written"), kve::writeLayoutText({plain, full, named, wide}).toUtf8());
    put(QStringLiteral("layout_text"), QStringLiteral("written-empty"), kve::writeLayoutText({}).toUtf8());
    put(QStringLiteral("layout_text"), QStringLiteral("wide-notation"),
        QByteArray("inherited Grid1: TUniDataStorage\n"
                   "\tdata = <\n"
                   "  item FieldName = 'T_'#49 + \n 'x'#$41 Width = $7F Color = clNone\n"
                   "  Font.Height = -11 Font.Size = 8.5 Font.Charset = DEFAULT_CHARSET\n"
                   "  OptionsVisual = [] SortOrder = -1 end\n"
                   "  item end>\nEND\n"));
    put(QStringLiteral("layout_text"), QStringLiteral("bad-open-string"), QByteArray("object TUniDataStorage\r\n  Data = <\r\n    item\r\n      FieldName = 'DATE\r\n    end>\r\nend\r\n"));
    put(QStringLiteral("layout_text"), QStringLiteral("bad-class"), QByteArray("object TForm1\r\nend\r\n"));
    put(QStringLiteral("layout_text"), QStringLiteral("bad-property"), QByteArray("object TUniDataStorage\r\n  Data = <\r\n    item\r\n      Height = 5\r\n    end>\r\nend\r\n"));
    put(QStringLiteral("layout_text"), QStringLiteral("bad-cut"), QByteArray("object TUniDataStorage\r\n  Data = <\r\n    item\r\n      Width = "));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_seeds CORPUS_FOLDER OTHER_WRITER_DB\n");
        return 2;
    }
    g_root = QString::fromLocal8Bit(argv[1]);
    tableSeeds(QString::fromLocal8Bit(argv[2]));
    imageSeeds();
    layoutSeeds();
    return 0;
}
