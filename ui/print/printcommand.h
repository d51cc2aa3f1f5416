#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

namespace kb {

class Dialogs;
class frmprint;

// The print command of the main window: checks that a recipe is shown, writes print.txt and
// print.htm into the program's folder and shows them in the one print preview window,
// titled after the recipe and not modal. A failure to write the files is shown as one
// message; the command never throws.
class PrintCommand : public QObject {
    Q_OBJECT

  public:
    // `appFolder` is the program's folder (QCoreApplication::applicationDirPath() in the program).
    PrintCommand(const QString& appFolder, Dialogs& dialogs, QObject* parent = nullptr);
    ~PrintCommand() override;

    // Prints the recipe of the four boxes: name, author, ingredients, instructions.
    void run(const QString& text1, const QString& text2, const QString& text3,
             const QString& text4);

    // The preview window while it is loaded, else nullptr.
    frmprint* preview() const { return m_preview; }

    QString appFolder() const { return m_appFolder; }

  private:
    void execute(const QString& text1, const QString& text2, const QString& text3,
                 const QString& text4);

    QString m_appFolder;
    Dialogs& m_dialogs;
    QPointer<frmprint> m_preview;
};

} // namespace kb
