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
