#include "ui/print/printcommand.h"

#include "core/printexport.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "ui/print/frmprint.h"

namespace kb {

PrintCommand::PrintCommand(const QString& appFolder, Dialogs& dialogs, QObject* parent)
    : QObject(parent), m_appFolder(appFolder), m_dialogs(dialogs) {}

// The preview has no parent window; it goes with the command, that is with the main window.
PrintCommand::~PrintCommand() {
    delete m_preview.data();
}

void PrintCommand::run(const QString& text1, const QString& text2, const QString& text3,
                       const QString& text4) {
    runGuarded(m_dialogs, [&] { execute(text1, text2, text3, text4); });
}

void PrintCommand::execute(const QString& text1, const QString& text2, const QString& text3,
                           const QString& text4) {
    const RecipeFields recipe{text1, text2, text3, text4};
    switch (checkPrintable(recipe)) {
    case PrintCheck::NoRecipe:
        m_dialogs.msgBox(kChooseRecipeMessage);
        return;
    case PrintCheck::Blank:
        return;
    case PrintCheck::Ready:
        break;
    }

    writePrintFiles(m_appFolder, recipe);

    if (m_preview) {
        // Still open from an earlier print: show the page just written, not the old one.
        m_preview->Form_Load();
    } else {
        m_preview = new frmprint(m_appFolder, m_dialogs);
    }
    m_preview->setCaption(printCaption(text1));

    // Brought up even when it was minimised, so that the new recipe is seen.
    m_preview->setWindowState(m_preview->windowState() & ~Qt::WindowMinimized);
    m_preview->show();
    m_preview->raise();
    m_preview->activateWindow();
}

} // namespace kb
