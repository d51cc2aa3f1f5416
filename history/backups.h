#pragma once

#include "core/background.h"
#include "core/database.h"
#include "core/filestamp.h"
#include "core/progress.h"
#include "core/recipefollower.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace kb {

// Whole-file copies of Recipe.mdb in a Backups folder beside it, each made through the engine's
// backup interface under a temporary name, checked, and only then given its own name.

// Paths beside the recipe file whose path without ".mdb" is `databasePath`.
QString recipeFileOf(const QString& databasePath);
QString backupsFolderOf(const QString& databasePath);
// The lock the running program holds beside the recipe file (recipeLockPath of its folder).
QString recipeLockFileOf(const QString& databasePath);

struct BackupInfo {
    QString path;
    QDateTime when; // local time, from the name
    std::int64_t size = 0;
};

// Kept: the kBackupsKeptNewest newest, and the newest of each of the last kBackupDays days.
inline constexpr int kBackupsKeptNewest = 10;
inline constexpr int kBackupDays = 30;

// The backups, newest first.
QList<BackupInfo> listBackups(const QString& databasePath);

// The outcome of the engine's quick check of one file.
struct FileCheck {
    bool clean = false;
    QString detail; // "ok", or what is wrong in plain words
    // The file opened with its key, so that what is wrong lies inside it.
    bool opened = false;
};
// A recipe file given by its full name (".mdb" included).
FileCheck checkRecipeFile(const QString& mdbFile);
// The history beside the recipe file; clean when there is none yet.
FileCheck checkHistoryFile(const QString& databasePath);
// The newest backup that checks clean.
std::optional<BackupInfo> newestCleanBackup(const QString& databasePath);

// When the recipe file opens but does not check clean: one message saying so in plain words,
// naming the newest backup that checks clean and how to restore it. Slow on a large file: meant
// for a worker thread (it uses connections of its own).
std::optional<QString> damagedFileMessage(const QString& databasePath);

// A backup of the open recipe file now; returns its path. Retention is applied after it.
// Without `prune` the old backups stay until the next one.
QString makeBackup(Database& db, const Progress& progress = {},
                   const QDateTime& now = QDateTime::currentDateTime(), bool prune = true);
// The same for a recipe file that is not open: for the command line and before an import.
QString backupRecipeFile(const QString& databasePath, const Progress& progress = {},
                         bool prune = true);

// Deletes the backups that retention does not keep.
void pruneBackups(const QString& databasePath, const QDateTime& now);

// Puts `backupFile` in place of the recipe file, after backing up the current one. Refuses
// (StoreError) while the program holds the lock, and when the backup does not check clean.
// Returns the path of the backup of the replaced file (empty when there was none).
QString restoreBackup(const QString& backupFile, const QString& databasePath,
                      const Progress& progress = {});

// Takes a backup at the first change of each day and before every Delete a Category and every
// import. A backup that fails never stops the command: `onFailure` is told why (and whether it
// was one of those taken every time), and the command goes on.
class BackupFollower final : public RecipeFollower {
  public:
    using FailureFn = std::function<void(const QString& why, bool always)>;
    using Clock = std::function<QDateTime()>;
    // Makes the progress shown while one backup is taken; it ends with the function.
    using ProgressMaker = std::function<Progress()>;
    explicit BackupFollower(FailureFn onFailure, Clock clock = {});
    void setProgress(ProgressMaker maker) { m_progress = std::move(maker); }

    ~BackupFollower() override;

    void attach(Database& db) override;
    void prepare(Database& db, const RecipeChange& change) override;
    void record(Database& db, const RecipeChange& change) override;

    // Starts a backup of the recipe file on a worker thread, ahead of a Delete a Category that
    // may follow (the category-deleting mode was entered): while the user picks the category,
    // the copy is made, and the delete needs no backup of its own if the file is unchanged
    // meanwhile. Nothing is made when the last such copy is still of the file as it is.
    void backUpAhead(const QString& databasePath);
    bool aheadRunning() const;

  private:
    struct Ahead {
        FileStamp stamp; // the recipe file as it was copied
        QString path;
    };
    void backUp(Database& db, bool always);
    // Waits for a backup ahead to end, with progress when it takes a while: one backup at a
    // time, under the one temporary name.
    void finishAhead();

    FailureFn m_onFailure;
    Clock m_clock;
    ProgressMaker m_progress;
    QDate m_lastDaily;
    BackgroundJob m_running;
    std::shared_ptr<std::optional<Ahead>> m_made;
    struct Counts {
        std::atomic<std::int64_t> done{0};
        std::atomic<std::int64_t> total{0};
    };
    std::shared_ptr<Counts> m_aheadDone;
    std::optional<Ahead> m_ahead;
};

} // namespace kb
