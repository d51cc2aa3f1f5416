// The capabilities beside the specified window reach the user through the tree's context menu
// and keyboard shortcuts; each registers its commands here, in menu order.

#include "ui/main/mainform.h"

#include "ui/history/historyfeature.h"

namespace kb {

void Main::installCommands() {
    auto* history = new HistoryFeature(this, store(), dialogs(), appFolder());
    addTreeCommand(QStringLiteral("Deleted Recipes..."),
                   QKeySequence(QStringLiteral("Ctrl+Shift+D")),
                   [history] { history->showDeletedRecipes(); });
}

} // namespace kb
