#include "ui/controls/accessibility.h"

#include "ui/controls/xpcmdbutton.h"
#include "ui/controls/xptopbuttons.h"

#include <QAccessibleWidget>
#include <QPointer>

namespace kb {

namespace {

// The caption as a reader says it: without the access-key marker.
QString spokenCaption(const QString& caption) {
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        out += caption.at(i);
    }
    return out;
}

class SkinnedButtonAccessible : public QAccessibleWidget {
  public:
    explicit SkinnedButtonAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            if (!widget()->accessibleName().isEmpty())
                return widget()->accessibleName();
            if (auto* b = qobject_cast<xpcmdbutton*>(widget()))
                return spokenCaption(b->Caption());
            if (auto* c = qobject_cast<xptopbuttons*>(widget()))
                return c->stripName();
        }
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override {
        return widget()->isEnabled() ? QStringList{pressAction()} : QStringList{};
    }

    void doAction(const QString& actionName) override {
        if (actionName != pressAction() || !widget()->isEnabled())
            return;
        // Queued: the click may open a modal box, and the assistive client that asked for
        // the press must not wait for it.
        QPointer<QWidget> target = widget();
        QMetaObject::invokeMethod(
            target,
            [target] {
                if (!target || !target->isEnabled())
                    return;
                if (auto* b = qobject_cast<xpcmdbutton*>(target.data()))
                    emit b->Click();
                else if (auto* c = qobject_cast<xptopbuttons*>(target.data()))
                    emit c->Click();
            },
            Qt::QueuedConnection);
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }
};

QAccessibleInterface* factory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("kb::xpcmdbutton") ||
        className == QLatin1String("kb::xptopbuttons"))
        return new SkinnedButtonAccessible(widget);
    // The skinned windows draw their own frame; without the window role a reader takes them
    // for a pane and does not announce them by their title.
    if (className.startsWith(QLatin1String("kb::")) && widget->isWindow() &&
        widget->windowFlags().testFlag(Qt::FramelessWindowHint))
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

} // namespace

void installControlsAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace kb
