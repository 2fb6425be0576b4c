#pragma once

#include "PreparedReport.h"
#include "XlsWorkbook.h"

#include <QString>
#include <functional>

class QWidget;
class SeriesReport;
namespace kve {
class MeasurementTable;
}

namespace kve::report {

// Called with the cells done and the cells in all while the sheet is built.
using ExportProgress = std::function<void(int done, int total)>;

// The prepared pages as one worksheet: a grid from every distinct cell edge, the pages one
// below another, merged blocks, borders, alignment, fonts, page setup, a break per page.
xls::Workbook buildWorkbook(const PreparedReport &report, const ExportProgress &progress = {});

// Builds and writes the workbook; the file is replaced only by a whole workbook.
// Throws xls::XlsError.
void writeWorkbook(const PreparedReport &report, const QString &path, const ExportProgress &progress = {});

// The cell text: carriage returns and code 1 removed, trailing line feeds dropped.
QString cleanedCellText(const QString &text);
// A text with a dot that reads as a number once its first dot becomes a comma keeps the
// text format, so that the spreadsheet does not take it for a number.
bool needsTextFormat(const QString &text);
// The chosen name ending in ".xls": added unless the name ends in it already.
QString withDefaultExtension(const QString &fileName);

} // namespace kve::report

// "Экспорт в Excel" for a series: title cells, preparation, the save dialog, the workbook,
// then the desktop's application for it.
void exportSeries(QWidget *parent, SeriesReport &report, kve::MeasurementTable &table, const QString &mainCaption,
                  int series);
