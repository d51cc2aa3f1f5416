// kettlebox-db import-access: brings the recipes of an old Access recipe file into a recipe
// file of ours, the same way the program does at its first start.

#include "access/convert.h"
#include "core/store_error.h"
#include "history/backups.h"
#include "tools/kettlebox-db/commands.h"
#include "tools/kettlebox-db/progress_line.h"

#include <QDir>
#include <QFileInfo>

namespace kb::cli {

int runImportAccess(Context& ctx) {
    const QString name = QStringLiteral("import-access");
    if (helpAsked(ctx, name))
        return kExitOk;
    QStringList positional;
    for (const QString& a : ctx.args) {
        if (a.startsWith(QLatin1Char('-')))
            return usageError(ctx, name);
        positional << a;
    }
    if (positional.isEmpty() || positional.size() > 2)
        return usageError(ctx, name);
    if (!QFileInfo(positional[0]).isFile())
        return fail(ctx, QStringLiteral("\"%1\" does not exist.").arg(positional[0]));
    const QString folder = existingFolder(ctx, positional.value(1));
    if (folder.isEmpty())
        return kExitFailed;
    access::ImportOptions options;
    // As before every import: a backup of the file as it was, once nothing else can change it.
    options.beforeReplace = [&ctx](const QString& databasePath) {
        try {
            backupRecipeFile(databasePath, progressLine(ctx, QStringLiteral("Backing up")));
        } catch (const StoreError& e) {
            throw StoreError(
                QStringLiteral("The backup of \"%1\" that comes before an import "
                               "could not be made, so nothing was brought in: %2")
                    .arg(QDir::toNativeSeparators(recipeFileOf(databasePath)), e.message()));
        }
    };
    try {
        const access::Report report = access::importInto(positional[0], folder, options);
        ctx.out << report.text();
        ctx.out.flush();
        return report.complete ? kExitOk : kExitFailed;
    } catch (const StoreError& e) {
        return fail(ctx, e.message());
    }
}

} // namespace kb::cli
