// Placing a window by its frame, title bar included, as a user sees it.
#pragma once

#include <QPoint>

class QWidget;

namespace manager {

// Puts the frame of `window` at `offset` from the top left of its screen's free area (what
// panels leave), as soon as the window, just shown, is on the screen. Until then the window
// manager has not said how large the frame is, and a position given for the client area would
// push the title bar off the screen.
void PlaceFrameOnceShown(QWidget* window, QPoint offset);

}  // namespace manager
