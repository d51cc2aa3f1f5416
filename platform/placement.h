#pragma once

class QWidget;

namespace kb {

// Moves `window` to the middle of `over`, kept whole on the screen `over` is on, so that a
// window larger than the one it belongs to never puts its caption out of reach.
void placeOver(QWidget* window, const QWidget* over);

} // namespace kb
