#include "ui/print/frmprint.h"

#include "core/printexport.h"
#include "platform/browser.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/propertybag.h"
#include "ui/controls/formdesign.h"
#include "ui/controls/xp_canvas.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/controls/xptopbuttons.h"

#include <QFont>
#include <QLabel>
#include <QResizeEvent>

namespace kb {

namespace {

// The design of the window, in pixels (the twips of the form divided by kTwipsPerPixel). Controls
// right of the page view keep their distance to the right edge when the window is resized.
constexpr QRect kCloseRect(528, 6, 21, 21);
constexpr QRect kMaximiseRect(505, 6, 21, 21);
constexpr QRect kMinimiseRect(482, 6, 21, 21);
constexpr QRect kPrintRect(480, 30, 65, 25);
constexpr QRect kPrintFormRect(352, 30, 113, 25);
constexpr QRect kLabelRect(8, 40, 295, 13);
constexpr QRect kViewRect(8, 56, 537, 409);

// Smallest size at which the buttons and the page view still fit beside each other.
constexpr QSize kMinimumSize(kPrintFormRect.left() - kLabelRect.left() + 16, 150);

QRect fromRight(const QRect& design, int width) {
    return {width - (frmprint::kWidth - design.left()), design.top(), design.width(),
            design.height()};
}

} // namespace

frmprint::frmprint(const QString& appFolder, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_appFolder(appFolder),
      m_dialogs(dialogs) {
    setObjectName(QStringLiteral("frmprint"));
    setAttribute(Qt::WA_DeleteOnClose);
    // The main window ends the program; an open preview must not keep it running.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Print"));
    setMinimumSize(kMinimumSize);
    resize(kWidth, kHeight);

    frmprintXP = new xp_canvas(this);
    frmprintXP->setObjectName(QStringLiteral("frmprintXP"));
    frmprintXP->setGeometry(0, 0, kWidth, kHeight);
    frmprintXP->ReadProperties(PropertyBag({{QStringLiteral("Caption"), QStringLiteral("Print")}}));

    const auto captionButton = [this](const char* name, const QVariantMap& stored) {
        auto* button = new xptopbuttons(frmprintXP);
        button->setObjectName(QLatin1String(name));
        button->ReadProperties(PropertyBag(stored));
        return button;
    };
    xptopbuttons3 = captionButton("xptopbuttons3", {{QStringLiteral("Value"), 2}});
    xptopbuttons2 = captionButton(
        "xptopbuttons2", {{QStringLiteral("Value"), 1}, {QStringLiteral("Enabled"), false}});
    xptopbuttons1 = captionButton("xptopbuttons1", {});

    const auto commandButton = [this](const char* name, const QString& caption) {
        auto* button = new xpcmdbutton(frmprintXP);
        button->setObjectName(QLatin1String(name));
        button->ReadProperties(PropertyBag(
            {{QStringLiteral("Caption"), caption}, {QStringLiteral("Font"), buttonFont()}}));
        return button;
    };
    print = commandButton("print", QStringLiteral("Print"));
    printform = commandButton("printform", QStringLiteral("Close print Form"));

    Label1 = new QLabel(QStringLiteral("Right Click On White Area in the View Box To Print."),
                        frmprintXP);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(formFont());

    WB = new Browser(dialogs, frmprintXP);
    WB->setObjectName(QStringLiteral("WB"));
    WB->setPrintName(windowTitle());

    // The caption buttons lie over the caption bar, which stays beneath them.
    for (QWidget* button : {xptopbuttons1, xptopbuttons2, xptopbuttons3})
        button->raise();

    connect(print, &xpcmdbutton::Click, this, &frmprint::print_Click);
    connect(printform, &xpcmdbutton::Click, this, &frmprint::printform_Click);
    connect(xptopbuttons1, &xptopbuttons::Click, this, &frmprint::xptopbuttons1_Click);
    connect(xptopbuttons3, &xptopbuttons::Click, this, &frmprint::xptopbuttons3_Click);

    placeControls();
    Form_Load();
}

frmprint::~frmprint() = default;

void frmprint::Form_Load() {
    WB->Navigate(printPagePath(m_appFolder));
}

void frmprint::print_Click() {
    runGuarded(m_dialogs,
               [this] { WB->ExecWB(Browser::OLECMDID_PRINT, Browser::OLECMDEXECOPT_PROMPTUSER); });
}

void frmprint::printform_Click() {
    close();
}

void frmprint::xptopbuttons1_Click() {
    close();
}

void frmprint::xptopbuttons3_Click() {
    showMinimized();
}

// A printout is named after the window: "Print [ Pea Soup ] Recipe.pdf" is what the print
// dialog then offers as the file name.
void frmprint::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowTitleChange && WB)
        WB->setPrintName(windowTitle());
}

void frmprint::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeControls();
}

// The frame, the page view and the right-hand controls follow the window's size; at the
// design size everything stands where the form puts it.
void frmprint::placeControls() {
    const int w = width();
    const int h = height();
    frmprintXP->setGeometry(0, 0, w, h);
    xptopbuttons3->setGeometry(fromRight(kMinimiseRect, w));
    xptopbuttons2->setGeometry(fromRight(kMaximiseRect, w));
    xptopbuttons1->setGeometry(fromRight(kCloseRect, w));
    print->setGeometry(fromRight(kPrintRect, w));
    printform->setGeometry(fromRight(kPrintFormRect, w));
    Label1->setGeometry(kLabelRect);
    WB->setGeometry(kViewRect.left(), kViewRect.top(),
                    std::max(0, w - (kWidth - kViewRect.width())),
                    std::max(0, h - (kHeight - kViewRect.height())));
}

} // namespace kb
