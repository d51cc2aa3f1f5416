// kettlebox-db import-access: brings the recipes of an old Access recipe file into a recipe
// file of ours, the same way the program does at its first start.

#include "access/convert.h"
#include "core/store_error.h"
#include "tools/kettlebox-db/commands.h"

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
    try {
        const access::Report report = access::importInto(positional[0], folder);
        ctx.out << report.text();
        ctx.out.flush();
        return report.complete ? kExitOk : kExitFailed;
    } catch (const StoreError& e) {
        return fail(ctx, e.message());
    }
}

} // namespace kb::cli
