#include "platform/placement.h"

#include <QRect>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace kb {

void placeOver(QWidget* window, const QWidget* over) {
    if (!window || !over)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(over->frameGeometry().center());
    if (const QScreen* screen = over->screen()) {
        const QRect room = screen->availableGeometry();
        // The caption first: a window taller or wider than the screen keeps its top left.
        const int lastLeft = room.left() + room.width() - frame.width();
        const int lastTop = room.top() + room.height() - frame.height();
        frame.moveLeft(std::max(room.left(), std::min(frame.left(), lastLeft)));
        frame.moveTop(std::max(room.top(), std::min(frame.top(), lastTop)));
    }
    window->move(frame.topLeft());
}

} // namespace kb
