// kettlebox-db show: one recipe with its details, as text or as the JSON-LD the export writes.

#include "core/recipefile.h"
#include "details/details.h"
#include "exchange/exporter.h"
#include "exchange/jsonld.h"
#include "tools/kettlebox-db/recipe_args.h"

#include <QBuffer>

namespace kb::cli {

namespace {

void printDetails(Context& ctx, const Details& d) {
    const auto line = [&ctx](const char* label, const QString& value) {
        if (!value.isEmpty())
            ctx.out << label << ": " << printable(value) << "\n";
    };
    line("Servings", d.servings ? QString::number(*d.servings) : QString());
    line("Yield", d.yield);
    line("Preparation time", minutesText(d.prepMinutes));
    line("Cooking time", minutesText(d.cookMinutes));
    line("Total time", minutesText(d.totalMinutes));
    line("Source", d.source);
    line("Tags", d.tags.join(QStringLiteral(", ")));
    line("Rating",
         d.rating > 0 ? QStringLiteral("%1 of %2").arg(d.rating).arg(kMaxRating) : QString());
    int n = 0;
    for (const Photo& p : d.photos)
        ctx.out << "Photo " << ++n << ": " << p.format << ", " << p.width << " x " << p.height
                << " pixels, " << p.data.size() << " bytes\n";
    if (!d.notes.isEmpty())
        ctx.out << "Notes:\n" << printable(d.notes, true) << "\n";
}

} // namespace

int runShow(Context& ctx) {
    const RecipeArgs args = recipeArgs(ctx, QStringLiteral("show"), true, false);
    if (args.exit >= 0)
        return args.exit;
    try {
        const RecipeFile file(args.folder);
        std::unique_ptr<Database> db = file.open();
        const QString category = recipeCategory(*db, args.category, args.name);
        const exchange::Collection c = exchange::collectRecipes(*db, category, args.name);
        db->Close();
        const exchange::RecipeRecord& r = c.recipes.first();
        if (args.json) {
            // Exactly what the export writes for this one recipe.
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            exchange::writeJsonLd(buffer, c.recipes, c.categories, false);
            ctx.out << QString::fromUtf8(buffer.data());
            return kExitOk;
        }
        ctx.out << printable(r.name) << "\nCategory: " << printable(r.category) << "\n";
        if (!r.author.isEmpty())
            ctx.out << "Author: " << printable(r.author) << "\n";
        printDetails(ctx, r.kept);
        ctx.out << "\nIngredients:\n"
                << printable(r.ingredients, true) << "\n\nInstructions:\n"
                << printable(r.instructions, true) << "\n";
        return kExitOk;
    } catch (const StoreError& e) {
        return fail(ctx, e.message());
    }
}

} // namespace kb::cli
