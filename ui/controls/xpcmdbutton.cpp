#include "ui/controls/xpcmdbutton.h"

#include "platform/cursor.h"
#include "platform/propertybag.h"
#include "ui/controls/accessibility.h"
#include "ui/controls/formdesign.h"
#include "ui/controls/vbinput.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>
#include <QTimer>

namespace kb {

namespace {

const QColor kCaptionEnabled(0, 0, 0);
const QColor kCaptionDisabled(161, 161, 146);
constexpr int kPollInterval = 10;
constexpr int kCorner = 3;

// The caption shown by the label: the access-key letter underlined, "&&" a plain ampersand,
// and everything else shown as text, never as markup.
QString labelMarkup(const QString& caption, bool* hasMnemonic) {
    QString out;
    *hasMnemonic = false;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        const QChar c = caption.at(i);
        if (c == QLatin1Char('&') && i + 1 < caption.size()) {
            const QChar next = caption.at(++i);
            if (next == QLatin1Char('&') || *hasMnemonic) {
                out += QString(next).toHtmlEscaped();
            } else {
                *hasMnemonic = true;
                out +=
                    QStringLiteral("<u>") + QString(next).toHtmlEscaped() + QStringLiteral("</u>");
            }
        } else {
            out += QString(c).toHtmlEscaped();
        }
    }
    return out;
}

} // namespace

xpcmdbutton::xpcmdbutton(QWidget* parent) : QWidget(parent) {
    installControlsAccessibility();
    m_pc.setPicture(QPixmap(QStringLiteral(":/buttons/xpcmdbutton.png")), 5);

    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);

    m_lbl = new QLabel(this);
    m_lbl->setObjectName(QStringLiteral("lbl"));
    m_lbl->setAlignment(Qt::AlignCenter);
    m_lbl->setTextFormat(Qt::PlainText);
    m_lbl->setMouseTracking(true);
    m_lbl->setAttribute(Qt::WA_TranslucentBackground);
    m_lbl->installEventFilter(this);
    applyCaptionColour();

    m_timer = new QTimer(this);
    m_timer->setInterval(kPollInterval);
    connect(m_timer, &QTimer::timeout, this, &xpcmdbutton::pollPointer);

    resize(75, 23);
    ShowRestFace();
}

xpcmdbutton::~xpcmdbutton() = default;

QString xpcmdbutton::displayName() const {
    if (!objectName().isEmpty())
        return objectName();
    return QStringLiteral("xpcmdbutton");
}

QFont xpcmdbutton::containerFont() const {
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}

QString xpcmdbutton::Caption() const {
    return m_caption;
}

void xpcmdbutton::setCaption(const QString& caption) {
    m_caption = caption;
    bool mnemonic = false;
    const QString markup = labelMarkup(caption, &mnemonic);
    if (mnemonic) {
        m_lbl->setTextFormat(Qt::RichText);
        m_lbl->setText(markup);
    } else {
        m_lbl->setTextFormat(Qt::PlainText);
        m_lbl->setText(QString(caption).replace(QStringLiteral("&&"), QStringLiteral("&")));
    }
    updateShortcut();
    emit PropertyChanged(QStringLiteral("Caption"));
    layoutCaption();
}

void xpcmdbutton::setState(int state) {
    m_State = state;
    emit PropertyChanged(QStringLiteral("State"));
    ShowRestFace();
}

bool xpcmdbutton::Enabled() const {
    return !testAttribute(Qt::WA_ForceDisabled);
}

void xpcmdbutton::InitProperties() {
    setEnabled(true);
    ShowRestFace();
    applyCaptionColour();
    setCaption(displayName());
    setFont(containerFont());
}

void xpcmdbutton::ReadProperties(const PropertyBag& bag) {
    m_State = bag.ReadProperty(QStringLiteral("State"), 0).toInt();
    setEnabled(bag.ReadProperty(QStringLiteral("Enabled"), true).toBool());
    ShowRestFace(); // the setter repaints even when the value did not change
    applyCaptionColour();
    setCaption(bag.ReadProperty(QStringLiteral("Caption"), displayName()).toString());
    setFont(bag.ReadProperty(QStringLiteral("Font"), containerFont()).value<QFont>());
}

void xpcmdbutton::WriteProperties(PropertyBag& bag) const {
    bag.WriteProperty(QStringLiteral("State"), m_State, 0);
    bag.WriteProperty(QStringLiteral("Enabled"), Enabled(), true);
    bag.WriteProperty(QStringLiteral("Caption"), Caption(), displayName());
    bag.WriteProperty(QStringLiteral("Font"), Font(), containerFont());
}

void xpcmdbutton::PaintFace(int face) {
    const int w = width();
    const int h = height();
    m_shownFace = face;
    const QPixmap cell = m_pc.GraphicCell(face);
    if (w <= 0 || h <= 0) {
        m_surface = QPixmap();
        return;
    }
    if (m_surface.size() != QSize(w, h))
        m_surface = QPixmap(w, h);
    if (!cell.isNull()) {
        QPainter p(&m_surface);
        // Nine pieces: corners copied as they are, edges stretched along their edge, the
        // centre both ways. Pieces without area (buttons under 6 x 6) are left out.
        const int cw = cell.width();  // 18
        const int ch = cell.height(); // 21
        const int e = kCorner;
        const struct {
            QRect dst, src;
        } pieces[] = {
            {{0, 0, e, e}, {0, 0, e, e}},
            {{w - e, 0, e, e}, {cw - e, 0, e, e}},
            {{w - e, h - e, e, e}, {cw - e, ch - e, e, e}},
            {{0, h - e, e, e}, {0, ch - e, e, e}},
            {{e, 0, w - 2 * e, e}, {e, 0, cw - 2 * e, e}},
            {{w - e, e, e, h - 2 * e}, {cw - e, e, e, ch - 2 * e}},
            {{0, e, e, h - 2 * e}, {0, e, e, ch - 2 * e}},
            {{e, h - e, w - 2 * e, e}, {e, ch - e, cw - 2 * e, e}},
            {{e, e, w - 2 * e, h - 2 * e}, {e, e, cw - 2 * e, ch - 2 * e}},
        };
        for (const auto& piece : pieces) {
            if (piece.dst.width() > 0 && piece.dst.height() > 0)
                p.drawPixmap(piece.dst, cell, piece.src);
        }
    }
    update();
}

void xpcmdbutton::ShowRestFace() {
    if (m_State == 1)
        m_restFace = FaceDefault;
    else if (m_State == 0)
        m_restFace = FaceNormal;
    PaintFace(isEnabled() ? m_restFace : FaceDisabled);
}

bool xpcmdbutton::isHoverPolling() const {
    return m_timer->isActive();
}

void xpcmdbutton::layoutCaption() {
    ShowRestFace();
    m_lbl->adjustSize();
    m_lbl->move((width() - m_lbl->width()) / 2, (height() - m_lbl->height()) / 2);
}

void xpcmdbutton::applyCaptionColour() {
    const QColor colour = isEnabled() ? kCaptionEnabled : kCaptionDisabled;
    QPalette pal = m_lbl->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(group, QPalette::WindowText, colour);
    m_lbl->setPalette(pal);
}

void xpcmdbutton::updateShortcut() {
    if (m_shortcutId != 0)
        releaseShortcut(m_shortcutId);
    m_shortcutId = 0;
    const QKeySequence key = QKeySequence::mnemonic(m_caption);
    if (!key.isEmpty())
        m_shortcutId = grabShortcut(key);
}

void xpcmdbutton::pollPointer() {
    const QPoint p = mapFromGlobal(Cursor::pos());
    if (insideInclusive(p, size()))
        return;
    m_timer->stop();
    emit MouseOut();
    ShowRestFace();
}

void xpcmdbutton::handleMove(int button, int shift, QPointF pos) {
    m_timer->start();
    if (!insideInclusive(pos, size()))
        return; // a captured move outside the button
    emit MouseMove(button, shift, float(pos.x()), float(pos.y()));
    PaintFace(button == 1 ? FacePressed : FaceHover);
}

void xpcmdbutton::handlePress(int button, int shift, QPointF pos) {
    emit MouseDown(button, shift, float(pos.x()), float(pos.y()));
    PaintFace(FacePressed);
}

void xpcmdbutton::handleRelease(int button, int shift, QPointF pos, bool inside) {
    const bool click = inside && button == 1 && !m_secondClick;
    m_secondClick = false;
    emit MouseUp(button, shift, float(pos.x()), float(pos.y()));
    ShowRestFace();
    if (click)
        emit Click();
}

void xpcmdbutton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!m_surface.isNull())
        p.drawPixmap(0, 0, m_surface);
    if (m_showFocus && hasFocus() && width() > 8 && height() > 8) {
        p.setPen(QPen(kCaptionEnabled, 1, Qt::DotLine));
        p.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}

void xpcmdbutton::focusInEvent(QFocusEvent* e) {
    // A click gives focus too; only a key that brought it here needs to show where it is.
    m_showFocus = e->reason() != Qt::MouseFocusReason;
    update();
    QWidget::focusInEvent(e);
}

void xpcmdbutton::focusOutEvent(QFocusEvent* e) {
    m_showFocus = false;
    update();
    QWidget::focusOutEvent(e);
}

void xpcmdbutton::resizeEvent(QResizeEvent*) {
    layoutCaption();
}

void xpcmdbutton::showEvent(QShowEvent*) {
    ShowRestFace();
}

void xpcmdbutton::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::EnabledChange:
        applyCaptionColour();
        ShowRestFace();
        emit PropertyChanged(QStringLiteral("Enabled"));
        break;
    case QEvent::FontChange:
        layoutCaption();
        emit PropertyChanged(QStringLiteral("Font"));
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

bool xpcmdbutton::event(QEvent* event) {
    if (event->type() == QEvent::Shortcut) {
        auto* se = static_cast<QShortcutEvent*>(event);
        if (se->shortcutId() == m_shortcutId && isEnabled()) {
            emit Click();
            return true;
        }
    }
    return QWidget::event(event);
}

void xpcmdbutton::mousePressEvent(QMouseEvent* e) {
    handlePress(vbButton(e->button()), vbShift(e->modifiers()), e->position());
}

void xpcmdbutton::mouseMoveEvent(QMouseEvent* e) {
    handleMove(vbButtons(e->buttons()), vbShift(e->modifiers()), e->position());
}

void xpcmdbutton::mouseReleaseEvent(QMouseEvent* e) {
    handleRelease(vbButton(e->button()), vbShift(e->modifiers()), e->position(),
                  rect().contains(e->position().toPoint()));
}

void xpcmdbutton::mouseDoubleClickEvent(QMouseEvent*) {
    // The second press of a double click: no event of its own, and its release clicks not.
    m_secondClick = true;
}

void xpcmdbutton::keyPressEvent(QKeyEvent* e) {
    forwardKeyPress(*this, *e);
}

void xpcmdbutton::keyReleaseEvent(QKeyEvent* e) {
    forwardKeyRelease(*this, *e);
}

bool xpcmdbutton::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_lbl)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        const QPointF inButton = m_lbl->mapToParent(e->position());
        // Over the label the move counts as inside; dragged off the button it is a surface
        // move like any other.
        const bool overLabel = m_lbl->rect().contains(e->position().toPoint());
        handleMove(vbButtons(e->buttons()), vbShift(e->modifiers()),
                   overLabel ? QPointF(m_lbl->pos()) : inButton);
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        handlePress(vbButton(e->button()), vbShift(e->modifiers()), e->position());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        const QPoint inButton = m_lbl->mapToParent(e->position()).toPoint();
        handleRelease(vbButton(e->button()), vbShift(e->modifiers()), e->position(),
                      rect().contains(inButton));
        return true;
    }
    case QEvent::MouseButtonDblClick:
        m_secondClick = true;
        return true;
    default:
        return false;
    }
}

xpcmdbutton* makeCommandButton(QWidget* parent, const QString& objectName, const QString& caption,
                               const QString& description, QSize size) {
    auto* button = new xpcmdbutton(parent);
    button->setObjectName(objectName);
    button->ReadProperties(PropertyBag(
        {{QStringLiteral("Caption"), caption}, {QStringLiteral("Font"), buttonFont()}}));
    button->setAccessibleName(caption);
    button->setAccessibleDescription(description);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setFixedSize(size);
    QObject::connect(button, &xpcmdbutton::KeyPress, button, [button](int ascii) {
        if (ascii == 13 || ascii == 32)
            emit button->Click();
    });
    return button;
}

} // namespace kb
