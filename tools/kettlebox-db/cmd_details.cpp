// kettlebox-db details: sets the details of one recipe (servings, times, source, tags, rating,
// notes, photos) in one transaction.

#include "core/recipefile.h"
#include "core/recipelock.h"
#include "details/details.h"
#include "tools/kettlebox-db/recipe_args.h"

namespace kb::cli {

int runDetails(Context& ctx) {
    const RecipeArgs args = recipeArgs(ctx, QStringLiteral("details"), false, true);
    if (args.exit >= 0)
        return args.exit;
    try {
        const RecipeFileLock lock(args.folder, RecipeFileLock::Mode::Write);
        const RecipeFile file(args.folder);
        std::unique_ptr<Database> db = file.open();
        const QString category = recipeCategory(*db, args.category, args.name);
        Details details = readDetails(*db, category, args.name);
        // Every setting is checked (and every photo read) before anything is written.
        for (const QString& setting : args.rest)
            applySetting(details, setting);
        writeDetails(*db, category, args.name, details);
        db->Close();
        ctx.out << "Saved the details of \"" << printable(args.name) << "\" in \""
                << printable(category) << "\".\n";
        return kExitOk;
    } catch (const StoreError& e) {
        return fail(ctx, e.message());
    }
}

} // namespace kb::cli
