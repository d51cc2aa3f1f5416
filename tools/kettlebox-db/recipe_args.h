#pragma once

#include "core/database.h"
#include "core/recipetable.h"
#include "core/store_error.h"
#include "tools/kettlebox-db/commands.h"

#include <QStringList>

namespace kb::cli {

// The arguments of a command about one recipe: its options, the folder, the category and the
// name, and what follows them. `exit` is the code to end with when the command must not go on;
// -1 otherwise.
struct RecipeArgs {
    bool json = false;
    QString folder;
    QString category;
    QString name;
    QStringList rest;
    int exit = -1;
};

inline RecipeArgs recipeArgs(Context& ctx, const QString& command, bool jsonOption,
                             bool restWanted) {
    RecipeArgs r;
    if (helpAsked(ctx, command)) {
        r.exit = kExitOk;
        return r;
    }
    QStringList positional;
    for (qsizetype i = 0; i < ctx.args.size(); ++i) {
        const QString& a = ctx.args[i];
        // Once the category and name are there, what follows is the command's own.
        if (positional.size() >= 2 || !a.startsWith(QLatin1String("--"))) {
            positional << a;
        } else if (a == QLatin1String("--folder") && i + 1 < ctx.args.size()) {
            r.folder = ctx.args[++i];
        } else if (jsonOption && a == QLatin1String("--json")) {
            r.json = true;
        } else {
            r.exit = usageError(ctx, command);
            return r;
        }
    }
    if (positional.size() < 2 || (positional.size() > 2) != restWanted) {
        r.exit = usageError(ctx, command);
        return r;
    }
    r.category = positional.at(0);
    r.name = positional.at(1).trimmed();
    r.rest = positional.mid(2);
    r.folder = existingFolder(ctx, r.folder);
    if (r.folder.isEmpty())
        r.exit = kExitFailed;
    return r;
}

// The category as the recipe file names it (letter case aside), after checking that the
// recipe is there; throws StoreError in words when either is not.
inline QString recipeCategory(Database& db, const QString& category, const QString& name) {
    QString table;
    for (const QString& t : db.TableDefs())
        if (!isExcludedTable(t) &&
            (t == category || (table.isEmpty() && t.compare(category, Qt::CaseInsensitive) == 0)))
            table = t;
    if (table.isEmpty())
        throw StoreError(QStringLiteral("there is no category \"%1\".").arg(printable(category)));
    if (!db.OpenRecordset(table)->FindFirst(name, false))
        throw StoreError(QStringLiteral("there is no recipe \"%1\" in the category \"%2\".")
                             .arg(printable(name), printable(table)));
    return table;
}

} // namespace kb::cli
