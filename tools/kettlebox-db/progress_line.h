#pragma once

#include "core/progress.h"
#include "tools/kettlebox-db/commands.h"

#include <QDir>

#include <cstdio>
#include <unistd.h>

namespace kb::cli {

// A progress line on standard error when it is a terminal; nothing when it is not (a log or a
// pipe gets the result lines only). Nothing on the command line cancels.
inline Progress progressLine(Context& ctx, const QString& what) {
    if (!::isatty(STDERR_FILENO))
        return {};
    return [&ctx, what, last = -1](std::int64_t done, std::int64_t total) mutable {
        const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
        if (percent != last) {
            last = percent;
            ctx.err << "\r" << what << " " << percent << "%" << (percent >= 100 ? "\n" : "");
            ctx.err.flush();
        }
        return true;
    };
}

// The recipes done of their total on standard error, one line rewritten as it grows
// ("Imported 200 of 1000 recipes"); the caller ends the line.
inline Progress recipesLine(Context& ctx, const QString& done) {
    return [&ctx, done](std::int64_t count, std::int64_t total) {
        ctx.err << "\r" << done << " " << count << " of " << total << " recipes" << Qt::flush;
        return true;
    };
}

// The positional arguments of a command, or std::nullopt (usage printed) when there are more
// than `most`, fewer than `least`, or an unknown option.
inline std::optional<QStringList> positional(Context& ctx, const QString& command, int least,
                                             int most) {
    QStringList out;
    for (const QString& a : ctx.args) {
        if (a.startsWith(QLatin1Char('-'))) {
            usageError(ctx, command);
            return std::nullopt;
        }
        out << a;
    }
    if (out.size() < least || out.size() > most) {
        usageError(ctx, command);
        return std::nullopt;
    }
    return out;
}

// The start of every command whose last, optional argument is the FOLDER: its help, the count
// of its arguments and the folder. `exit` is the code to end with when the command must not go
// on (help shown, usage wrong, no such folder); -1 otherwise.
struct FolderCommand {
    QStringList args;
    QString folder;
    QString recipe; // the recipe file in that folder, without ".mdb"
    int exit = -1;
};
inline FolderCommand folderCommand(Context& ctx, const QString& command, int least, int most) {
    FolderCommand c;
    if (helpAsked(ctx, command)) {
        c.exit = kExitOk;
        return c;
    }
    const auto args = positional(ctx, command, least, most);
    if (!args) {
        c.exit = kExitUsage;
        return c;
    }
    c.args = *args;
    c.folder = existingFolder(ctx, c.args.value(most - 1));
    if (c.folder.isEmpty()) {
        c.exit = kExitFailed;
        return c;
    }
    c.recipe = QDir(c.folder).filePath(QStringLiteral("Recipe"));
    return c;
}

} // namespace kb::cli
