#include "ColumnFit.h"

#include <algorithm>

namespace kve {

std::vector<int> fitColumnWidths(const std::vector<int> &widths, int available)
{
    std::vector<int> out(widths.size(), 0);
    if (widths.empty() || available <= 0)
        return out;
    long long total = 0;
    for (int w : widths)
        total += std::max(w, 0);
    const bool equal = total == 0;
    if (equal)
        total = (long long)widths.size();
    long long sum = 0;
    int previous = 0;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        sum += equal ? 1 : std::max(widths[i], 0);
        // Each edge is rounded on its own, so the parts always add up to `available`.
        const int edge = int((sum * available + total / 2) / total);
        out[i] = edge - previous;
        previous = edge;
    }
    return out;
}

} // namespace kve
