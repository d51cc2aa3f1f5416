// kettlebox-db backup: a whole-file backup of the recipe file now.

#include "core/store_error.h"
#include "history/backups.h"
#include "tools/kettlebox-db/commands.h"
#include "tools/kettlebox-db/progress_line.h"

#include <QDir>

namespace kb::cli {

int runBackup(Context& ctx) {
    if (helpAsked(ctx, QStringLiteral("backup")))
        return kExitOk;
    const auto args = positional(ctx, QStringLiteral("backup"), 0, 1);
    if (!args)
        return kExitUsage;
    const QString folder = existingFolder(ctx, args->value(0));
    if (folder.isEmpty())
        return kExitFailed;
    try {
        const QString path = backupRecipeFile(QDir(folder).filePath(QStringLiteral("Recipe")),
                                              progressLine(ctx, QStringLiteral("Backing up")));
        ctx.out << QDir::toNativeSeparators(path) << "\n";
        return kExitOk;
    } catch (const StoreError& e) {
        return fail(ctx, e.message());
    }
}

} // namespace kb::cli
