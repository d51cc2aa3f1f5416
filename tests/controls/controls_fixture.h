#pragma once

#include <QColor>
#include <QEvent>
#include <QObject>
#include <QPoint>
#include <QStringList>
#include <QWidget>

namespace kb::test {

// Delivers one mouse event straight to `w` at `pos` (widget coordinates).
void sendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// Short forms of sendMouse: a press with one button, its release, a move holding `held`.
inline void press(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton,
                  Qt::KeyboardModifiers m = Qt::NoModifier) {
    sendMouse(w, QEvent::MouseButtonPress, p, b, b, m);
}
inline void release(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
    sendMouse(w, QEvent::MouseButtonRelease, p, b, Qt::NoButton);
}
inline void moveTo(QWidget* w, QPoint p, Qt::MouseButtons held = Qt::NoButton) {
    sendMouse(w, QEvent::MouseMove, p, Qt::NoButton, held);
}
inline void dblClick(QWidget* w, QPoint p) {
    sendMouse(w, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
}
inline void drag(QWidget* w, QPoint from, QPoint to, Qt::MouseButton b = Qt::LeftButton) {
    press(w, from, b);
    moveTo(w, to, b);
    release(w, to, b);
}

// The colour of one pixel of what `w` shows now.
QColor shownPixel(QWidget* w, QPoint pos);

// Writes every signal a control raises into one list, as "Name" or "Name(a,b,...)", so that a
// test checks the events and their order at once.
class EventLog : public QObject {
  public:
    explicit EventLog(QObject* control);
    QStringList entries;
    int count(const QString& name) const;
    void clear() { entries.clear(); }
};

} // namespace kb::test
