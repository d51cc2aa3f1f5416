#pragma once

#include <QTextBrowser>

class QMenu;
class QPrinter;

namespace kb {

class Dialogs;

// The embedded page view of the print preview: shows one local HTML file and prints it through
// the print dialog. The printout is the page alone: no page number, header or footer is added.
class Browser : public QTextBrowser {
    Q_OBJECT

  public:
    // Command and option codes of ExecWB, as the preview passes them.
    static constexpr int OLECMDID_PRINT = 6;
    static constexpr int OLECMDEXECOPT_PROMPTUSER = 2;

    explicit Browser(Dialogs& dialogs, QWidget* parent = nullptr);

    // Shows the local file `path`. Navigating to the page already shown reads it again, so a
    // rewritten file is never hidden behind the old view.
    void Navigate(const QString& path);

    // The name a printout carries (a print job's name, the default name of a PDF file). Left
    // empty, the page's title is used.
    void setPrintName(const QString& name) { m_printName = name; }
    QString printName() const;

    // Runs a browser command; only printing with the print dialog is known. Returns true when
    // the command ran to the end (for printing: the user chose to print and it was printed).
    bool ExecWB(int command, int option);

    // Asks for a printer through the print dialog and prints the page. Returns false when the
    // user cancelled; throws StoreError when the printout could not be made.
    bool printWithPrompt();

    // Prints the page as it is laid out for `printer`'s page size, without page numbers.
    // Throws StoreError when the printer can't be drawn on (e.g. an unwritable PDF file).
    void printTo(QPrinter& printer) const;

    // The context menu of the view: the standard entries and, first, "Print". The caller owns
    // the menu. Kept apart from the event so that it can be inspected without showing it.
    QMenu* createContextMenu(const QPoint& position);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void printFromMenu();

    Dialogs& m_dialogs;
    QString m_printName;
};

} // namespace kb
