#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace kve {

// A column title broken into at most `maxLines` lines of `width` pixels in `font`: words
// wrap, and a line that still does not fit (the last line's rest, or one word longer
// than the column) is cut short with "…", so no line is ever wider than the column.
QStringList titleLines(const QString &title, const QFont &font, int width, int maxLines = 2);

} // namespace kve
