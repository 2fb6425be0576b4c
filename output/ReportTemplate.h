#pragma once

#include <QColor>
#include <QString>
#include <optional>
#include <vector>

namespace kve::report {

// Positions and sizes of a report are in report units: 1/91.6256157635468 inch.
inline constexpr double kUnitsPerInch = 91.6256157635468;
inline constexpr double kMmPerUnit = 25.4 / kUnitsPerInch;

enum class HAlign { Left, Center, Right, Justify };
enum class VAlign { Top, Center, Bottom };

// How a data cell prints its field's stored text.
enum class ValueFormat {
    AsStored,
    Fixed1,           // "0.0"
    Fixed2,           // "0.00"
    UpToTwoDecimals,  // at most two decimals, no trailing zeros
};

struct CellFont {
    QString family = QStringLiteral("Arial");
    double points = 10;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    QColor color = Qt::black;
};

struct Frame {
    bool left = false, top = false, right = false, bottom = false;
    double width = 1;   // report units
    QColor color = Qt::black;
    bool any() const { return left || top || right || bottom; }
    static Frame all() { return Frame{true, true, true, true}; }
};

struct TemplateCell {
    QString name;
    double x = 0, y = 0, width = 0, height = 0;   // page position as designed
    CellFont font;
    Frame frame;
    HAlign hAlign = HAlign::Left;
    VAlign vAlign = VAlign::Top;
    // May hold field references [Dbf1."FIELD"] and the names [PAGE#] and [TOTALPAGES].
    QString text;
    ValueFormat format = ValueFormat::AsStored;
    std::optional<QColor> fill;
    bool vertical = false;
};

enum class BandKind { ReportTitle, PageHeader, MasterData, PageFooter };

struct Band {
    QString name;
    BandKind kind;
    double top = 0, height = 0;   // as designed; cells keep their offset from the top
    std::vector<TemplateCell> cells;
};

struct ReportTemplate {
    double pageWidthMm = 297, pageHeightMm = 210;
    bool landscape = true;
    int paperCode = 9;   // A4
    double marginLeft = 25, marginRight = 25, marginTop = 72, marginBottom = 25;
    std::vector<Band> bands;

    double pageWidth() const { return pageWidthMm / kMmPerUnit; }
    double pageHeight() const { return pageHeightMm / kMmPerUnit; }
    const Band *band(BandKind kind) const;
    TemplateCell *cell(const QString &name);
    const TemplateCell *cell(const QString &name) const;
};

// The template every series report carries: A4 landscape, title, column headers, one
// row per measurement, page numbers in the footer.
ReportTemplate seriesReportTemplate();

} // namespace kve::report
