#include "ui/controls/xp_canvas.h"

#include "platform/cursor.h"
#include "platform/propertybag.h"
#include "ui/controls/vbinput.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>

namespace kb {

namespace {

const QColor kClientColour(236, 233, 216);
const QPoint kIconPos(6, 8);
const QPoint kCaptionPos(26, 6);
const QPoint kShadowPos(28, 8);
constexpr int kIconSize = 16;
constexpr int kCornerWidth = 5;
// Pointer travel before a press on the caption bar becomes a move: a double-click must
// still reach us as one.
constexpr int kMoveThreshold = 3;

bool isNormal(Qt::WindowStates state) {
    return !(state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

QFont captionFont() {
    QFont f(QStringLiteral("Trebuchet MS"));
    f.setBold(true);
    f.setPointSizeF(9.75);
    return f;
}

} // namespace

// A border strip or the caption bar: keeps its last painting and shows it on every repaint,
// so a window repaint needs no new layout pass.
class xp_canvas::Strip : public QWidget {
  public:
    explicit Strip(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

    // Paints `picture` stretched over the whole strip; a missing picture leaves the
    // background colour.
    void paintStretched(const QPixmap& picture) {
        QPixmap surface = blank();
        if (!picture.isNull() && !surface.isNull()) {
            QPainter p(&surface);
            p.drawPixmap(surface.rect(), picture, picture.rect());
        }
        setSurface(surface);
    }

    // The caption bar: corners copied as they are, the middle stretched.
    void paintThreePieces(const QPixmap& picture) {
        QPixmap surface = blank();
        if (!picture.isNull() && !surface.isNull()) {
            QPainter p(&surface);
            const int w = surface.width(), h = surface.height();
            const int sw = picture.width(), sh = picture.height();
            const int c = kCornerWidth;
            p.drawPixmap(QRect(0, 0, c, h), picture, QRect(0, 0, c, sh));
            if (w - 2 * c > 0)
                p.drawPixmap(QRect(c, 0, w - 2 * c, h), picture, QRect(c, 0, sw - 2 * c, sh));
            p.drawPixmap(QRect(w - c, 0, c, h), picture, QRect(sw - c, 0, c, sh));
        }
        setSurface(surface);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), kClientColour);
        if (!m_surface.isNull())
            p.drawPixmap(0, 0, m_surface);
    }

  private:
    QPixmap blank() const {
        if (width() <= 0 || height() <= 0)
            return {};
        QPixmap surface(size());
        surface.fill(kClientColour);
        return surface;
    }
    void setSurface(const QPixmap& surface) {
        m_surface = surface;
        update();
    }

    QPixmap m_surface;
};

xp_canvas::xp_canvas(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kClientColour);
    setPalette(pal);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus); // clicks on the frame must not take the focus from the form

    m_top = new Strip(this);
    m_top->setObjectName(QStringLiteral("pictop"));
    m_pictop = m_top;
    m_bottom = new Strip(this);
    m_bottom->setObjectName(QStringLiteral("picbottom"));
    m_left = new Strip(this);
    m_left->setObjectName(QStringLiteral("picleft"));
    m_right = new Strip(this);
    m_right->setObjectName(QStringLiteral("picright"));

    m_imgicon = new QLabel(m_top);
    m_imgicon->setObjectName(QStringLiteral("imgicon"));
    m_imgicon->setScaledContents(true);
    m_imgicon->setGeometry(QRect(kIconPos, QSize(kIconSize, kIconSize)));

    // The shadow first, so that the title lies above it.
    const QFont font = captionFont();
    m_lblshadow = new QLabel(m_top);
    m_lblshadow->setObjectName(QStringLiteral("lblshadow"));
    m_lblcaption = new QLabel(m_top);
    m_lblcaption->setObjectName(QStringLiteral("lblcaption"));
    for (QLabel* l : {m_lblshadow, m_lblcaption}) {
        l->setTextFormat(Qt::PlainText);
        l->setFont(font);
        QPalette lp = l->palette();
        const QColor text = l == m_lblcaption ? QColor(255, 255, 255)
                                              : QApplication::palette().color(QPalette::WindowText);
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            lp.setColor(group, QPalette::WindowText, text);
        l->setPalette(lp);
    }
    m_lblshadow->move(kShadowPos);
    m_lblcaption->move(kCaptionPos);

    for (Edge index : kHotZoneEdges) {
        const bool below = index == EdgeBottomRight || index == EdgeBottomLeft;
        QWidget* zone = new QWidget(below ? m_bottom : m_top);
        zone->setObjectName(QStringLiteral("imgresize%1").arg(index));
        zone->setGeometry(0, 0, kHotZone, kHotZone);
        zone->raise();
        m_imgresize[size_t(index)] = zone;
    }

    for (QWidget* w : std::initializer_list<QWidget*>{m_top, m_bottom, m_left, m_right, m_imgicon,
                                                      m_lblcaption, m_lblshadow})
        w->installEventFilter(this);
    for (QWidget* zone : m_imgresize)
        if (zone)
            zone->installEventFilter(this);

    const auto skin = [](const char* name, int set) {
        return QPixmap(QStringLiteral(":/skin/%1%2.png").arg(QLatin1String(name)).arg(set));
    };
    for (int set : {1, 2}) {
        SkinSet& s = set == 1 ? m_set1 : m_set2;
        s = {skin("top", set), skin("topmax", set), skin("left", set), skin("right", set),
             skin("bottom", set)};
    }

    m_timer1 = new QTimer(this);
    m_timer2 = new QTimer(this);
    for (QTimer* t : {m_timer1, m_timer2})
        t->setInterval(kWatchInterval);
    connect(m_timer1, &QTimer::timeout, this, &xp_canvas::deactivationTick);
    connect(m_timer2, &QTimer::timeout, this, &xp_canvas::activationTick);
    m_timer1->start();
    m_timer2->start();

    watchHost();
    followHost();
    ShowActiveSkin();
    LayoutPass();
}

xp_canvas::~xp_canvas() = default;

QPixmap xp_canvas::defaultIcon() {
    return QPixmap(QStringLiteral(":/icons/default.png"));
}

QString xp_canvas::Caption() const {
    return m_lblcaption->text();
}

void xp_canvas::setCaption(const QString& caption) {
    m_lblcaption->setText(caption);
    m_lblshadow->setText(caption);
    window()->setWindowTitle(caption);
    LayoutPass();
    emit PropertyChanged(QStringLiteral("Caption"));
}

void xp_canvas::setIcon(const QPixmap& icon) {
    m_icon = icon;
    m_imgicon->setPixmap(icon);
    emit PropertyChanged(QStringLiteral("Icon"));
}

void xp_canvas::setFixed_Single(bool fixed) {
    m_fixedSingle = fixed;
    LayoutPass();
}

void xp_canvas::InitProperties() {
    setCaption(objectName());
    setFixed_Single(false);
    setIcon(defaultIcon());
}

void xp_canvas::ReadProperties(const PropertyBag& bag) {
    setCaption(bag.ReadProperty(QStringLiteral("Caption"), objectName()).toString());
    const QVariant icon =
        bag.ReadProperty(QStringLiteral("Icon"), QVariant::fromValue(defaultIcon().toImage()));
    if (icon.canConvert<QPixmap>())
        setIcon(icon.value<QPixmap>());
    else
        setIcon(QPixmap::fromImage(icon.value<QImage>()));
    setFixed_Single(bag.ReadProperty(QStringLiteral("Fixed_Single"), false).toBool());
}

void xp_canvas::WriteProperties(PropertyBag& bag) const {
    bag.WriteProperty(QStringLiteral("Caption"), Caption(), objectName());
    // Pictures are kept as images: images compare by their pixels, so the default icon is
    // recognised and left out.
    bag.WriteProperty(QStringLiteral("Icon"), QVariant::fromValue(m_icon.toImage()),
                      QVariant::fromValue(defaultIcon().toImage()));
    bag.WriteProperty(QStringLiteral("Fixed_Single"), m_fixedSingle, false);
}

void xp_canvas::ShowActiveSkin() {
    m_current = m_set1;
    m_skin = SkinActive;
}

void xp_canvas::ShowInactiveSkin() {
    m_current = m_set2;
    m_skin = SkinInactive;
}

void xp_canvas::LayoutPass() {
    const int w = width();
    const int h = height();
    const Qt::WindowStates state = window()->windowState();

    // Strips docked top, bottom, left and right; the client area is what they leave.
    const int sideHeight = qMax(0, h - kCaptionHeight - kBorder);
    m_top->setGeometry(0, 0, w, kCaptionHeight);
    m_bottom->setGeometry(0, qMax(0, h - kBorder), w, kBorder);
    m_left->setGeometry(0, kCaptionHeight, kBorder, sideHeight);
    m_right->setGeometry(qMax(0, w - kBorder), kCaptionHeight, kBorder, sideHeight);

    m_left->paintStretched(m_current.left);
    m_right->paintStretched(m_current.right);
    // A minimised host keeps its last caption-bar drawing.
    if (state & Qt::WindowMinimized) {
        // nothing to paint
    } else if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        m_top->paintThreePieces(m_current.topmax);
        m_captionPicture = CaptionMaximized;
    } else {
        m_top->paintThreePieces(m_current.top);
        m_captionPicture = CaptionNormal;
    }
    m_bottom->paintStretched(m_current.bottom);

    m_lblcaption->adjustSize();
    m_lblshadow->adjustSize();
    m_lblcaption->move(kCaptionPos);
    m_lblshadow->move(kShadowPos);

    m_imgresize[EdgeTopRight]->move(window()->width() - kHotZone, 0);
    m_imgresize[EdgeBottomRight]->move(m_bottom->width() - kHotZone, m_bottom->height() - kHotZone);
    m_imgresize[EdgeTop]->setGeometry(kHotZone, 0, qMax(0, m_top->width() - 2 * kHotZone),
                                      kHotZone);

    applyPointers(state);
    update();
    emit Resize();
}

void xp_canvas::applyPointers(Qt::WindowStates state) {
    if (state & Qt::WindowMinimized)
        return;
    const bool resizable = !m_fixedSingle && isNormal(state);
    auto set = [resizable](QWidget* w, Qt::CursorShape shape) {
        w->setCursor(resizable ? shape : Qt::ArrowCursor);
    };
    set(m_left, Qt::SizeHorCursor);
    set(m_right, Qt::SizeHorCursor);
    set(m_bottom, Qt::SizeVerCursor);
    set(m_imgresize[EdgeTop], Qt::SizeVerCursor);
    set(m_imgresize[EdgeTopRight], Qt::SizeBDiagCursor);
    set(m_imgresize[EdgeBottomLeft], Qt::SizeBDiagCursor);
    set(m_imgresize[EdgeBottomRight], Qt::SizeFDiagCursor);
    set(m_imgresize[EdgeTopLeft], Qt::SizeFDiagCursor);
}

QRect xp_canvas::clientRect() const {
    return QRect(QPoint(kBorder, kCaptionHeight),
                 QPoint(width() - kBorder - 1, height() - kBorder - 1));
}

QWidget* xp_canvas::piece(Piece which) const {
    switch (which) {
    case PicTop:
        return m_top;
    case PicBottom:
        return m_bottom;
    case PicLeft:
        return m_left;
    case PicRight:
        return m_right;
    }
    return nullptr;
}

QWidget* xp_canvas::hotZone(int index) const {
    if (index < 0 || index >= int(m_imgresize.size()))
        return nullptr;
    return m_imgresize[size_t(index)];
}

bool xp_canvas::deactivationWatchRunning() const {
    return m_timer1->isActive();
}

bool xp_canvas::activationWatchRunning() const {
    return m_timer2->isActive();
}

// ---- Host ------------------------------------------------------------------------------------

void xp_canvas::watchHost() {
    QWidget* host = parentWidget();
    if (host == m_watchedHost)
        return;
    if (m_watchedHost)
        m_watchedHost->removeEventFilter(this);
    m_watchedHost = host;
    if (host)
        host->installEventFilter(this);
}

void xp_canvas::followHost() {
    // The frame covers its window: when the window is resized, maximised or restored the
    // frame follows, or its borders would be left standing inside the window.
    if (m_watchedHost && m_watchedHost->isWindow() && size() != m_watchedHost->size())
        setGeometry(m_watchedHost->rect());
}

bool xp_canvas::hostIsActive() const {
    const QWidget* active = QApplication::activeWindow();
    return active != nullptr && active == window();
}

// Each watch hands over to the other after switching the skin, so the frame keeps following
// the window through any number of activations.
void xp_canvas::deactivationTick() {
    if (hostIsActive())
        return;
    ShowInactiveSkin();
    LayoutPass();
    m_timer1->stop();
    m_timer2->start();
}

void xp_canvas::activationTick() {
    if (!hostIsActive())
        return;
    ShowActiveSkin();
    LayoutPass();
    m_timer2->stop();
    m_timer1->start();
}

void xp_canvas::SetFocus() {
    m_timer2->stop();
    ShowActiveSkin();
    LayoutPass();
    m_timer1->start();
}

void xp_canvas::focusInEvent(QFocusEvent* event) {
    m_timer2->stop();
    ShowActiveSkin();
    LayoutPass();
    m_timer1->start();
    QWidget::focusInEvent(event);
}

void xp_canvas::focusOutEvent(QFocusEvent* event) {
    m_timer1->start();
    m_timer2->start();
    QWidget::focusOutEvent(event);
}

void xp_canvas::ResizeFromDrag(QWidget* host, QPoint dragStart, QPoint dragEnd, int edge) {
    if (!host || edge < EdgeLeft || edge > EdgeTopLeft)
        return;
    // The window system refuses to move a maximised or minimised window.
    if (!isNormal(host->windowState()))
        return;
    const int dx = dragEnd.x() - dragStart.x();
    const int dy = dragEnd.y() - dragStart.y();
    const QRect g = host->geometry();
    int l = g.x(), t = g.y(), w = g.width(), h = g.height();
    switch (edge) {
    case EdgeLeft:
        l += dx, w -= dx;
        break;
    case EdgeRight:
        w += dx;
        break;
    case EdgeTop:
        t += dy, h -= dy;
        break;
    case EdgeBottom:
        h += dy;
        break;
    case EdgeBottomRight:
        w += dx, h += dy;
        break;
    case EdgeBottomLeft:
        l += dx, w -= dx, h += dy;
        break;
    case EdgeTopRight:
        t += dy, w += dx, h -= dy;
        break;
    case EdgeTopLeft:
        l += dx, t += dy, w -= dx, h -= dy;
        break;
    }
    if (w < 0 || h < 0)
        return; // refused: the window keeps its place and size
    host->setGeometry(l, t, w, h);
}

// ---- Events ----------------------------------------------------------------------------------

void xp_canvas::resizeEvent(QResizeEvent*) {
    LayoutPass();
}

bool xp_canvas::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange) {
        watchHost();
        followHost();
    }
    return QWidget::event(event);
}

void xp_canvas::mousePressEvent(QMouseEvent* e) {
    const VbMouse m = vbPressOrRelease(*e);
    emit MouseDown(m.button, m.shift, m.x, m.y);
}

void xp_canvas::mouseMoveEvent(QMouseEvent* e) {
    const VbMouse m = vbMove(*e);
    emit MouseMove(m.button, m.shift, m.x, m.y);
}

void xp_canvas::mouseReleaseEvent(QMouseEvent* e) {
    const VbMouse m = vbPressOrRelease(*e);
    emit MouseUp(m.button, m.shift, m.x, m.y);
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit Click();
}

void xp_canvas::mouseDoubleClickEvent(QMouseEvent*) {
    emit DblClick();
}

void xp_canvas::keyPressEvent(QKeyEvent* e) {
    forwardKeyPress(*this, *e);
}

void xp_canvas::keyReleaseEvent(QKeyEvent* e) {
    forwardKeyRelease(*this, *e);
}

bool xp_canvas::captionPress(QObject*, QEvent* event) {
    QWidget* host = window();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        m_movePending = isNormal(host->windowState());
        m_movingByHand = false;
        m_pressGlobal = e->globalPosition().toPoint();
        m_pressOffset = m_pressGlobal - host->pos();
        return true;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        const QPoint global = e->globalPosition().toPoint();
        if (m_movePending && e->buttons() != Qt::NoButton &&
            (global - m_pressGlobal).manhattanLength() >= kMoveThreshold) {
            m_movePending = false;
            // Catch up with the travel so far.
            host->move(global - m_pressOffset);
            // Under X11 the frame follows the pointer itself to the end: a move handed to the
            // window manager starts from where the toolkit reckons the pointer from the
            // window's position, which the catch-up has just changed, and so lost that much
            // travel. Where a program can't place its windows (Wayland) the compositor moves
            // it until the button is released.
            QWindow* handle = host->windowHandle();
            m_movingByHand =
                !(QGuiApplication::platformName().startsWith(QLatin1String("wayland")) && handle &&
                  handle->startSystemMove());
        }
        if (m_movingByHand && e->buttons() != Qt::NoButton)
            host->move(global - m_pressOffset);
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_movePending = false;
        m_movingByHand = false;
        return true;
    case QEvent::MouseButtonDblClick:
        m_movePending = false;
        m_movingByHand = false;
        if (!m_fixedSingle) {
            const Qt::WindowStates state = host->windowState();
            if (isNormal(state))
                host->setWindowState((state & ~Qt::WindowMinimized) | Qt::WindowMaximized);
            else
                host->setWindowState(
                    state & ~(Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
        }
        return true;
    default:
        return false;
    }
}

bool xp_canvas::edgeEvent(int edge, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (!m_fixedSingle)
            m_dragStart = Cursor::pos();
        return true;
    case QEvent::MouseButtonRelease:
        if (!m_fixedSingle) {
            m_dragEnd = Cursor::pos();
            ResizeFromDrag(window(), m_dragStart, m_dragEnd, edge);
        }
        return true;
    case QEvent::MouseMove:
        return true; // the frame does not follow the pointer while a border is held
    default:
        return false;
    }
}

bool xp_canvas::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_watchedHost) {
        if (event->type() == QEvent::Resize)
            followHost();
        else if (event->type() == QEvent::WindowStateChange)
            LayoutPass();
        return false;
    }
    if (watched == m_top || watched == m_lblcaption)
        return captionPress(watched, event);
    if (watched == m_imgicon || watched == m_lblshadow) {
        // Presses on the icon and the shadow do nothing, and do not reach the caption bar.
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return true;
        default:
            return false;
        }
    }
    if (watched == m_left)
        return edgeEvent(EdgeLeft, event);
    if (watched == m_right)
        return edgeEvent(EdgeRight, event);
    if (watched == m_bottom)
        return edgeEvent(EdgeBottom, event);
    for (Edge index : kHotZoneEdges)
        if (watched == m_imgresize[size_t(index)])
            return edgeEvent(index, event);
    return QWidget::eventFilter(watched, event);
}

} // namespace kb
