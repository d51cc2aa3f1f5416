// kettlebox-db backups: the backups beside the recipe file, newest first.

#include "core/database.h"
#include "core/recipefile.h"
#include "core/recipetable.h"
#include "core/store_error.h"
#include "history/backups.h"
#include "tools/kettlebox-db/commands.h"
#include "tools/kettlebox-db/progress_line.h"

#include <QDir>
#include <QLocale>

namespace kb::cli {

namespace {

// The recipes of a backup, or -1 when it can't be read.
qint64 recipeCount(const QString& mdbFile) {
    try {
        auto db = Database::OpenDatabase(withoutRecipeSuffix(mdbFile));
        qint64 count = 0;
        for (const QString& t : db->TableDefs()) {
            if (isExcludedTable(t))
                continue;
            count +=
                db->Query(QStringLiteral("SELECT count(*) FROM main.%1").arg(quotedIdentifier(t)))
                    .value(0)
                    .value(0)
                    .toLongLong();
        }
        db->Close();
        return count;
    } catch (const StoreError&) {
        return -1;
    }
}

} // namespace

int runBackups(Context& ctx) {
    const FolderCommand cmd = folderCommand(ctx, QStringLiteral("backups"), 0, 1);
    if (cmd.exit >= 0)
        return cmd.exit;
    const QList<BackupInfo> all = listBackups(cmd.recipe);
    if (all.isEmpty())
        ctx.out << "No backups in "
                << QDir::toNativeSeparators(cmd.folder + QLatin1String("/Backups")) << ".\n";
    for (const BackupInfo& b : all) {
        const qint64 count = recipeCount(b.path);
        ctx.out << b.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) << "  "
                << QLocale::c().formattedDataSize(b.size, 1, QLocale::DataSizeTraditionalFormat)
                << "  "
                << (count < 0 ? QStringLiteral("unreadable")
                              : QStringLiteral("%1 recipes").arg(count))
                << "  " << QDir::toNativeSeparators(b.path) << "\n";
    }
    return kExitOk;
}

} // namespace kb::cli
