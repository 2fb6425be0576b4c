#include "TitleClick.h"

namespace kve {

std::optional<TitleState> titleStateAfterClick(TitleState current, bool ctrlHeld)
{
    if (ctrlHeld) {
        if (current == TitleState::tsSortedNone)
            return std::nullopt;
        return TitleState::tsSortedNone;
    }
    return current == TitleState::tsSortedUp ? TitleState::tsSortedDown : TitleState::tsSortedUp;
}

} // namespace kve
