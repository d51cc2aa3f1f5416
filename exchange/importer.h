#pragma once

#include "core/recipefile.h"
#include "exchange/exporter.h"
#include "exchange/recipe.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace kb {
class Database;
}

namespace kb::exchange {

// What happens to a recipe whose name the store can't take as it is (empty, several lines,
// longer than a name column holds) or that is already in its category.
enum class NamePolicy {
    Suffix, // imported under a changed name, and the change reported
    Report, // not imported, and reported
};

struct ImportOptions {
    // The category every recipe goes into, made if new; empty: each recipe's own category,
    // or kDefaultCategory for one that has none or whose name can't be a category.
    QString category;
    NamePolicy names = NamePolicy::Suffix;
    // Runs once, just before anything is written (a backup of the file, say); what it throws
    // stops the import with nothing written.
    std::function<void()> beforeWrite;
    Progress progress;
};

inline const QString kDefaultCategory = QStringLiteral("Imported");
// The most characters a name column holds.
inline constexpr qsizetype kMaxNameLength = 255;

struct ReportLine {
    enum class Kind { Imported, Changed, Skipped, AlreadyThere };
    Kind kind = Kind::Imported;
    QString source; // the file
    QString position;
    QString category;
    QString name;
    QString reason; // for changed and skipped ones
};

struct ImportReport {
    QStringList sources; // each file read, with how it was read
    QString into;        // where the recipes went, in words
    QList<ReportLine> lines;
    qsizetype imported = 0; // changed ones included
    qsizetype changed = 0;
    qsizetype skipped = 0;
    qsizetype alreadyThere = 0; // the same four texts already in the category: not doubled
    bool cancelled = false;
    QString failure; // why nothing was written, when it failed
    QString warning; // what went wrong although everything was written
    QStringList createdCategories;

    // True when every record of every file came in.
    bool complete() const { return !cancelled && failure.isEmpty() && skipped == 0; }
    QString summary() const;
    QString text() const;
};

// Collects the recipes of one or more files, then writes them into a recipe file in one
// transaction: all of them, or (cancelled, failed) none.
class Importer {
  public:
    explicit Importer(ImportOptions options);

    // Reads a file of any known kind; what can't be read goes into the report.
    void addFile(const QString& fileName);
    void addRecords(const QString& source, const ReadResult& read);

    qsizetype recordCount() const { return m_records.size(); }
    // Set once the files are read and it is known how much there is to do.
    void setProgress(const Progress& progress) { m_options.progress = progress; }

    // Writes into `file` as one change, which its followers are told of recipe by recipe.
    // Throws nothing for a bad record or a failed write: the report says what happened.
    ImportReport run(RecipeFile& file);
    // The same on a connection the caller has open.
    ImportReport run(RecipeFile& file, Database& db);

  private:
    struct Pending {
        QString source;
        RecipeRecord record;
    };
    ImportOptions m_options;
    QList<Pending> m_records;
    QStringList m_listedCategories;
    QStringList m_nothingFound; // for each file without a recipe, why
    ImportReport m_report;
};

// The contents of a file as recipes, of any kind the program reads, told apart by name and
// content; a folder is read as a Nextcloud Cookbook folder. Only regular files are read, and
// none larger than kMaxImportBytes, or kMaxOwnExportBytes for our own JSON-LD list (which
// carries photos, and is read one recipe a line).
ReadResult readRecipeFile(const QString& fileName);
inline constexpr qint64 kMaxImportBytes = qint64(64) << 20;
inline constexpr qint64 kMaxOwnExportBytes = qint64(1) << 30;
// The same for bytes already read (an archive's entry); `fileName` helps tell the kind.
ReadResult readRecipeBytes(const QByteArray& bytes, const QString& fileName);

// Where the report of importing `fileName` is kept: beside it.
QString reportFileName(const QString& fileName);
// Writes the report there (replacing an older one whole); throws StoreError.
void saveReport(const ImportReport& report, const QString& fileName);

} // namespace kb::exchange
