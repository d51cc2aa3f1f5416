// kettlebox-db undelete: one entry of the history back into its category, as the window does.

#include "core/store_error.h"
#include "history/history.h"
#include "tools/kettlebox-db/commands.h"
#include "tools/kettlebox-db/progress_line.h"

#include <QDir>

namespace kb::cli {

int runUndelete(Context& ctx) {
    if (helpAsked(ctx, QStringLiteral("undelete")))
        return kExitOk;
    const auto args = positional(ctx, QStringLiteral("undelete"), 1, 2);
    if (!args)
        return kExitUsage;
    bool ok = false;
    const qint64 id = args->at(0).toLongLong(&ok);
    if (!ok || id <= 0)
        return usageError(ctx, QStringLiteral("undelete"));
    const QString folder = existingFolder(ctx, args->value(1));
    if (folder.isEmpty())
        return kExitFailed;
    try {
        auto db = Database::OpenDatabase(QDir(folder).filePath(QStringLiteral("Recipe")));
        HistoryFollower history;
        const HistoryEntry e = putBack(*db, {&history}, id);
        db->Close();
        ctx.out << "Put \"" << e.name() << "\" back into the category \"" << e.category << "\".\n";
        return kExitOk;
    } catch (const StoreError& e) {
        return fail(ctx, e.message());
    }
}

} // namespace kb::cli
