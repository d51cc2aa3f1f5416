#include "platform/dialogs.h"

#include "core/app.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpacerItem>
#include <algorithm>
#include <memory>

namespace kb {

QString Dialogs::effectiveTitle(const QString& title) {
    return title.isEmpty() ? kAppTitle : title;
}

namespace {

// The dialog belongs to the window it is shown over, as a child of it: a window closed while the
// work goes on takes the dialog along, and the work goes on without one. Only a dialog still
// there is deleted when the work lets go of it.
class ProgressWindow {
  public:
    explicit ProgressWindow(QProgressDialog* dialog) : m_dialog(dialog) {}
    ~ProgressWindow() { delete m_dialog.data(); }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    QProgressDialog* get() const { return m_dialog.data(); }

  private:
    QPointer<QProgressDialog> m_dialog;
};

// Shown only when the work lasts longer than half a second.
std::shared_ptr<ProgressWindow> progressDialog(const QString& text, const QString& title,
                                               bool cancellable) {
    auto* dialog = new QProgressDialog(text, cancellable ? QStringLiteral("Cancel") : QString(), 0,
                                       1000, QApplication::activeWindow());
    auto window = std::make_shared<ProgressWindow>(dialog);
    dialog->setWindowTitle(Dialogs::effectiveTitle(title));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setMinimumDuration(500);
    dialog->setAutoReset(false);
    dialog->setAccessibleName(text);
    dialog->setMinimumWidth(std::min(Dialogs::titleWidth(title), 900));
    if (!cancellable)
        dialog->setCancelButton(nullptr);
    dialog->setValue(0);
    return window;
}

} // namespace

Progress Dialogs::progress(const QString&, const QString&, bool) {
    return [](std::int64_t, std::int64_t) { return true; };
}

Progress QtDialogs::progress(const QString& text, const QString& title, bool cancellable) {
    return
        [window = progressDialog(text, title, cancellable)](std::int64_t done, std::int64_t total) {
            QProgressDialog* dialog = window->get();
            if (!dialog)
                return true;
            dialog->setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
            QApplication::processEvents();
            // The events may have closed the window, and the dialog with it.
            dialog = window->get();
            return !dialog || !dialog->wasCanceled();
        };
}

int Dialogs::msgBoxWith(const QString& text, const QString& informative, const QString& details,
                        int style, const QString& title) {
    QString all = text;
    for (const QString& more : {informative, details})
        if (!more.isEmpty())
            all += QStringLiteral("\r\n\r\n") + more;
    return msgBox(all, style, title);
}

int Dialogs::titleWidth(const QString& title) {
    // The window system appends the program's name to a title that lacks it; the frame's
    // icon and buttons take about 120 pixels, and caption fonts are often bold.
    QString shown = effectiveTitle(title);
    const QString program = QGuiApplication::applicationDisplayName();
    if (!program.isEmpty() && !shown.contains(program))
        shown += QStringLiteral(" \u2014 ") + program;
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(shown) * 11 / 10 + 120;
}

namespace {

// The box sizes itself to its text; a short text must not leave the title cut short. Called
// last: the box lays itself out anew with each button and text it is given.
int run(QMessageBox& box, const QString& title) {
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(std::min(Dialogs::titleWidth(title), 900), 0,
                                      QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    return box.exec();
}

int showBox(const QString& text, const QString& informative, const QString& details, int style,
            const QString& title) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(Dialogs::effectiveTitle(title));
    box.setText(text);
    box.setInformativeText(informative);
    if (!details.isEmpty())
        box.setDetailedText(details);

    switch (style & 0x70) {
    case vbCritical:
        box.setIcon(QMessageBox::Critical);
        break;
    case vbQuestion:
        box.setIcon(QMessageBox::Question);
        break;
    case vbExclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case vbInformation:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }

    const bool secondDefault = (style & 0x300) == vbDefaultButton2;
    switch (style & 0x7) {
    case vbYesNo: {
        QPushButton* yes = box.addButton(QMessageBox::Yes);
        QPushButton* no = box.addButton(QMessageBox::No);
        box.setDefaultButton(secondDefault ? no : yes);
        box.setEscapeButton(no);
        run(box, title);
        return box.clickedButton() == yes ? vbYes : vbNo;
    }
    case vbYesNoCancel: {
        QPushButton* yes = box.addButton(QMessageBox::Yes);
        QPushButton* no = box.addButton(QMessageBox::No);
        QPushButton* cancel = box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(secondDefault ? no : yes);
        // Escape, or closing the box, is the one answer that changes nothing.
        box.setEscapeButton(cancel);
        run(box, title);
        if (box.clickedButton() == yes)
            return vbYes;
        return box.clickedButton() == no ? vbNo : vbCancel;
    }
    case vbOKCancel: {
        QPushButton* ok = box.addButton(QMessageBox::Ok);
        QPushButton* cancel = box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(secondDefault ? cancel : ok);
        box.setEscapeButton(cancel);
        run(box, title);
        return box.clickedButton() == ok ? vbOK : vbCancel;
    }
    default:
        box.addButton(QMessageBox::Ok);
        run(box, title);
        return vbOK;
    }
}

} // namespace

int QtDialogs::msgBox(const QString& text, int style, const QString& title) {
    return showBox(text, {}, {}, style, title);
}

int QtDialogs::msgBoxWith(const QString& text, const QString& informative, const QString& details,
                          int style, const QString& title) {
    return showBox(text, informative, details, style, title);
}

QString QtDialogs::inputBox(const QString& prompt, const QString& title,
                            const QString& defaultText) {
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(effectiveTitle(title));
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    dialog.setInputMode(QInputDialog::TextInput);
    // The dialog takes its size from its layout: the field is made wide enough for the title.
    if (auto* field = dialog.findChild<QLineEdit*>())
        field->setMinimumWidth(std::min(titleWidth(title), 900));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.textValue();
}

bool QtDialogs::printDialog(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent ? parent : QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

QString QtDialogs::openFileName(const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), effectiveTitle(title), {},
                                        filter);
}

QString QtDialogs::saveFileName(const QString& title, const QString& suggested,
                                const QString& filter) {
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), effectiveTitle(title),
                                        suggested, filter);
}

} // namespace kb
