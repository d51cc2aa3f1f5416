// kettlebox-db find: the recipes matching every word, best first, one per line.

#include "core/database.h"
#include "core/recipefile.h"
#include "core/store_error.h"
#include "search/searchindex.h"
#include "tools/kettlebox-db/commands.h"

#include <QDir>
#include <QFileInfo>
#include <limits>

namespace kb::cli {

int runFind(Context& ctx) {
    if (helpAsked(ctx, QStringLiteral("find")))
        return kExitOk;
    QStringList words;
    QString folder;
    for (qsizetype i = 0; i < ctx.args.size(); ++i) {
        const QString& a = ctx.args.at(i);
        if (a == QLatin1String("--folder") && i + 1 < ctx.args.size() && folder.isEmpty())
            folder = ctx.args.at(++i);
        else if (a.startsWith(QLatin1String("--")))
            return usageError(ctx, QStringLiteral("find"));
        else
            words << a;
    }
    const QString text = words.join(QLatin1Char(' '));
    if (searchQuery(text).isEmpty())
        return usageError(ctx, QStringLiteral("find"));
    const QString path = existingFolder(ctx, folder);
    if (path.isEmpty())
        return kExitFailed;
    const RecipeFile file(path);
    if (!QFileInfo::exists(file.fileName()))
        return fail(ctx, QStringLiteral("there is no recipe file \"%1\".")
                             .arg(QDir::toNativeSeparators(file.fileName())));
    try {
        auto db = file.open();
        SearchIndex index;
        index.ensureCurrent(*db);
        const SearchResult r = index.search(*db, text, std::numeric_limits<int>::max());
        db->Close();
        for (const SearchHit& h : r.hits)
            ctx.out << printable(h.recipe.place.category) << '\t' << printable(h.recipe.name())
                    << '\n';
    } catch (const StoreError& e) {
        return fail(ctx, e.message());
    }
    return kExitOk;
}

} // namespace kb::cli
