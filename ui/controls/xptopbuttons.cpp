#include "ui/controls/xptopbuttons.h"

#include "platform/cursor.h"
#include "platform/propertybag.h"
#include "ui/controls/accessibility.h"
#include "ui/controls/vbinput.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace kb {

namespace {
constexpr int kPollInterval = 10;
}

xptopbuttons::xptopbuttons(QWidget* parent) : QWidget(parent) {
    installControlsAccessibility();
    const char* strips[4] = {":/buttons/close.png", ":/buttons/maximize.png",
                             ":/buttons/minimize.png", ":/buttons/restore.png"};
    for (int i = 0; i < 4; ++i)
        m_pc[size_t(i)].setPicture(QPixmap(QString::fromLatin1(strips[i])), 4);

    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus); // caption buttons never take the focus from the form
    setFixedSize(kSize, kSize);

    m_timer = new QTimer(this);
    m_timer->setInterval(kPollInterval);
    connect(m_timer, &QTimer::timeout, this, &xptopbuttons::pollPointer);
    m_timer->start();

    ShowValueImage();
}

xptopbuttons::~xptopbuttons() = default;

void xptopbuttons::setValue(int value) {
    m_Value = value;
    emit PropertyChanged(QStringLiteral("Value"));
    ShowValueImage();
}

bool xptopbuttons::Enabled() const {
    return !testAttribute(Qt::WA_ForceDisabled);
}

void xptopbuttons::InitProperties() {
    setValue(0);
    setEnabled(true);
    showCell(isEnabled() ? CellNormal : CellDisabled);
}

void xptopbuttons::ReadProperties(const PropertyBag& bag) {
    m_Value = bag.ReadProperty(QStringLiteral("Value"), 0).toInt(); // no repaint yet
    setEnabled(bag.ReadProperty(QStringLiteral("Enabled"), true).toBool());
    // The setter shows a cell of the strip in use even when the state did not change.
    showCell(isEnabled() ? CellNormal : CellDisabled);
}

void xptopbuttons::WriteProperties(PropertyBag& bag) const {
    bag.WriteProperty(QStringLiteral("Value"), m_Value, 0);
    bag.WriteProperty(QStringLiteral("Enabled"), Enabled(), true);
}

void xptopbuttons::ShowValueImage() {
    if (m_Value >= 0 && m_Value <= 3)
        m_strip = m_Value;
    showCell(isEnabled() ? CellNormal : CellDisabled);
}

bool xptopbuttons::isHoverPolling() const {
    return m_timer->isActive();
}

QString xptopbuttons::stripName() const {
    static const char* names[4] = {"Close", "Maximize", "Minimize", "Restore"};
    return QString::fromLatin1(names[m_strip]);
}

void xptopbuttons::showCell(int cell) {
    m_cell = cell;
    update();
}

void xptopbuttons::pollPointer() {
    const QPoint p = mapFromGlobal(Cursor::pos());
    if (insideInclusive(p, size()))
        return;
    m_timer->stop();
    emit MouseOut();
    if (isEnabled())
        showCell(CellNormal);
}

void xptopbuttons::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPixmap cell = m_pc[size_t(m_strip)].GraphicCell(m_cell);
    if (!cell.isNull())
        p.drawPixmap(0, 0, cell); // unscaled at the top-left corner
}

void xptopbuttons::resizeEvent(QResizeEvent*) {
    // Whatever size it is given, the button stays 21 x 21.
    if (size() != QSize(kSize, kSize))
        resize(kSize, kSize);
}

void xptopbuttons::showEvent(QShowEvent*) {
    ShowValueImage();
}

void xptopbuttons::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        showCell(isEnabled() ? CellNormal : CellDisabled);
        emit PropertyChanged(QStringLiteral("Enabled"));
    }
    QWidget::changeEvent(event);
}

void xptopbuttons::mousePressEvent(QMouseEvent* e) {
    showCell(CellPressed);
    const VbMouse m = vbPressOrRelease(*e);
    emit MouseDown(m.button, m.shift, m.x, m.y);
}

void xptopbuttons::mouseMoveEvent(QMouseEvent* e) {
    m_timer->start();
    const QPointF pos = e->position();
    if (!insideInclusive(pos, size()))
        return; // a captured move outside the button
    const int button = vbButtons(e->buttons());
    emit MouseMove(button, vbShift(e->modifiers()), float(pos.x()), float(pos.y()));
    showCell(button == 1 ? CellPressed : CellHover);
}

void xptopbuttons::mouseReleaseEvent(QMouseEvent* e) {
    const bool click =
        e->button() == Qt::LeftButton && !m_secondClick && rect().contains(e->position().toPoint());
    m_secondClick = false;
    showCell(CellNormal);
    const VbMouse m = vbPressOrRelease(*e);
    emit MouseUp(m.button, m.shift, m.x, m.y);
    if (click)
        emit Click();
}

void xptopbuttons::mouseDoubleClickEvent(QMouseEvent*) {
    // The second press of a double click is ignored, and its release clicks not.
    m_secondClick = true;
}

} // namespace kb
