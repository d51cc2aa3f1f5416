#pragma once

#include <Qt>

class QKeyEvent;

namespace kb {

// The controls report mouse and key events with the classic codes their forms expect:
// buttons left 1, right 2, middle 4; shift 1, ctrl 2, alt 4; virtual key codes.
int vbButton(Qt::MouseButton button);
int vbButtons(Qt::MouseButtons buttons);
int vbShift(Qt::KeyboardModifiers modifiers);
int vbKeyCode(const QKeyEvent& event);
// The character of a key press, or 0 when the key types none.
int vbKeyAscii(const QKeyEvent& event);

} // namespace kb
