#pragma once

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointF>
#include <QSize>
#include <Qt>

namespace kb {

// The controls report mouse and key events with the classic codes their forms expect:
// buttons left 1, right 2, middle 4; shift 1, ctrl 2, alt 4; virtual key codes.
int vbButton(Qt::MouseButton button);
int vbButtons(Qt::MouseButtons buttons);
int vbShift(Qt::KeyboardModifiers modifiers);
int vbKeyCode(const QKeyEvent& event);
// The character of a key press, or 0 when the key types none.
int vbKeyAscii(const QKeyEvent& event);

// The hit test every skinned control uses for the pointer: the right and bottom edges count
// as inside, as the classic controls measured.
inline bool insideInclusive(QPointF p, QSize size) {
    return p.x() >= 0 && p.y() >= 0 && p.x() <= size.width() && p.y() <= size.height();
}

// A mouse event in the classic terms: button code, shift state and position.
struct VbMouse {
    int button;
    int shift;
    float x;
    float y;
};
// For a press or a release (the button that changed) and for a move (every button held).
inline VbMouse vbPressOrRelease(const QMouseEvent& e) {
    return {vbButton(e.button()), vbShift(e.modifiers()), float(e.position().x()),
            float(e.position().y())};
}
inline VbMouse vbMove(const QMouseEvent& e) {
    return {vbButtons(e.buttons()), vbShift(e.modifiers()), float(e.position().x()),
            float(e.position().y())};
}

// A key press goes on as KeyDown with its code and shift state, then KeyPress with its
// character where it types one; a release as KeyUp, auto-repeats left out. Every skinned
// control forwards its keys this way.
template <typename Control> void forwardKeyPress(Control& control, const QKeyEvent& e) {
    Q_EMIT control.KeyDown(vbKeyCode(e), vbShift(e.modifiers()));
    if (const int ascii = vbKeyAscii(e); ascii != 0)
        Q_EMIT control.KeyPress(ascii);
}
template <typename Control> void forwardKeyRelease(Control& control, const QKeyEvent& e) {
    if (e.isAutoRepeat())
        return;
    Q_EMIT control.KeyUp(vbKeyCode(e), vbShift(e.modifiers()));
}

} // namespace kb
