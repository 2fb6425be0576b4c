#pragma once

#include "PreparedReport.h"

#include <QImage>
#include <QSizeF>
#include <QString>
#include <vector>

class QPainter;
class QPagedPaintDevice;
class QPrinter;

namespace kve::report {

// Paints one prepared page with its top-left corner at the painter's origin, at the
// given device resolution (dots per inch).
void paintPage(QPainter &painter, const PreparedReport &report, int page, double dpi);

// The factor that makes a report page fit a sheet of `paper` dots at `dpi`: 1 when it
// fits as it is, smaller when the operator chose a smaller or a turned sheet.
double fitScale(const PreparedReport &report, const QSizeF &paper, double dpi);

// Paints the listed pages (0-based; empty: all) on a paged device, one per sheet,
// positions measured from the paper's corner, each page whole on its sheet (scaled down
// when the sheet is smaller). False when painting could not start.
bool paintReport(QPagedPaintDevice &device, const PreparedReport &report, const std::vector<int> &pages = {});

// Sets the printer's paper, orientation and zero margins from the report.
void setUpPrinter(QPrinter &printer, const PreparedReport &report);

bool writePdf(const PreparedReport &report, const QString &path);
QImage renderPageImage(const PreparedReport &report, int page, double dpi);

} // namespace kve::report
