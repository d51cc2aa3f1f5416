// kettlebox-db backup: a whole-file backup of the recipe file now.

#include "core/recipelock.h"
#include "core/store_error.h"
#include "history/backups.h"
#include "tools/kettlebox-db/commands.h"
#include "tools/kettlebox-db/progress_line.h"

#include <QDir>

namespace kb::cli {

int runBackup(Context& ctx) {
    const FolderCommand cmd = folderCommand(ctx, QStringLiteral("backup"), 0, 1);
    if (cmd.exit >= 0)
        return cmd.exit;
    try {
        const RecipeFileLock lock(cmd.folder, RecipeFileLock::Mode::Write);
        const QString path =
            backupRecipeFile(cmd.recipe, progressLine(ctx, QStringLiteral("Backing up")));
        ctx.out << QDir::toNativeSeparators(path) << "\n";
        return kExitOk;
    } catch (const StoreError& e) {
        return fail(ctx, e.message());
    }
}

} // namespace kb::cli
