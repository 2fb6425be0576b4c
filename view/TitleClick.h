#pragma once

#include "LayoutText.h"

#include <optional>

namespace kve {

// The sort mark a title click leaves on the clicked column: a plain (or Shift) click
// goes none -> up -> down -> up ..., a Ctrl-click clears a mark. No value: the click
// changes nothing and is not reported (Ctrl-click on a column without a mark).
std::optional<TitleState> titleStateAfterClick(TitleState current, bool ctrlHeld);

} // namespace kve
