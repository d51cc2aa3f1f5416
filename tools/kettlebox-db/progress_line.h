#pragma once

#include "history/backups.h"
#include "tools/kettlebox-db/commands.h"

#include <cstdio>
#include <unistd.h>

namespace kb::cli {

// A progress line on standard error when it is a terminal; nothing when it is not (a log or a
// pipe gets the result lines only).
inline ProgressFn progressLine(Context& ctx, const QString& what) {
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

} // namespace kb::cli
