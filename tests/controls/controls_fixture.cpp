#include "controls_fixture.h"

#include <QApplication>
#include <QMetaMethod>
#include <QMouseEvent>

namespace kb::test {

void sendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons, modifiers);
    QApplication::sendEvent(w, &e);
}

QColor shownPixel(QWidget* w, QPoint pos) {
    return w->grab().toImage().pixelColor(pos);
}

namespace {

// Records one signal with its arguments.
class Recorder : public QObject {
  public:
    Recorder(EventLog* log, QObject* control, const QMetaMethod& signal)
        : QObject(log), m_log(log), m_signal(signal) {
        const int slot = staticMetaObject.methodCount(); // our own dynamic slot index
        QMetaObject::connect(control, signal.methodIndex(), this, slot);
    }

    int qt_metacall(QMetaObject::Call call, int id, void** args) override {
        id = QObject::qt_metacall(call, id, args);
        if (id < 0 || call != QMetaObject::InvokeMetaMethod)
            return id;
        QStringList values;
        for (int i = 0; i < m_signal.parameterCount(); ++i) {
            const QMetaType type = m_signal.parameterMetaType(i);
            values << QVariant(type, args[i + 1]).toString();
        }
        const QString name = QString::fromLatin1(m_signal.name());
        m_log->entries << (values.isEmpty() ? name
                                            : name + QLatin1Char('(') +
                                                  values.join(QLatin1Char(',')) + QLatin1Char(')'));
        return -1;
    }

  private:
    EventLog* m_log;
    QMetaMethod m_signal;
};

} // namespace

EventLog::EventLog(QObject* control) : QObject(control) {
    const QMetaObject* mo = control->metaObject();
    for (int i = QWidget::staticMetaObject.methodCount(); i < mo->methodCount(); ++i) {
        const QMetaMethod m = mo->method(i);
        if (m.methodType() == QMetaMethod::Signal && m.name() != "PropertyChanged")
            new Recorder(this, control, m);
    }
}

int EventLog::count(const QString& name) const {
    int n = 0;
    for (const QString& e : entries)
        if (e == name || e.startsWith(name + QLatin1Char('(')))
            ++n;
    return n;
}

} // namespace kb::test
