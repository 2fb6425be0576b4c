#pragma once

#include "TgpColumn.h"

#include <vector>

namespace kve {

// The twelve columns of every series grid, in display order, as designed.
std::vector<TgpColumn> seriesGridColumns();

} // namespace kve
