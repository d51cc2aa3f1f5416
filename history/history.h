#pragma once

#include "core/database.h"
#include "core/recipefields.h"
#include "core/recipefile.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace kb {

// The history of recipes the program removed or overwrote: a second encrypted file,
// Recipe.history beside Recipe.mdb, attached as schema "history". Every old row goes in within
// the transaction of the change itself, so a recipe is always in its category or here.

inline const QString kHistorySchema = QStringLiteral("history");

// Recipe.history beside the recipe file whose path (without ".mdb") is given.
QString historyFileOf(const QString& databasePath);

struct HistoryEntry {
    enum class Why { Deleted, Edited, CategoryDeleted };
    std::int64_t id = 0;
    // The category it was in and its four fields exactly as they were stored; its row is not
    // kept (0).
    StoredRecipe recipe;
    QDateTime when; // UTC
    Why why = Why::Deleted;
};

QString whyText(HistoryEntry::Why why);

// Entries older than this are pruned, but never the newest kHistoryKeptAlways.
inline constexpr int kHistoryDays = 90;
inline constexpr int kHistoryKeptAlways = 1000;

class HistoryFollower final : public RecipeFollower {
  public:
    using Clock = std::function<QDateTime()>;
    explicit HistoryFollower(Clock clock = {});

    void attach(Database& db) override;
    void record(Database& db, const RecipeChange& change) override;

  private:
    Clock m_clock;
};

// Attaches the history of `db` (the file is made when missing) and its table; harmless when
// already attached.
void attachHistory(Database& db);

// The history, newest first, without the fields (name only), or one entry with its fields.
QList<HistoryEntry> listHistory(Database& db);
std::optional<HistoryEntry> historyEntry(Database& db, std::int64_t id);
// The same on a connection of their own.
QList<HistoryEntry> listHistory(const RecipeFile& file);
std::optional<HistoryEntry> historyEntry(const RecipeFile& file, std::int64_t id);

// Drops entries older than kHistoryDays, keeping the newest kHistoryKeptAlways whatever their
// age. Joins an open transaction.
void pruneHistory(Database& db, const QDateTime& now);

// Puts entry `id` back as a new row at the end of its category, made again with the four
// columns when it is gone, and removes it from the history; one write of `file`, told to its
// followers as an added recipe (and an added category). Returns the entry put back. When its
// category has a recipe of its name by now, it comes back as "name (2)" (or the next number
// free); `cameBackAs` is given the name it came back under.
HistoryEntry putBack(RecipeFile& file, std::int64_t id, QString* cameBackAs = nullptr);

} // namespace kb
