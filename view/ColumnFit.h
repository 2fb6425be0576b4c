#pragma once

#include <vector>

namespace kve {

// Column fitting: scales the widths so that together they fill `available` pixels,
// keeping their proportions. The rounding is spread so that the sum is exact. Widths of
// zero all round to zero unless every width is zero, which gives equal parts.
std::vector<int> fitColumnWidths(const std::vector<int> &widths, int available);

} // namespace kve
