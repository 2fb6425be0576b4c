#pragma once

#include <QDateTime>
#include <QRectF>
#include <QString>
#include <optional>
#include <vector>

namespace kve {

class MeasurementTable;

// Frost heave Hf of one series against the date-time of its measurements.
struct HeavePoint {
    QDateTime time;   // the wall clock, in UTC
    double hf = 0;
};

struct HeaveChartData {
    std::vector<HeavePoint> points;   // ascending time, whatever the order of the view
    QString title;                    // built from the last row of the view
    double minY = 0;                  // both 0 without points
    double maxY = 0;
};

// Reads the points of the series (every row, or the rows with N = choice) from the
// table and puts the table back to the whole series view, also when a row cannot be read.
// Throws AnalysisError for a date-time or P_1 that cannot be read, and for a choice that
// is not a whole number (then before the view is touched). A closed table gives no points.
HeaveChartData readHeaveChart(MeasurementTable &table, int series, const QString &choice);

// "ЦЫН-ЗР7.01/" MODE " "ZIZEZ" " " Серийный №" P_2 "  Модуль №" EN_CH.
QString heaveChartTitle(const QString &mode, const QString &p2, const QString &enCh);

// DATE and TIME (dd.mm.yyyy, hh:mm:ss) as the instrument's wall clock: a UTC date-time with
// those fields, which exists for every reading (no time-zone conversion, no summer-time gap).
// No value when they cannot be read.
std::optional<QDateTime> readWallClock(const QString &date, const QString &time);

// The same reading as a local date-time; no value also when the local clock skips it.
std::optional<QDateTime> readMeasurementTime(const QString &date, const QString &time);

// The desired label step of the Hf axis: 0.2 mm once the values spread over 1 mm or more;
// no value otherwise (the axis keeps the step it had).
std::optional<double> desiredHeaveStep(double minY, double maxY);

// The axis range chosen for the values: a little room above and below, never empty.
std::pair<double, double> heaveAxisRange(double minY, double maxY);

// The step actually drawn: the desired one, widened (×2, ×5, ×10 …) until at most
// maxLabels labels fit between min and max.
double fittedStep(double desired, double min, double max, int maxLabels);

// The chart on paper: the page less 4 % of its width left and right, 4 % of its height
// top and bottom.
QRectF chartPrintArea(const QRectF &page);

} // namespace kve
