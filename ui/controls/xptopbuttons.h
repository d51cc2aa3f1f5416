#pragma once

#include "platform/pictureclip.h"

#include <QWidget>
#include <array>

class QTimer;

namespace kb {

class PropertyBag;

// A caption button (close, maximise, minimise, restore by Value 0 to 3), always 21 x 21
// pixels, showing the normal, hover, pressed or disabled cell of its strip. A 10 ms pointer
// poll, running from creation and restarted by every move, raises MouseOut.
//
// Life cycle: construct, then InitProperties() or ReadProperties(bag). Enabled is QWidget's
// own state: setEnabled() from anywhere shows the matching cell.
class xptopbuttons : public QWidget {
    Q_OBJECT

  public:
    enum Strip { Close = 0, Maximize = 1, Minimize = 2, Restore = 3 };
    enum Cell { CellNormal = 0, CellHover = 1, CellPressed = 2, CellDisabled = 3 };
    static constexpr int kSize = 21;

    explicit xptopbuttons(QWidget* parent = nullptr);
    ~xptopbuttons() override;

    int Value() const { return m_Value; }
    void setValue(int value);
    bool Enabled() const;

    void InitProperties();
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // Takes the strip from Value (0 to 3 only) and shows its resting cell.
    void ShowValueImage();

    int stripIndex() const { return m_strip; }
    int shownCell() const { return m_cell; }
    bool isHoverPolling() const;
    // "Close", "Maximize", "Minimize" or "Restore", by the strip in use.
    QString stripName() const;

    QSize sizeHint() const override { return {kSize, kSize}; }

  signals:
    void Click();
    void MouseOut();
    void MouseDown(int Button, int Shift, float X, float Y);
    void MouseMove(int Button, int Shift, float X, float Y);
    void MouseUp(int Button, int Shift, float X, float Y);
    // A persisted property changed ("Value", "Enabled").
    void PropertyChanged(const QString& name);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void showCell(int cell);
    void pollPointer();

    int m_Value = 0;
    int m_strip = Close;
    int m_cell = CellNormal;
    QTimer* m_timer = nullptr;
    std::array<PictureClip, 4> m_pc;
    bool m_secondClick = false;
};

} // namespace kb
