#include "HeaveChart.h"

#include "AnalysisError.h"
#include "MeasurementChoices.h"
#include "SeriesView.h"
#include "store/MeasurementTable.h"
#include "store/SeriesNames.h"
#include "store/NumberText.h"

#include <algorithm>
#include <cmath>

namespace kve {

QString heaveChartTitle(const QString &mode, const QString &p2, const QString &enCh)
{
    return QStringLiteral("ЦЫН-ЗР7.01/") + mode + QStringLiteral(" \"ZIZEZ\" ")
        + QStringLiteral(" Серийный №") + p2 + QStringLiteral("  Модуль №") + enCh;
}

std::optional<QDateTime> readWallClock(const QString &date, const QString &time)
{
    // The files hold dd.mm.yyyy and hh:mm:ss; one-digit parts and a missing second are
    // read as well, as the system's short date and time would be.
    const QDate day = QDate::fromString(date.trimmed(), QStringLiteral("d.M.yyyy"));
    if (!day.isValid())
        return std::nullopt;
    static const char *const formats[] = {"H:m:s", "H:m"};
    for (const char *format : formats) {
        const QTime clock = QTime::fromString(time.trimmed(), QLatin1String(format));
        // The instrument's wall clock, not a local time: every stored reading exists, also
        // one in the hour a summer-time change skips.
        if (clock.isValid())
            return QDateTime(day, clock, Qt::UTC);
    }
    return std::nullopt;
}

std::optional<QDateTime> readMeasurementTime(const QString &date, const QString &time)
{
    const std::optional<QDateTime> clock = readWallClock(date, time);
    if (!clock)
        return std::nullopt;
    const QDateTime local(clock->date(), clock->time());
    if (!local.isValid() || local.time() != clock->time())
        return std::nullopt;
    return local;
}

std::optional<double> desiredHeaveStep(double minY, double maxY)
{
    if (maxY - minY >= 1.0)
        return 0.2;
    return std::nullopt;
}

std::pair<double, double> heaveAxisRange(double minY, double maxY)
{
    const double spread = maxY - minY;
    if (spread <= 0)
        return {minY - 1.0, maxY + 1.0};
    const double room = spread * 0.05;
    return {minY - room, maxY + room};
}

double fittedStep(double desired, double min, double max, int maxLabels)
{
    if (desired <= 0 || maxLabels < 2 || !(max > min))
        return desired;
    static const double factors[] = {1, 2, 5};
    for (double decade = 1;; decade *= 10) {
        for (double factor : factors) {
            const double step = desired * factor * decade;
            if (std::floor((max - min) / step) + 1 <= maxLabels)
                return step;
        }
    }
}

QRectF chartPrintArea(const QRectF &page)
{
    const double dx = page.width() * 0.04;
    const double dy = page.height() * 0.04;
    return page.adjusted(dx, dy, -dx, -dy);
}

HeaveChartData readHeaveChart(MeasurementTable &table, int series, const QString &choice)
{
    HeaveChartData data;
    if (!table.isOpen()) {
        data.title = heaveChartTitle({}, {}, {});
        return data;
    }
    const QString chosen = choice.trimmed();
    std::optional<int> number;
    if (!chosen.isEmpty()) {
        number = parseMeasurementChoice(chosen);
        if (!number)
            throw AnalysisError(QStringLiteral("\"%1\" не является номером измерения.").arg(choice));
    }

    SeriesViewRestorer restorer(table, series);
    table.setFilter(number ? measurementFilter(*number, series) : seriesFilter(series));
    table.setFiltered(true);
    table.refresh();
    table.first();
    const int count = table.recordCount();
    data.points.reserve(count);
    for (int i = 0; i < count && !table.eof(); ++i) {
        const QString date = table.fieldText(QStringLiteral("DATE"));
        const QString time = table.fieldText(QStringLiteral("TIME"));
        const std::optional<QDateTime> x = readWallClock(date, time);
        if (!x)
            throw AnalysisError(notADateTimeText(date + QLatin1Char(' ') + time));
        const QString p1 = table.fieldText(QStringLiteral("P_1"));
        double y = 0;
        if (!p1.trimmed().isEmpty()) {
            const std::optional<double> value = parseNumber(p1);
            if (!value || !std::isfinite(*value))
                throw AnalysisError(notANumberText(p1));
            y = *value;
        }
        data.points.push_back({*x, y});
        table.next();
    }
    // The title comes from the last row of the view (the cursor has just left it).
    if (count > 0) {
        table.last();
        data.title = heaveChartTitle(table.fieldText(QStringLiteral("MODE")),
                                     table.fieldText(QStringLiteral("P_2")),
                                     table.fieldText(QStringLiteral("EN_CH")));
    } else {
        data.title = heaveChartTitle({}, {}, {});
    }

    std::stable_sort(data.points.begin(), data.points.end(),
                     [](const HeavePoint &a, const HeavePoint &b) { return a.time < b.time; });
    if (!data.points.empty()) {
        const auto [lo, hi] = std::minmax_element(
            data.points.begin(), data.points.end(),
            [](const HeavePoint &a, const HeavePoint &b) { return a.hf < b.hf; });
        data.minY = lo->hf;
        data.maxY = hi->hf;
    }
    return data;
}

} // namespace kve
