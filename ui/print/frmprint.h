#pragma once

#include <QWidget>

class QLabel;

namespace kb {

class Browser;
class Dialogs;
class xp_canvas;
class xpcmdbutton;
class xptopbuttons;

// The print preview window: the page print.htm of the program's folder in a page view, with
// a "Print" button that prints it through the print dialog. A skinned, borderless window
// whose frame, caption buttons and page view follow its size.
//
// Constructing it is loading it: the page view opens the page at once. Closing it by its
// close button, by "Close print Form" or by the window system deletes it.
class frmprint : public QWidget {
    Q_OBJECT

  public:
    // Size of the window, and of the design it is laid out from, in pixels.
    static constexpr int kWidth = 553;
    static constexpr int kHeight = 481;

    explicit frmprint(const QString& appFolder, Dialogs& dialogs, QWidget* parent = nullptr);
    ~frmprint() override;

    // The window's own caption (its title on the task bar); the frame keeps showing its own.
    QString Caption() const { return windowTitle(); }
    void setCaption(const QString& caption) { setWindowTitle(caption); }

    // Shows the page of the program's folder again, as it is on disk now.
    void Form_Load();

    // The controls, by their names on the form.
    xp_canvas* frmprintXP = nullptr;
    xptopbuttons* xptopbuttons1 = nullptr; // close
    xptopbuttons* xptopbuttons2 = nullptr; // maximise, not available
    xptopbuttons* xptopbuttons3 = nullptr; // minimise
    xpcmdbutton* print = nullptr;
    xpcmdbutton* printform = nullptr;
    QLabel* Label1 = nullptr;
    Browser* WB = nullptr;

  public slots:
    void print_Click();
    void printform_Click();
    void xptopbuttons1_Click();
    void xptopbuttons3_Click();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void placeControls();

    QString m_appFolder;
    Dialogs& m_dialogs;
};

} // namespace kb
