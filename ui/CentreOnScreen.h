#pragma once

class QWidget;

namespace kve {

// Centres a window, its frame included, on the available area of its screen. Before the
// window manager has told the frame (the first showing), the frame of the window's parent
// window stands in for it, so that every showing lands in the same place.
void centreOnScreen(QWidget *window);

} // namespace kve
