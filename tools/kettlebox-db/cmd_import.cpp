// kettlebox-db import: recipes from files of every kind the program reads, and from web
// addresses, into the recipe file, all of them in one transaction, with a report of what came in.

#include "core/recipefile.h"
#include "core/recipelock.h"
#include "core/store_error.h"
#include "details/details.h"
#include "exchange/importer.h"
#include "exchange/webfetch.h"
#include "history/backups.h"
#include "search/searchindex.h"
#include "tools/kettlebox-db/commands.h"
#include "tools/kettlebox-db/progress_line.h"

#include <QDir>
#include <optional>

namespace kb::cli {

int runImport(Context& ctx) {
    const QString self = QStringLiteral("import");
    if (helpAsked(ctx, self))
        return kExitOk;
    exchange::ImportOptions options;
    QString folder;
    QStringList files;
    for (qsizetype i = 0; i < ctx.args.size(); ++i) {
        const QString& a = ctx.args[i];
        const bool hasValue = i + 1 < ctx.args.size();
        if (a == QLatin1String("--category") && hasValue) {
            options.category = ctx.args[++i];
        } else if (a == QLatin1String("--folder") && hasValue) {
            folder = ctx.args[++i];
        } else if (a == QLatin1String("--names") && hasValue) {
            const QString policy = ctx.args[++i];
            if (policy == QLatin1String("suffix"))
                options.names = exchange::NamePolicy::Suffix;
            else if (policy == QLatin1String("report"))
                options.names = exchange::NamePolicy::Report;
            else
                return usageError(ctx, self);
        } else if (a.startsWith(QLatin1Char('-'))) {
            return usageError(ctx, self);
        } else {
            files << a;
        }
    }
    if (files.isEmpty())
        return usageError(ctx, self);
    const QString path = existingFolder(ctx, folder);
    if (path.isEmpty())
        return kExitFailed;
    // As in the program: a backup before every import (a failure is said, and the import goes
    // on), and the search index kept up to date so that no rebuild follows.
    BackupFollower backups([&ctx](const QString& why, bool) {
        ctx.err << "The backup of the recipe file could not be made: " << why
                << "\nThe import goes on without it.\n";
    });
    backups.setProgress([&ctx] { return progressLine(ctx, QStringLiteral("Backing up")); });
    SearchIndex index;
    options.progress = recipesLine(ctx, QStringLiteral("Imported"));
    exchange::Importer importer(options);
    for (const QString& f : files) {
        if (exchange::isWebAddress(f)) {
            ctx.err << "Fetching " << printable(f) << "\n" << Qt::flush;
            importer.addRecords(f, exchange::readWebAddress(f));
            continue;
        }
        ctx.err << "Reading " << printable(QDir::toNativeSeparators(f)) << "\n" << Qt::flush;
        importer.addFile(f);
    }
    // Held while the file is open, so that no restore puts another file in its place meanwhile.
    std::optional<RecipeFileLock> lock;
    try {
        lock.emplace(path, RecipeFileLock::Mode::Write);
    } catch (const StoreError& e) {
        return fail(ctx, e.message());
    }
    RecipeFile file(path);
    file.addFollower(&backups);
    file.addFollower(&index);
    DetailsFollower details;
    file.addFollower(&details);
    const exchange::ImportReport report = importer.run(file);
    ctx.err << "\n";
    ctx.out << printable(report.text(), true);
    return report.complete() ? kExitOk : kExitFailed;
}

} // namespace kb::cli
