#include "ReportTemplate.h"

namespace kve::report {

const Band *ReportTemplate::band(BandKind kind) const
{
    for (const Band &b : bands)
        if (b.kind == kind)
            return &b;
    return nullptr;
}

TemplateCell *ReportTemplate::cell(const QString &name)
{
    for (Band &b : bands)
        for (TemplateCell &c : b.cells)
            if (c.name == name)
                return &c;
    return nullptr;
}

const TemplateCell *ReportTemplate::cell(const QString &name) const
{
    return const_cast<ReportTemplate *>(this)->cell(name);
}

namespace {

TemplateCell makeCell(const QString &name, double x, double y, double width, double height, const CellFont &font,
                      const Frame &frame, HAlign h, VAlign v, const QString &text,
                      ValueFormat format = ValueFormat::AsStored)
{
    TemplateCell c;
    c.name = name;
    c.x = x;
    c.y = y;
    c.width = width;
    c.height = height;
    c.font = font;
    c.frame = frame;
    c.hAlign = h;
    c.vAlign = v;
    c.text = text;
    c.format = format;
    return c;
}

} // namespace

ReportTemplate seriesReportTemplate()
{
    ReportTemplate t;

    Band title{QStringLiteral("ReportTitle1"), BandKind::ReportTitle, 92, 64, {}};
    const CellFont titleFont{QStringLiteral("Arial"), 14, true};
    title.cells.push_back(makeCell(QStringLiteral("Memo19"), 25, 92, 230, 64, titleFont, {}, HAlign::Left, VAlign::Top, {}));
    title.cells.push_back(makeCell(QStringLiteral("Memo12"), 404, 112, 262, 28, titleFont, {}, HAlign::Left, VAlign::Top, {}));

    struct Column {
        double x, width;
        const char16_t *header;
        const char *field;
        ValueFormat format;
    };
    const Column columns[] = {
        {25, 47, u"N", "N", ValueFormat::AsStored},
        {72, 70, u"Дата", "DATE", ValueFormat::AsStored},
        {142, 58, u"Время", "TIME", ValueFormat::AsStored},
        {200, 97, u"Температура,t 1, °С", "T_1", ValueFormat::Fixed1},
        {297, 94, u"Температура,t 2, °С", "T_2", ValueFormat::Fixed1},
        {391, 94, u"Температура,t 3, °С", "T_3", ValueFormat::Fixed1},
        {485, 98, u"Температура,t 4, °С", "P_1", ValueFormat::Fixed1},
        {583, 60, u"tср, °С.", "P_2", ValueFormat::UpToTwoDecimals},
        {643, 85, u"H , Глубина погружения м.", "F", ValueFormat::AsStored},
        {728, 113, u"к, Коэффициент черноты", "P", ValueFormat::Fixed2},
        {841, 204, u"Комментарий", "COMMENT", ValueFormat::AsStored},
    };
    Band header{QStringLiteral("Band1"), BandKind::PageHeader, 191, 60, {}};
    Band data{QStringLiteral("Band3"), BandKind::MasterData, 286, 40, {}};
    int memo = 1;
    for (const Column &c : columns) {
        TemplateCell h = makeCell(QStringLiteral("Memo%1").arg(memo++), c.x, 191, c.width, 60,
                       CellFont{QStringLiteral("Arial"), 10, true}, Frame::all(), HAlign::Center, VAlign::Center,
                       QString::fromUtf16(c.header));
        header.cells.push_back(h);
        TemplateCell d = makeCell(QStringLiteral("Memo%1").arg(100 + memo), c.x, 286, c.width, 40,
                       CellFont{QStringLiteral("Arial"), 9}, Frame::all(), HAlign::Center, VAlign::Center,
                       QStringLiteral("[Dbf1.\"%1\"]").arg(QLatin1String(c.field)), c.format);
        data.cells.push_back(d);
    }
    Band footer{QStringLiteral("PageFooter1"), BandKind::PageFooter, 380, 20, {}};
    footer.cells.push_back(makeCell(QStringLiteral("Memo21"), 844, 380, 202, 20, CellFont{QStringLiteral("Arial"), 10}, {},
                            HAlign::Right, VAlign::Center, QStringLiteral("Стр. [PAGE#] из [TOTALPAGES]")));

    t.bands = {title, header, data, footer};
    return t;
}

} // namespace kve::report
