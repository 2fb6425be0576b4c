#include "SampleArchive.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cmath>

std::array<quint16, 16> EmulatedArchive::counts() const
{
    std::array<quint16, 16> c{};
    for (const auto &r : records)
        if (r.series >= 1 && r.series <= 16)
            ++c[r.series - 1];
    return c;
}

int EmulatedArchive::highestSeries() const
{
    int s = 0;
    for (const auto &r : records)
        s = std::max(s, r.series);
    return s;
}

QByteArray EmulatedArchive::image() const
{
    QByteArray out;
    out.reserve(2 + 24 * records.size());
    out.append(char(0x5A)).append(char(0xA5));
    auto put16 = [&out](int v) {
        out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
    };
    int index = 0;
    for (const auto &r : records) {
        put16(index++);          // the instrument's own record number, not read
        put16(r.f);
        put16(r.t1);
        put16(r.t2);
        put16(r.t3);
        put16(r.p1);
        put16(r.p2);
        out.append(char(r.p));
        out.append(char(r.seconds)).append(char(r.minutes)).append(char(r.hours));
        out.append(char(r.day)).append(char(r.month)).append(char(r.year));
        out.append(char(r.series)).append(char(0xFF)).append(char(0xFF));
    }
    return out;
}

QString EmulatedArchive::toText() const
{
    QString text = QStringLiteral("# series dd.mm.yyyy hh:mm:ss F T_1 T_2 T_3 P_1 P_2 P (raw: F and P in 1/100, T and P_ in 1/10)\n");
    for (const auto &r : records) {
        text += QStringLiteral("%1 %2.%3.%4 %5:%6:%7 %8 %9 %10 %11 %12 %13 %14\n")
                    .arg(r.series)
                    .arg(r.day, 2, 10, QLatin1Char('0')).arg(r.month, 2, 10, QLatin1Char('0')).arg(2000 + r.year)
                    .arg(r.hours, 2, 10, QLatin1Char('0')).arg(r.minutes, 2, 10, QLatin1Char('0'))
                    .arg(r.seconds, 2, 10, QLatin1Char('0'))
                    .arg(r.f).arg(r.t1).arg(r.t2).arg(r.t3).arg(r.p1).arg(r.p2).arg(r.p);
    }
    return text;
}

EmulatedArchive EmulatedArchive::fromText(const QString &text, QString *error)
{
    EmulatedArchive a;
    const QStringList lines = text.split(QLatin1Char('\n'));
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].section(QLatin1Char('#'), 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const QStringList w = line.split(blanks);
        const QStringList d = w.value(1).split(QLatin1Char('.'));
        const QStringList t = w.value(2).split(QLatin1Char(':'));
        bool ok = w.size() == 10 && d.size() == 3 && t.size() == 3;
        auto num = [&ok](const QString &s, int lo, int hi) {
            bool good = false;
            const int v = s.toInt(&good);
            ok = ok && good && v >= lo && v <= hi;
            return v;
        };
        EmulatedRecord r;
        if (ok) {
            r.series = num(w[0], 1, 16);
            r.day = quint8(num(d[0], 0, 255));
            r.month = quint8(num(d[1], 0, 255));
            r.year = quint8(num(d[2], 2000, 2255) - 2000);
            r.hours = quint8(num(t[0], 0, 255));
            r.minutes = quint8(num(t[1], 0, 255));
            r.seconds = quint8(num(t[2], 0, 255));
            r.f = qint16(num(w[3], -32768, 32767));
            r.t1 = qint16(num(w[4], -32768, 32767));
            r.t2 = qint16(num(w[5], -32768, 32767));
            r.t3 = qint16(num(w[6], -32768, 32767));
            r.p1 = qint16(num(w[7], -32768, 32767));
            r.p2 = qint16(num(w[8], -32768, 32767));
            r.p = quint8(num(w[9], 0, 255));
        }
        if (!ok) {
            if (error)
                *error = QStringLiteral("line %1: expected \"series dd.mm.yyyy hh:mm:ss F T_1 T_2 T_3 P_1 P_2 P\"").arg(i + 1);
            return {};
        }
        a.records.append(r);
    }
    std::stable_sort(a.records.begin(), a.records.end(),
                     [](const EmulatedRecord &x, const EmulatedRecord &y) { return x.series < y.series; });
    if (error)
        error->clear();
    return a;
}

namespace {

// A winter's night over a frost-heave test pit: air cools, the soil follows slower,
// the heave grows slowly and the probe depth stays put.
EmulatedRecord reading(int series, const QDateTime &when, int step, double phase)
{
    const double hours = step * 1.0;
    const double air = -8.0 + 6.0 * std::sin((hours / 24.0) * 2 * M_PI + phase) - 0.05 * hours;
    EmulatedRecord r;
    r.series = series;
    const QDate d = when.date();
    const QTime t = when.time();
    r.day = quint8(d.day());
    r.month = quint8(d.month());
    r.year = quint8(d.year() - 2000);
    r.hours = quint8(t.hour());
    r.minutes = quint8(t.minute());
    r.seconds = quint8(t.second());
    r.t1 = qint16(std::lround(air * 10));
    r.t2 = qint16(std::lround((air * 0.6 - 1.0) * 10));
    r.t3 = qint16(std::lround((air * 0.3 - 0.4) * 10));
    r.p1 = qint16(std::lround((air * 0.15 + 0.2) * 10));
    r.p2 = qint16(std::lround(((r.t1 + r.t2 + r.t3) / 3.0)));
    r.f = qint16(std::lround((0.3 + 0.012 * hours + 0.05 * std::sin(hours / 5.0)) * 100));
    r.p = quint8(92 + (step % 5));
    return r;
}

} // namespace

EmulatedArchive EmulatedArchive::sample()
{
    EmulatedArchive a;
    struct Plan { int series; int count; int minutes; QDateTime start; };
    const Plan plans[] = {
        {1, 72, 60, QDateTime(QDate(2009, 1, 12), QTime(8, 0, 0))},
        {2, 48, 30, QDateTime(QDate(2009, 1, 16), QTime(9, 30, 0))},
        {4, 60, 120, QDateTime(QDate(2009, 2, 2), QTime(0, 0, 0))},
    };
    for (const Plan &p : plans)
        for (int i = 0; i < p.count; ++i)
            a.records.append(reading(p.series, p.start.addSecs(qint64(i) * p.minutes * 60),
                                     i * p.minutes / 60, p.series * 0.7));
    return a;
}

EmulatedArchive EmulatedArchive::generated(const QVector<int> &counts)
{
    EmulatedArchive a;
    const QDateTime start(QDate(2010, 12, 1), QTime(0, 0, 0));
    for (int s = 0; s < counts.size() && s < 16; ++s)
        for (int i = 0; i < counts[s]; ++i)
            a.records.append(reading(s + 1, start.addSecs(qint64(i) * 600 + s * 86400), i / 6, s * 0.3));
    return a;
}
