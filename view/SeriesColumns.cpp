#include "SeriesColumns.h"

namespace kve {

namespace {

TgpColumn designColumn(const char *field, const QString &title, int width, ColumnAlignment alignment, bool readOnly,
                       bool visible, int layoutIndex = 0)
{
    TgpColumn c;
    c.FieldName = QString::fromLatin1(field);
    c.Title = title;
    c.Width = width;
    c.Alignment = alignment;
    c.ReadOnly = readOnly;
    c.Visible = visible;
    c.LayoutIndex = layoutIndex;
    return c;
}

} // namespace

std::vector<TgpColumn> seriesGridColumns()
{
    const auto centre = ColumnAlignment::talCenter;
    // "°С" with the Cyrillic Es in t 1 and t ср, "°C" with the Latin C in t 2, t 3, t 4:
    // the instrument's own titles, kept as they are.
    return {
        designColumn("N", QStringLiteral("№ измерения"), 37, centre, true, true),
        designColumn("DATE", QStringLiteral("Дата"), 36, centre, true, true),
        designColumn("TIME", QStringLiteral("Время"), 39, centre, true, true, 1),
        designColumn("MODE", QStringLiteral("Режим"), 82, centre, true, false, 2),
        designColumn("T_1", QStringLiteral("t 1, Температура, °\u0421"), 57, centre, true, true),
        designColumn("T_2", QStringLiteral("t 2, Температура, °C"), 65, centre, true, true),
        designColumn("T_3", QStringLiteral("t 3, Температура, °C"), 65, centre, true, true),
        designColumn("P_1", QStringLiteral("t 4, Температура, °C"), 53, centre, true, true),
        designColumn("P_2", QStringLiteral("t ср, Температура \u00B0\u0421."), 53, centre, true, true),
        designColumn("F", QStringLiteral("H , Глубина погружения м."), 63, centre, true, true),
        designColumn("P", QStringLiteral("к, Коэффициент черноты"), 97, centre, true, true),
        designColumn("COMMENT", QStringLiteral("Примечание"), 100, ColumnAlignment::talLeftJustify, false, true),
    };
}

} // namespace kve
