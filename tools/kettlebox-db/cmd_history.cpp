// kettlebox-db history: the recipes the program deleted or overwrote, newest first.

#include "core/recipefile.h"
#include "core/store_error.h"
#include "history/history.h"
#include "tools/kettlebox-db/commands.h"
#include "tools/kettlebox-db/progress_line.h"

#include <QDir>
#include <QFileInfo>

namespace kb::cli {

int runHistory(Context& ctx) {
    const FolderCommand cmd = folderCommand(ctx, QStringLiteral("history"), 0, 1);
    if (cmd.exit >= 0)
        return cmd.exit;
    const RecipeFile file = RecipeFile::fromDatabasePath(cmd.recipe);
    if (!QFileInfo::exists(file.historyFile())) {
        ctx.out << "The history is empty.\n";
        return kExitOk;
    }
    try {
        const QList<HistoryEntry> all = listHistory(file);
        if (all.isEmpty())
            ctx.out << "The history is empty.\n";
        for (const HistoryEntry& e : all)
            ctx.out << e.id << "\t" << e.when.toLocalTime().toString(Qt::ISODate) << "\t"
                    << whyText(e.why) << "\t" << printable(e.recipe.place.category) << "\t"
                    << printable(e.recipe.name()) << "\n";
        return kExitOk;
    } catch (const StoreError& e) {
        return fail(ctx, e.message());
    }
}

} // namespace kb::cli
