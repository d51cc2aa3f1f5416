#pragma once

#include "access/reader.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace kb::access {

// One table of the old file on its way to becoming a category.
struct PlannedCategory {
    qsizetype source = 0; // index into SourceFile::tables
    QString name;         // the category it becomes
    bool renamed = false;
};

// What a conversion did: shown to the user and saved beside the file.
struct Report {
    QString source;
    QString target;
    QString keptAs; // where the original was kept, when it was the recipe file itself
    QStringList categories;
    qsizetype recipes = 0;
    QStringList renames;
    // By table and row: counts that differ, values that may be cut, characters that may be lost.
    QStringList problems;
    // False when some row or value did not come in whole.
    bool complete = true;

    QString text() const;
};

// The tables that become categories, in the file's order: all but the seven excluded names and
// the tables the file flags as system. A name the store would refuse is adjusted (forbidden
// characters to "_", then " (2)", " (3)", ... while it clashes with `existing` or an earlier
// one) and listed in the report, as are refused tables, row counts that differ from the stored
// count, cut values and lost characters.
QList<PlannedCategory> planCategories(const SourceFile& file, const QStringList& existing,
                                      Report& report);

// The name a table gets so that the store takes it, clashing with none of `taken`.
QString adjustedName(const QString& name, const QStringList& taken);

struct ImportOptions {
    QString helper = readerHelperPath();
    Limits limits;
    Progress progress;
    // Tests turn this off to take the path of filesystems without hard links.
    bool hardLinks = true;
    // Run on an existing recipe file that is about to be replaced, with the file locked against
    // every other writer, before anything of it is copied: the place for its backup. A throw
    // stops the import with nothing changed.
    std::function<void(const QString& databasePath)> beforeReplace;
    // Set by the window, which holds the lock of the running program on the file already.
    bool inWindow = false;
};

// Converts "<folder>/Recipe.mdb", an old Access file, in place: the new file is built under a
// temporary name, read back and checked, synced; the original is kept as
// "Recipe.access.mdb" (a hard link, or a compared copy) and the new file renamed over
// Recipe.mdb. At every moment Recipe.mdb is the untouched original or the complete new file.
// The report is saved as "Recipe.access-report.txt". Failures throw StoreError.
Report convertInPlace(const QString& folder, const ImportOptions& options = {});

// Brings the recipes of `accessFile` into "<folder>/Recipe.mdb", new or existing (categories are
// added; clashing names renamed), replacing it the same safe way. When `accessFile` is that
// Recipe.mdb itself this is convertInPlace.
Report importInto(const QString& accessFile, const QString& folder,
                  const ImportOptions& options = {});

// The names used beside Recipe.mdb.
inline constexpr char kKeptName[] = "Recipe.access.mdb";
inline constexpr char kReportName[] = "Recipe.access-report.txt";

} // namespace kb::access
