#pragma once

#include "core/progress.h"

#include <QString>

class QPrinter;
class QWidget;

namespace kb {

// Message box styles, added together as the classic message box takes them.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbOKCancel = 1;
inline constexpr int vbYesNoCancel = 3;
inline constexpr int vbYesNo = 4;
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
inline constexpr int vbDefaultButton2 = 256;

// Answer codes.
inline constexpr int vbOK = 1;
inline constexpr int vbCancel = 2;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

// The one way the program asks the user anything. Handed to the store and the forms, so that
// tests can script the answers and read back every prompt.
class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // Shows a message box; an empty title means the application title. Returns the answer code.
    virtual int msgBox(const QString& text, int style = vbOKOnly, const QString& title = {}) = 0;

    // A message box with a second, smaller text beneath `text` and, when `details` is not empty,
    // a part the user opens to read them; the box stays the size of the first two. By default
    // the texts are joined into one box.
    virtual int msgBoxWith(const QString& text, const QString& informative,
                           const QString& details = {}, int style = vbOKOnly,
                           const QString& title = {});

    // Shows an input box; returns the typed text, or the empty string when cancelled.
    virtual QString inputBox(const QString& prompt, const QString& title,
                             const QString& defaultText = {}) = 0;

    // Shows the print dialog for `printer`; true when the user chose to print (the printer then
    // holds the chosen settings), false when cancelled.
    virtual bool printDialog(QPrinter& printer, QWidget* parent) = 0;

    // Asks for a file to read; returns its path, or the empty string when cancelled.
    // `filter` is in the file dialog's form: "Recipes (*.jsonld *.mmf);;All files (*)".
    virtual QString openFileName(const QString& title, const QString& filter) = 0;
    // Asks where to write a file, offering `suggested`; returns the path, or the empty string
    // when cancelled. Replacing an existing file is confirmed by the dialog itself.
    virtual QString saveFileName(const QString& title, const QString& suggested,
                                 const QString& filter) = 0;

    // Shows progress of long work while the returned progress, or a copy of it, lives; a
    // cancel button when `cancellable`, whose press it answers from then on. By default
    // nothing is shown and it always goes on.
    virtual Progress progress(const QString& text, const QString& title, bool cancellable);

    // The title a box really carries.
    static QString effectiveTitle(const QString& title);
    // The width a box needs so that the window manager shows its whole title: the title as the
    // window system shows it (with the program's name appended) beside the frame's buttons.
    static int titleWidth(const QString& title);
};

// The real boxes, parented to the active window.
class QtDialogs final : public Dialogs {
  public:
    int msgBox(const QString& text, int style = vbOKOnly, const QString& title = {}) override;
    int msgBoxWith(const QString& text, const QString& informative, const QString& details = {},
                   int style = vbOKOnly, const QString& title = {}) override;
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText = {}) override;
    bool printDialog(QPrinter& printer, QWidget* parent) override;
    QString openFileName(const QString& title, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& suggested,
                         const QString& filter) override;
    Progress progress(const QString& text, const QString& title, bool cancellable) override;
};

} // namespace kb
