#pragma once

#include "store/Error.h"

#include <QColor>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace kve {

// Sort mark of a column title.
enum class TitleState { tsSortedNone, tsSortedUp, tsSortedDown };

// Cell alignment of a column; talDefault leaves it to the grid (left).
enum class ColumnAlignment { talDefault, talLeftJustify, talRightJustify, talCenter };

// The layout properties of one grid column, as kept between runs. Every member starts at
// the value that the layout text leaves out.
struct ColumnLayout {
    static constexpr int kDefaultWidth = 45;

    QString FieldName;
    int Width = kDefaultWidth;
    int LayoutLevel = 0;
    int LayoutIndex = 0;
    kve::TitleState TitleState = kve::TitleState::tsSortedNone;
    int SortOrder = -1;
    QString FooterState;                     // empty: no footer aggregate
    QStringList OptionsVisual;               // a set of option names; empty set by default
    std::optional<QColor> Color;             // none: the grid's own colour
    ColumnAlignment Alignment = ColumnAlignment::talDefault;
    // Sub-properties of an own font ("Name" -> "'Arial'"), values in the notation's form;
    // empty: no own font.
    QList<QPair<QString, QString>> Font;

    bool operator==(const ColumnLayout &other) const;
};

// A layout text that does not follow the notation, or names a property a column lacks.
class LayoutTextError : public Error {
public:
    using Error::Error;
};

// The stored text of a column list ("object TUniDataStorage ... end"), CR LF lines,
// properties in their fixed order, defaults left out.
QString writeLayoutText(const std::vector<ColumnLayout> &columns);

// Reads every text writeLayoutText produces and the wider notation of the same kind
// (sets in brackets, quoted strings with #nn characters and '+' joins, $hex integers,
// any line breaks and indentation). An empty text gives no records.
// Throws LayoutTextError with the line and the reason.
std::vector<ColumnLayout> parseLayoutText(const QString &text);

// Colour value texts: a name of the colour table, otherwise red + 256 green + 65536 blue.
QString colourText(const QColor &colour);
// The colour of a name or integer text; none for clNone and clDefault; throws on others.
std::optional<QColor> colourFromText(const QString &text);

QString titleStateName(TitleState state);
QString alignmentName(ColumnAlignment alignment);

} // namespace kve
