// kettlebox-db check: the engine's quick check of the recipe file, its history and its backups.

#include "history/backups.h"
#include "history/history.h"
#include "tools/kettlebox-db/commands.h"
#include "tools/kettlebox-db/progress_line.h"

#include <QDir>
#include <QFileInfo>

namespace kb::cli {

int runCheck(Context& ctx) {
    const FolderCommand cmd = folderCommand(ctx, QStringLiteral("check"), 0, 1);
    if (cmd.exit >= 0)
        return cmd.exit;
    const QString& path = cmd.recipe;
    bool clean = true;
    const auto line = [&](const QString& file, const FileCheck& check) {
        clean = clean && check.clean;
        ctx.out << (check.clean ? "ok       " : "DAMAGED  ") << QDir::toNativeSeparators(file)
                << (check.clean ? QString() : QStringLiteral(": ") + check.detail) << "\n";
        ctx.out.flush();
    };
    line(recipeFileOf(path), checkRecipeFile(recipeFileOf(path)));
    if (QFileInfo::exists(historyFileOf(path)))
        line(historyFileOf(path), checkHistoryFile(path));
    const QList<BackupInfo> backups = listBackups(path);
    const Progress progress = progressLine(ctx, QStringLiteral("Checking backups"));
    for (qsizetype i = 0; i < backups.size(); ++i) {
        line(backups.at(i).path, checkRecipeFile(backups.at(i).path));
        reportProgress(progress, i + 1, backups.size());
    }
    return clean ? kExitOk : kExitFailed;
}

} // namespace kb::cli
