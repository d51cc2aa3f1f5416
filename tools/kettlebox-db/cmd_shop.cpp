// kettlebox-db shop: the merged shopping list of the recipes named.

#include "core/database.h"
#include "core/recipefile.h"
#include "core/store_error.h"
#include "kitchen/shopping.h"
#include "kitchen/shoppingstore.h"
#include "tools/kettlebox-db/commands.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

namespace kb::cli {

namespace {

std::optional<double> positiveNumber(const QString& text) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v <= 0 || v > 1000)
        return std::nullopt;
    return v;
}

} // namespace

int runShop(Context& ctx) {
    const QString self = QStringLiteral("shop");
    if (helpAsked(ctx, self))
        return kExitOk;
    double factor = 1;
    bool factorGiven = false;
    kitchen::System system = kitchen::System::AsWritten;
    QString folder;
    QStringList named;
    for (qsizetype i = 0; i < ctx.args.size(); ++i) {
        const QString& a = ctx.args[i];
        const bool hasValue = i + 1 < ctx.args.size();
        if ((a == QLatin1String("--servings") || a == QLatin1String("--factor")) && hasValue &&
            !factorGiven) {
            const auto v = positiveNumber(ctx.args[++i]);
            if (!v)
                return fail(ctx,
                            QStringLiteral("%1 takes a number above 0 and at most 1000.").arg(a));
            factor = *v;
            factorGiven = true;
        } else if (a == QLatin1String("--system") && hasValue) {
            const QString s = ctx.args[++i];
            if (s == QLatin1String("metric"))
                system = kitchen::System::Metric;
            else if (s == QLatin1String("us"))
                system = kitchen::System::Us;
            else
                return usageError(ctx, self);
        } else if (a == QLatin1String("--folder") && hasValue && folder.isEmpty()) {
            folder = ctx.args[++i];
        } else if (a.startsWith(QLatin1String("--"))) {
            return usageError(ctx, self);
        } else {
            named << a;
        }
    }
    if (named.isEmpty())
        return usageError(ctx, self);
    QList<kitchen::ListedRecipe> listed;
    for (const QString& n : std::as_const(named)) {
        const qsizetype slash = n.indexOf(QLatin1Char('/'));
        if (slash <= 0 || slash == n.size() - 1)
            return fail(ctx, QStringLiteral("\"%1\" is not CATEGORY/NAME.").arg(n));
        listed.append({0, n.left(slash), n.mid(slash + 1), factor});
    }
    const QString path = existingFolder(ctx, folder);
    if (path.isEmpty())
        return kExitFailed;
    const RecipeFile file(path);
    const QString& base = file.databasePath();
    if (!QFileInfo::exists(file.fileName()))
        return fail(ctx, QStringLiteral("there is no recipe file \"%1\".")
                             .arg(QDir::toNativeSeparators(file.fileName())));
    try {
        auto db = file.open();
        QStringList missing;
        const auto sources = kitchen::shoppingSources(*db, listed, &missing);
        // The cook's aisle corrections count here too, when the window has made any.
        kitchen::AisleTable aisles;
        if (QFileInfo::exists(kitchen::shoppingFileOf(base)))
            aisles = kitchen::aisleTable(*db);
        db->Close();
        if (!missing.isEmpty())
            return fail(ctx,
                        QStringLiteral("no recipe %1 in the recipe file.")
                            .arg(QStringLiteral("\"") + missing.join(QStringLiteral("\", \"")) +
                                 QStringLiteral("\"")));
        ctx.out << kitchen::shoppingText(kitchen::mergeShopping(sources, system, aisles));
    } catch (const StoreError& e) {
        return fail(ctx, e.message());
    }
    return kExitOk;
}

} // namespace kb::cli
