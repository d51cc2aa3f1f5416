#pragma once

#include "core/database.h"
#include "core/recipefollower.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <utility>

namespace kb {

// The recipe file and everything kept beside it: one object per recipe folder that knows the
// names of the set (the recipe file, its history, search index, backups folder, lock and print
// files), the side files that follow every change, and the one way a change is written.
class RecipeFile {
  public:
    RecipeFile() = default;
    // The recipe file of a folder.
    explicit RecipeFile(const QString& folder);
    // The store keeps the path of the recipe file without its suffix; the side files are
    // named by its folder alone.
    static RecipeFile fromDatabasePath(const QString& databasePath);
    // The folder of any file of the set (the recipe file itself, a side file).
    static QString folderOf(const QString& fileInFolder);

    bool isSet() const { return !m_base.isEmpty(); }
    QString folder() const;
    void setDatabasePath(const QString& databasePath) { m_base = databasePath; }

    // What Database::OpenDatabase takes: the recipe file's path without its suffix.
    const QString& databasePath() const { return m_base; }
    QString fileName() const;
    QString journalFile() const;
    QString historyFile() const;
    QString indexFile() const;
    QString detailsFile() const;
    QString backupsFolder() const;
    QString lockFile() const;
    // A file of the set by its bare name ("Recipe.htm", say).
    QString beside(const QString& name) const;

    std::unique_ptr<Database> open() const;
    // Runs `work` on a connection of its own, closed after it whether it succeeds or throws.
    void withConnection(const std::function<void(Database&)>& work) const;

    // Side files told of every change; not owned.
    void addFollower(RecipeFollower* follower);
    void removeFollower(RecipeFollower* follower);
    const QList<RecipeFollower*>& followers() const { return m_followers; }

    // The recipes of one category, read through a recordset of it that the caller keeps open.
    // Names are compared without their surrounding spaces.
    //
    // Moves `rs` to the `occurrence`-th row named `name`, from 0 in stored order; a missing name
    // reads as "" when `missingIsEmpty`. False when there is no such row.
    static bool findRecipe(Recordset& rs, const QString& name, int occurrence, bool missingIsEmpty);
    // Which of the rows named `name` the row `rowid` is, from 0; 0 when it is none of them.
    static int occurrenceOf(Recordset& rs, const QString& name, std::int64_t rowid);
    // The recipe names in stored order, a missing one as "". A row that can't be read is passed
    // over and sets `failed`, so that the names that can be read still show.
    static QStringList recipeNames(Recordset& rs, bool& failed);
    // Throws a StoreError when a row other than `except` is named `name`, letter case aside.
    static void refuseTakenName(Recordset& rs, const QString& category, const QString& name,
                                std::int64_t except);
    // Whether each of `tables` holds a recipe; one that can't be read holds none and is added to
    // `unreadable`.
    static QList<bool> categoriesWithRecipes(Database& db, const QStringList& tables,
                                             QStringList& unreadable);

    // The writes of the recipe file's own commands, each one change told to every follower.
    //
    // Adds `fields` as a new row of `category`, open in `rs`, refusing a name that another
    // recipe of it has. Returns the new row.
    std::int64_t addRecipe(Database& db, Recordset& rs, const QString& category,
                           const RecipeFields& fields);
    // Writes `fields` over the row `rs` is on; returns what the row held.
    StoredRecipe updateRecipe(Database& db, Recordset& rs, const QString& category,
                              const RecipeFields& fields);
    // Deletes the row `rs` is on; returns what it held.
    StoredRecipe deleteRecipe(Database& db, Recordset& rs, const QString& category);
    // Makes the category `name`; returns the table's name as made.
    QString createCategory(Database& db, const QString& name);
    void deleteCategory(Database& db, const QString& name);

    // Runs `body` as one change told to every follower. The outermost write attaches the
    // followers, lets them prepare before its transaction takes the lock, records the change
    // in it and tells them it committed once the real COMMIT is done. A write made inside
    // another joins it: it is recorded there, and prepared and committed with the outer one.
    void write(Database& db, RecipeChange change, const std::function<void(RecipeChange&)>& body);
    // Records a change that the caller already made inside a write.
    void tell(Database& db, const RecipeChange& change) const;
    // Tells every follower that the program is done with the file; never fails.
    void closing() noexcept;
    // What the last write left to tell the user although it was made (the disk did not
    // confirm it), once; empty when there is nothing.
    QString takeWarning() { return std::exchange(m_warning, {}); }

  private:
    QString m_base;
    QList<RecipeFollower*> m_followers;
    QString m_warning;
};

// A connection to the recipe file that a window keeps between its commands: opened at first use,
// at the file the window names then, and forgotten after a failure, so that the next use opens
// the file afresh.
class KeptConnection {
  public:
    explicit KeptConnection(std::function<QString()> databasePath);
    ~KeptConnection();
    KeptConnection(const KeptConnection&) = delete;
    KeptConnection& operator=(const KeptConnection&) = delete;

    Database& get();
    // Runs `work`; a throw forgets the connection and goes on to the caller.
    void run(const std::function<void()>& work);
    // Closes the connection, if there is one; never fails.
    void close() noexcept;

  private:
    std::function<QString()> m_databasePath;
    std::unique_ptr<Database> m_db;
};

// Gives `made` (a file or folder made beside the recipe file `recipeFile`) no wider access
// than the recipe file has: the same permission bits, and for a folder the matching search
// bits. Its recipes are in it, readable with the built-in key. Harmless when either is gone.
void matchRecipeFileMode(const QString& recipeFile, const QString& made);

// Writes `bytes` to `path` whole or not at all; where no temporary file can be made beside it,
// in place. A file in a recipe file's folder (a print page, say, which holds recipe text) gets
// no wider access than that recipe file has, before anything goes in. Returns why it failed in
// words, empty when it was written.
QString writeWholeFile(const QString& path, const QByteArray& bytes);

// Attaches `fileName`, a side file bound to the recipe file open in `db`, as `schema`. One that
// can't be read with this recipe file's key came with a recipe file from elsewhere (a backup of
// another folder restored, a file copied in): it is set aside whole, under a name that says so,
// a new one is begun, and the user is told through takeSideFileNotices().
void attachOwnSideFile(Database& db, const QString& schema, const QString& fileName);
// What was set aside since last asked, in words for the user.
QStringList takeSideFileNotices();

// The suffix of the recipe file and of its backups.
inline const QString kRecipeSuffix = QStringLiteral(".mdb");
// The path without the suffix, for a recipe file given with or without it.
QString withoutRecipeSuffix(const QString& fileName);

} // namespace kb
