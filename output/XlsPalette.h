#pragma once

#include <QColor>

namespace kve::xls {

// Index of the colour of the built-in BIFF8 palette (8..63) nearest to the colour.
int paletteIndex(const QColor &color);

} // namespace kve::xls
