// kettlebox-db restore: a backup in place of the recipe file, the current one backed up first.

#include "core/store_error.h"
#include "history/backups.h"
#include "tools/kettlebox-db/commands.h"
#include "tools/kettlebox-db/progress_line.h"

#include <QDir>
#include <QFileInfo>

namespace kb::cli {

int runRestore(Context& ctx) {
    const FolderCommand cmd = folderCommand(ctx, QStringLiteral("restore"), 1, 2);
    if (cmd.exit >= 0)
        return cmd.exit;
    const QString& path = cmd.recipe;
    // A bare name is looked for in the Backups cmd.folder.
    QString backup = cmd.args.at(0);
    if (!QFileInfo::exists(backup) && !backup.contains(QLatin1Char('/')))
        backup = QDir(backupsFolderOf(path)).filePath(backup);
    try {
        const QString saved = restoreBackup(QFileInfo(backup).absoluteFilePath(), path,
                                            progressLine(ctx, QStringLiteral("Restoring")));
        if (!saved.isEmpty())
            ctx.out << "The replaced file was saved as " << QDir::toNativeSeparators(saved) << "\n";
        ctx.out << "Restored " << QDir::toNativeSeparators(backup) << " to "
                << QDir::toNativeSeparators(recipeFileOf(path)) << "\n";
        return kExitOk;
    } catch (const StoreError& e) {
        return fail(ctx, e.message());
    }
}

} // namespace kb::cli
