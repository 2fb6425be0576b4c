#pragma once

#include "ReportTemplate.h"

#include <QRectF>
#include <QString>
#include <optional>
#include <vector>

namespace kve::report {

// A cell as it appears on a prepared page: page position in report units, final text.
struct PreparedCell {
    QString name;
    QRectF rect;
    QString text;
    CellFont font;
    Frame frame;
    HAlign hAlign = HAlign::Left;
    VAlign vAlign = VAlign::Top;
    std::optional<QColor> fill;
    bool vertical = false;
};

struct PreparedPage {
    std::vector<PreparedCell> cells;
};

// The pages that the preview, the printer, image and PDF output and the spreadsheet
// export all consume.
struct PreparedReport {
    double pageWidth = 0, pageHeight = 0;   // report units
    double marginLeft = 0, marginRight = 0, marginTop = 0, marginBottom = 0;
    bool landscape = true;
    int paperCode = 9;
    std::vector<PreparedPage> pages;

    int pageCount() const { return int(pages.size()); }
};

} // namespace kve::report
