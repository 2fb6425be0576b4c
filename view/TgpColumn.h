#pragma once

#include "LayoutText.h"

#include <QString>

namespace kve {

// One column of a series grid: the layout properties that are kept between runs, and the
// design properties that always come from the grid itself.
struct TgpColumn : ColumnLayout {
    QString Title;
    bool ReadOnly = true;
    bool Visible = true;

    // The layout properties of this column as a detached record.
    ColumnLayout layout() const { return static_cast<const ColumnLayout &>(*this); }

    // Takes every layout property of the record; the column keeps its own field (the
    // record was matched to it without regard to case).
    void applyLayout(const ColumnLayout &record)
    {
        const QString field = FieldName;
        static_cast<ColumnLayout &>(*this) = record;
        FieldName = field;
    }
};

} // namespace kve
