#include "ui/controls/captionbuttons.h"

#include "platform/propertybag.h"
#include "ui/controls/xp_canvas.h"
#include "ui/controls/xptopbuttons.h"

#include <QKeySequence>
#include <QShortcut>

namespace kb {

CaptionButtons CaptionButtons::addTo(xp_canvas* frame, QWidget* window) {
    const auto button = [frame](const char* name, const QVariantMap& stored) {
        auto* b = new xptopbuttons(frame);
        b->setObjectName(QLatin1String(name));
        b->ReadProperties(PropertyBag(stored));
        return b;
    };
    CaptionButtons c;
    c.minimise = button("minimiseButton", {{QStringLiteral("Value"), 2}});
    c.maximise = button("maximiseButton",
                        {{QStringLiteral("Value"), 1}, {QStringLiteral("Enabled"), false}});
    c.close = button("closeButton", {});
    QObject::connect(c.close, &xptopbuttons::Click, window, &QWidget::close);
    QObject::connect(c.minimise, &xptopbuttons::Click, window, &QWidget::showMinimized);
    QObject::connect(new QShortcut(QKeySequence(Qt::Key_Escape), window), &QShortcut::activated,
                     window, &QWidget::close);
    return c;
}

void CaptionButtons::place(int width) const {
    close->setGeometry(width - 25, 6, 21, 21);
    maximise->setGeometry(width - 48, 6, 21, 21);
    minimise->setGeometry(width - 71, 6, 21, 21);
    for (QWidget* b : {close, maximise, minimise})
        b->raise();
}

} // namespace kb
