// kettlebox-db undelete: one entry of the history back into its category, as the window does.

#include "core/recipelock.h"
#include "core/store_error.h"
#include "details/details.h"
#include "history/history.h"
#include "tools/kettlebox-db/commands.h"
#include "tools/kettlebox-db/progress_line.h"

#include <QDir>

namespace kb::cli {

int runUndelete(Context& ctx) {
    const FolderCommand cmd = folderCommand(ctx, QStringLiteral("undelete"), 1, 2);
    if (cmd.exit >= 0)
        return cmd.exit;
    bool ok = false;
    const qint64 id = cmd.args.at(0).toLongLong(&ok);
    if (!ok || id <= 0)
        return usageError(ctx, QStringLiteral("undelete"));
    try {
        const RecipeFileLock lock(cmd.folder, RecipeFileLock::Mode::Write);
        RecipeFile file = RecipeFile::fromDatabasePath(cmd.recipe);
        HistoryFollower history;
        file.addFollower(&history);
        // The details kept aside when it was deleted come back with it.
        DetailsFollower details;
        file.addFollower(&details);
        QString backAs;
        const HistoryEntry e = putBack(file, id, &backAs);
        ctx.out << "Put \"" << e.recipe.name() << "\" back into the category \""
                << e.recipe.place.category << "\"";
        if (backAs != e.recipe.name())
            ctx.out << " as \"" << backAs << "\", since a recipe of its name is there";
        ctx.out << ".\n";
        const QString warning = file.takeWarning();
        if (!warning.isEmpty())
            ctx.err << "kettlebox-db: " << warning << "\n";
        return kExitOk;
    } catch (const StoreError& e) {
        return fail(ctx, e.message());
    }
}

} // namespace kb::cli
