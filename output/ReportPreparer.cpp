#include "ReportPreparer.h"

#include "ReportValueFormat.h"
#include "store/MeasurementTable.h"

#include <QRegularExpression>
#include <algorithm>
#include <map>

namespace kve::report {

namespace {

const QRegularExpression &fieldReference()
{
    static const QRegularExpression re(QStringLiteral("\\[Dbf1\\.\"([A-Za-z0-9_]+)\"\\]"));
    return re;
}

// Where each band goes on the pages, worked out without the texts.
class Layout {
public:
    explicit Layout(const ReportTemplate &t) : m_t(t)
    {
        m_title = t.band(BandKind::ReportTitle);
        m_header = t.band(BandKind::PageHeader);
        m_data = t.band(BandKind::MasterData);
        m_footer = t.band(BandKind::PageFooter);
        m_footerTop = t.pageHeight() - t.marginBottom - (m_footer ? m_footer->height : 0);
    }

    struct Placed {
        const Band *band;
        int page;
        double top;
    };

    // Walks the rows and calls `place` for every band in page order.
    template <typename NextRow, typename Place>
    int run(NextRow nextRow, Place place)
    {
        int page = 0;
        double y = m_t.marginTop;
        const auto put = [&](const Band *b) {
            if (!b)
                return;
            place(Placed{b, page, y});
            y += b->height;
        };
        const auto closePage = [&] {
            if (m_footer)
                place(Placed{m_footer, page, m_footerTop});
        };
        put(m_title);
        put(m_header);
        bool rowsOnPage = false;
        while (m_data && nextRow()) {
            // A row that does not fit starts a new page, unless the page has no row yet.
            if (rowsOnPage && y + m_data->height > m_footerTop) {
                closePage();
                ++page;
                y = m_t.marginTop;
                put(m_header);
                rowsOnPage = false;
            }
            put(m_data);
            rowsOnPage = true;
        }
        closePage();
        return page + 1;
    }

private:
    const ReportTemplate &m_t;
    const Band *m_title = nullptr, *m_header = nullptr, *m_data = nullptr, *m_footer = nullptr;
    double m_footerTop = 0;
};

// A row source over the table's view: the first call goes to the first row.
struct RowWalk {
    kve::MeasurementTable &table;
    bool started = false;
    bool operator()()
    {
        if (!started) {
            started = true;
            table.first();
        } else {
            table.next();
        }
        return !table.eof();
    }
};

struct Part {
    QString literal;
    QString field;   // empty: a literal piece
};

std::vector<Part> splitFields(const QString &text)
{
    std::vector<Part> out;
    qsizetype last = 0;
    auto it = fieldReference().globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        if (m.capturedStart() > last)
            out.push_back({text.mid(last, m.capturedStart() - last), {}});
        out.push_back({{}, m.captured(1)});
        last = m.capturedEnd();
    }
    if (last < text.size() || out.empty())
        out.push_back({text.mid(last), {}});
    return out;
}

} // namespace

PreparedReport prepareReport(const ReportTemplate &t, kve::MeasurementTable &table)
{
    // Each data cell's text split once into literal pieces and field references.
    std::map<const TemplateCell *, std::vector<Part>> parts;
    const auto partsOf = [&parts](const TemplateCell &c) -> const std::vector<Part> & {
        auto it = parts.find(&c);
        if (it == parts.end())
            it = parts.emplace(&c, splitFields(c.text)).first;
        return it->second;
    };

    PreparedReport r;
    r.pageWidth = t.pageWidth();
    r.pageHeight = t.pageHeight();
    r.marginLeft = t.marginLeft;
    r.marginRight = t.marginRight;
    r.marginTop = t.marginTop;
    r.marginBottom = t.marginBottom;
    r.landscape = t.landscape;
    r.paperCode = t.paperCode;

    // Pass 1: the page count.
    const int totalPages = Layout(t).run(RowWalk{table}, [](const Layout::Placed &) {});

    // Pass 2: the pages.
    r.pages.resize(std::size_t(totalPages));
    const QString total = QString::number(totalPages);
    Layout(t).run(RowWalk{table}, [&](const Layout::Placed &p) {
        PreparedPage &page = r.pages[std::size_t(p.page)];
        const QString pageNo = QString::number(p.page + 1);
        for (const TemplateCell &c : p.band->cells) {
            PreparedCell out;
            out.name = c.name;
            out.rect = QRectF(c.x, p.top + (c.y - p.band->top), c.width, c.height);
            out.font = c.font;
            out.frame = c.frame;
            out.hAlign = c.hAlign;
            out.vAlign = c.vAlign;
            out.fill = c.fill;
            out.vertical = c.vertical;
            QString text = c.text;
            if (p.band->kind == BandKind::MasterData) {
                const auto &parts = partsOf(c);
                if (parts.size() != 1 || !parts[0].field.isEmpty()) {
                    text.clear();
                    for (const Part &part : parts)
                        text += part.field.isEmpty() ? part.literal
                                                     : formatReportValue(table.fieldText(part.field), c.format);
                }
            }
            // Page numbers belong to the footer's own text: data and titles print as typed.
            if (p.band->kind == BandKind::PageFooter) {
                text.replace(QLatin1String("[PAGE#]"), pageNo);
                text.replace(QLatin1String("[TOTALPAGES]"), total);
            }
            out.text = text;
            page.cells.push_back(std::move(out));
        }
    });

    // Leave the cursor on the last row of the view (not past it).
    if (table.recordCount() > 0)
        table.last();
    return r;
}

} // namespace kve::report
