#include "XlsPalette.h"

#include <array>
#include <limits>

namespace kve::xls {

namespace {
// The index of the palette's first colour; the indices below it are fixed colours.
constexpr int kFirstPaletteIndex = 8;
// The default colour palette of BIFF8, indices 8..63.
constexpr std::array<unsigned, 56> kPalette{
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};
}

int paletteIndex(const QColor &color)
{
    const QColor c = color.toRgb();
    int best = kFirstPaletteIndex;
    long bestDistance = std::numeric_limits<long>::max();
    for (int i = 0; i < int(kPalette.size()); ++i) {
        const long dr = long((kPalette[i] >> 16) & 0xFF) - c.red();
        const long dg = long((kPalette[i] >> 8) & 0xFF) - c.green();
        const long db = long(kPalette[i] & 0xFF) - c.blue();
        const long d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = kFirstPaletteIndex + i;
        }
    }
    return best;
}

} // namespace kve::xls
