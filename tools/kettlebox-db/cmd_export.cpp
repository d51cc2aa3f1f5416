// kettlebox-db export: recipes out of the recipe file as schema.org JSON-LD, plain text or
// MealMaster.

#include "core/recipefile.h"
#include "core/store_error.h"
#include "exchange/exporter.h"
#include "tools/kettlebox-db/commands.h"
#include "tools/kettlebox-db/progress_line.h"

#include <QDir>
#include <QFileInfo>

namespace kb::cli {

int runExport(Context& ctx) {
    const QString self = QStringLiteral("export");
    if (helpAsked(ctx, self))
        return kExitOk;
    QString format;
    QString category;
    QString folder;
    QString output;
    for (qsizetype i = 0; i < ctx.args.size(); ++i) {
        const QString& a = ctx.args[i];
        const bool hasValue = i + 1 < ctx.args.size();
        if (a == QLatin1String("--format") && hasValue)
            format = ctx.args[++i];
        else if (a == QLatin1String("--category") && hasValue)
            category = ctx.args[++i];
        else if (a == QLatin1String("--folder") && hasValue)
            folder = ctx.args[++i];
        else if (a.startsWith(QLatin1Char('-')) || !output.isEmpty())
            return usageError(ctx, self);
        else
            output = a;
    }
    if (output.isEmpty() || (format != QLatin1String("jsonld") && format != QLatin1String("text") &&
                             format != QLatin1String("mealmaster")))
        return usageError(ctx, self);
    const QString path = existingFolder(ctx, folder);
    if (path.isEmpty())
        return kExitFailed;
    try {
        const exchange::Collection c = exchange::collectRecipes(RecipeFile(path), category);
        const auto kind = format == QLatin1String("text") ? exchange::ExportFormat::Text
                          : format == QLatin1String("mealmaster")
                              ? exchange::ExportFormat::MealMaster
                              : exchange::ExportFormat::JsonLd;
        exchange::exportRecipes(output, c, kind, recipesLine(ctx, QStringLiteral("Exported")));
        ctx.err << "\n";
        ctx.out << "Exported " << exchange::recipesCounted(c.recipes.size()) << " of "
                << exchange::counted(c.categories.size(), QStringLiteral("category"),
                                     QStringLiteral("categories"))
                << " to " << QDir::toNativeSeparators(QFileInfo(output).absoluteFilePath())
                << ".\n";
    } catch (const StoreError& e) {
        return fail(ctx, e.message());
    }
    return kExitOk;
}

} // namespace kb::cli
