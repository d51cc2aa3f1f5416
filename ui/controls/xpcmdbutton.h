#pragma once

#include "platform/pictureclip.h"

#include <QPixmap>
#include <QWidget>

class QLabel;
class QTimer;

namespace kb {

class PropertyBag;

// The program's push button: a face painted from five cells of one strip by nine-slice
// scaling, a centred caption, hover and pressed faces, and a 10 ms pointer poll that raises
// MouseOut when the pointer has left.
//
// Life cycle: construct, set objectName() (the display name), then either InitProperties()
// (a new button: its caption becomes objectName()) or ReadProperties(bag).
// Enabled and Font are QWidget's own state: setEnabled() and setFont() from anywhere repaint
// the face and the caption as the properties require.
class xpcmdbutton : public QWidget {
    Q_OBJECT

  public:
    enum Face { FaceNormal = 0, FacePressed = 1, FaceDisabled = 2, FaceHover = 3, FaceDefault = 4 };

    explicit xpcmdbutton(QWidget* parent = nullptr);
    ~xpcmdbutton() override;

    QString Caption() const;
    void setCaption(const QString& caption);

    // 0: rests on the normal face; 1: rests on the default face; others keep the last choice.
    int State() const { return m_State; }
    void setState(int state);

    // The button's own enabled flag (a disabled parent does not clear it).
    bool Enabled() const;
    QFont Font() const { return font(); }

    void InitProperties();
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // Paints face 0 to 4 over the whole button; it stays shown until the next PaintFace.
    void PaintFace(int face);
    void ShowRestFace();

    // What the button shows now, and the face it falls back to at rest.
    int shownFace() const { return m_shownFace; }
    int restFace() const { return m_restFace; }
    bool isHoverPolling() const;
    QLabel* captionLabel() const { return m_lbl; }

    // The display name and font a new button takes from its container.
    QString displayName() const;
    QFont containerFont() const;

  signals:
    void Click();
    void KeyDown(int KeyCode, int Shift);
    void KeyPress(int KeyAscii);
    void KeyUp(int KeyCode, int Shift);
    void MouseOut();
    void MouseDown(int Button, int Shift, float X, float Y);
    void MouseMove(int Button, int Shift, float X, float Y);
    void MouseUp(int Button, int Shift, float X, float Y);
    // A persisted property changed ("Caption", "Enabled", "State", "Font").
    void PropertyChanged(const QString& name);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void layoutCaption();
    void pollPointer();
    void applyCaptionColour();
    void updateShortcut();
    void handleMove(int button, int shift, QPointF pos);
    void handlePress(int button, int shift, QPointF pos);
    void handleRelease(int button, int shift, QPointF pos, bool inside);

    int m_State = 0;
    int m_restFace = FaceNormal;
    int m_shownFace = -1;
    QString m_caption;
    QLabel* m_lbl = nullptr;
    QTimer* m_timer = nullptr;
    PictureClip m_pc;
    QPixmap m_surface; // the retained face: paint events only copy it
    int m_shortcutId = 0;
    // Focus that came from the keyboard is drawn, as a dotted frame inside the face.
    bool m_showFocus = false;
    bool m_secondClick = false; // the press of a double click raises no Click
};

// A command button of the program's own windows: its caption (also its accessible name), a
// description for assistive technology, the button font, focus by Tab, and Space or Enter
// pressing it when it has the focus.
xpcmdbutton* makeCommandButton(QWidget* parent, const QString& objectName, const QString& caption,
                               const QString& description, QSize size);

} // namespace kb
