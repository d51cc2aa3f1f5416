#pragma once

#include <QPixmap>
#include <QPoint>
#include <QWidget>
#include <array>

class QLabel;
class QTimer;

namespace kb {

class PropertyBag;

// The program's own window frame: a 29 pixel caption bar with icon and shadowed title,
// 5 pixel left, right and bottom borders, an active and an inactive skin, resize hot zones.
//
// Use: the only child of a borderless top-level host (Qt::FramelessWindowHint), filling it;
// it follows the host's size. The host's controls are children of the frame, inside
// clientRect() = (5, 29) to (width - 5, height - 5); caption buttons are placed over the
// right end of the caption bar and raised by the form. Construct, set objectName() (the
// display name), then InitProperties() (caption = objectName()) or ReadProperties(bag).
class xp_canvas : public QWidget {
    Q_OBJECT

  public:
    // Edge codes of the border pieces and hot zones.
    enum Edge {
        EdgeLeft = 0,
        EdgeRight = 1,
        EdgeTop = 2,
        EdgeBottom = 3,
        EdgeBottomRight = 4,
        EdgeBottomLeft = 5,
        EdgeTopRight = 6,
        EdgeTopLeft = 7,
    };
    enum Piece { PicTop, PicBottom, PicLeft, PicRight };
    enum Skin { SkinActive = 1, SkinInactive = 2 };
    enum CaptionPicture { CaptionNone = 0, CaptionNormal = 1, CaptionMaximized = 2 };

    static constexpr int kCaptionHeight = 29;
    static constexpr int kBorder = 5;
    static constexpr int kHotZone = 9;
    static constexpr int kWatchInterval = 10;

    explicit xp_canvas(QWidget* parent = nullptr);
    ~xp_canvas() override;

    // The title; setting it also sets the host window's title.
    QString Caption() const;
    void setCaption(const QString& caption);
    QPixmap Icon() const { return m_icon; }
    void setIcon(const QPixmap& icon);
    // True: a fixed-size frame (no border resizing, no maximise by double-click).
    bool Fixed_Single() const { return m_fixedSingle; }
    void setFixed_Single(bool fixed);

    void InitProperties();
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // Places and paints the strips from the current skin, then raises Resize.
    void LayoutPass();
    void ShowActiveSkin();
    void ShowInactiveSkin();
    // Shows the active skin now (the host has been activated from outside).
    void SetFocus();
    // Moves and sizes `host` by the pointer travel of a border drag (pixels) for `edge`.
    static void ResizeFromDrag(QWidget* host, QPoint dragStart, QPoint dragEnd, int edge);

    // The picture a new frame shows as its icon.
    static QPixmap defaultIcon();

    // What the frame shows now.
    int skinSet() const { return m_skin; }
    int captionPicture() const { return m_captionPicture; }
    QRect clientRect() const;
    QWidget* piece(Piece which) const;
    // Hot zone 2, 4, 5, 6 or 7 (their edge codes); nullptr for other numbers.
    QWidget* hotZone(int index) const;
    QLabel* captionLabel() const { return m_lblcaption; }
    QLabel* shadowLabel() const { return m_lblshadow; }
    QLabel* iconImage() const { return m_imgicon; }
    bool deactivationWatchRunning() const;
    bool activationWatchRunning() const;
    QPoint dragStart() const { return m_dragStart; }
    QPoint dragEnd() const { return m_dragEnd; }

  signals:
    void Click();
    void DblClick();
    void Resize();
    void KeyDown(int KeyCode, int Shift);
    void KeyPress(int KeyAscii);
    void KeyUp(int KeyCode, int Shift);
    void MouseDown(int Button, int Shift, float X, float Y);
    void MouseMove(int Button, int Shift, float X, float Y);
    void MouseUp(int Button, int Shift, float X, float Y);
    // A persisted property changed ("Caption", "Icon").
    void PropertyChanged(const QString& name);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class Strip;
    struct SkinSet {
        QPixmap top, topmax, left, right, bottom;
    };

    void watchHost();
    void followHost();
    bool hostIsActive() const;
    void deactivationTick();
    void activationTick();
    void applyPointers(Qt::WindowStates state);
    bool captionPress(QObject* watched, QEvent* event);
    bool edgeEvent(int edge, QEvent* event);

    QWidget* m_pictop = nullptr;
    Strip* m_top = nullptr;
    Strip* m_bottom = nullptr;
    Strip* m_left = nullptr;
    Strip* m_right = nullptr;
    QLabel* m_imgicon = nullptr;
    QLabel* m_lblcaption = nullptr;
    QLabel* m_lblshadow = nullptr;
    // The hot zones, by their edge; the left, right and bottom edges are border pieces instead.
    static constexpr std::array<Edge, 5> kHotZoneEdges{EdgeTop, EdgeTopRight, EdgeTopLeft,
                                                       EdgeBottomRight, EdgeBottomLeft};
    std::array<QWidget*, 8> m_imgresize{};
    QTimer* m_timer1 = nullptr; // waits for the host to stop being active
    QTimer* m_timer2 = nullptr; // waits for the host to become active
    SkinSet m_set1, m_set2, m_current;
    int m_skin = SkinActive;
    int m_captionPicture = CaptionNone;
    QPixmap m_icon;
    bool m_fixedSingle = false;
    QPoint m_dragStart, m_dragEnd;
    QWidget* m_watchedHost = nullptr;

    // Moving by the caption bar.
    bool m_movePending = false;
    bool m_movingByHand = false;
    QPoint m_pressGlobal;
    QPoint m_pressOffset; // pointer minus host position at the press
};

} // namespace kb
