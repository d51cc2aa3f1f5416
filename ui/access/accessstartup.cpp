#include "ui/access/accessstartup.h"

#include "access/header.h"
#include "core/recipefile.h"
#include "core/store_error.h"
#include "platform/dialogs.h"

#include <QDir>

namespace kb {

namespace {

// How many of the report's problems the message box lists; the saved report has them all.
constexpr qsizetype kProblemsShown = 8;

QString summary(const access::Report& r) {
    const auto counted = [](qsizetype n, const char* one, const char* many) -> QString {
        return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
    };
    QString s = QStringLiteral("The recipes were brought in: %1, %2.\n\n"
                               "The original file is kept as %3, and a report is saved as %4.")
                    .arg(counted(r.categories.size(), "category", "categories"),
                         counted(r.recipes, "recipe", "recipes"), QLatin1String(access::kKeptName),
                         QLatin1String(access::kReportName));
    if (!r.keptAs.isEmpty() && !r.keptAs.endsWith(QLatin1String(access::kKeptName)))
        s.replace(QLatin1String(access::kKeptName), QDir(r.keptAs).dirName());
    if (!r.renames.isEmpty())
        s += QStringLiteral("\n\nRenamed:\n") + r.renames.join(QLatin1Char('\n'));
    if (!r.problems.isEmpty()) {
        s += QStringLiteral("\n\nTo look at:\n") +
             r.problems.mid(0, kProblemsShown).join(QLatin1Char('\n'));
        if (r.problems.size() > kProblemsShown)
            s += QStringLiteral("\n... and %1 more in the report.")
                     .arg(r.problems.size() - kProblemsShown);
    }
    return s;
}

} // namespace

void offerAccessImport(Dialogs& dialogs, const QString& appFolder,
                       const access::ImportOptions& options) {
    const QString file = RecipeFile(appFolder).fileName();
    const access::HeaderInfo header = access::readHeader(file);
    if (!header.isAccess())
        return;
    if (header.encrypted) {
        dialogs.msgBox(QStringLiteral("Recipe.mdb is an encrypted Access database, and it can't "
                                      "be read here. It was left as it is."),
                       vbExclamation);
        return;
    }
    QString question =
        QStringLiteral(
            "Recipe.mdb was made by an earlier version of Kettlebox Recipe.\n\nBring its recipes "
            "into the new format now? The original file is kept, unchanged, as %1.")
            .arg(QLatin1String(access::kKeptName));
    if (!header.passwordIsOurs())
        question += QStringLiteral("\n\nNote: this file is protected with a password that is "
                                   "not Kettlebox Recipe's; it may be another program's "
                                   "database.");
    if (dialogs.msgBox(question, vbYesNo + vbQuestion) != vbYes)
        return;

    access::ImportOptions opts = options;
    opts.inWindow = true;
    // No cancel: the conversion is not safe to stop half-way from inside.
    Progress shown = dialogs.progress(QStringLiteral("Bringing in the recipes of Recipe.mdb..."),
                                      QString(), false);
    // The caller's own progress is told too; the dialog goes before the summary shows.
    opts.progress = [&shown, &options](std::int64_t done, std::int64_t total) {
        reportProgress(shown, done, total);
        return reportProgress(options.progress, done, total);
    };
    try {
        const access::Report report = access::convertInPlace(appFolder, opts);
        shown = nullptr;
        dialogs.msgBox(summary(report), report.problems.isEmpty() ? vbInformation : vbExclamation);
    } catch (const StoreError& e) {
        shown = nullptr;
        dialogs.msgBox(e.message(), vbExclamation);
    }
}

} // namespace kb
