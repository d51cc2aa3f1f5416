#pragma once

#include "core/database.h"
#include "core/recipefields.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

namespace kb {

// One change the program makes to the recipe file, as the side files that follow the file
// (the history, the search index) are told of it.
struct RecipeChange {
    // Import is told to prepare alone, once before an import's transaction; each recipe and
    // category it brings in is then recorded as Added and CategoryAdded.
    enum class Kind { Added, Edited, Deleted, CategoryAdded, CategoryDeleted, Import };
    Kind kind = Kind::Added;
    // The category changed, and the row: for Added the new row; 0 for the category kinds.
    RecipePlace place;
    // The four fields as they were stored (Edited, Deleted) and as they will be stored
    // (Added, Edited); not known otherwise. A recipe put back under another name than it had is
    // Added with the fields it had as `before`.
    RecipeFields before;
    RecipeFields after;
};

// A side file that follows every change the program makes to the recipe file, inside the same
// transaction, so that both files commit together or not at all. RecipeFile::write drives it.
class RecipeFollower {
  public:
    virtual ~RecipeFollower() = default;

    // Attaches the follower's side file to `db`; called once on a connection before its first
    // write.
    virtual void attach(Database& db) = 0;

    // Called after attach and before the write transaction opens, with no lock held: the place
    // for work that must see the file as it was and may take a while (a backup). Told once per
    // write, of its outermost change: changes that join it are only recorded.
    virtual void prepare(Database& /*db*/, const RecipeChange& /*change*/) {}

    // Called inside the write transaction: before the change for Edited, Deleted and
    // CategoryDeleted (the rows are still there to read), after it for Added and
    // CategoryAdded. A throw rolls the whole change back and goes to the command.
    virtual void record(Database& db, const RecipeChange& change) = 0;

    // Called once the outermost transaction has committed, on the same connection.
    virtual void committed(Database& db) { (void)db; }

    // Called once when the program is done with the file, after attach: the place to keep in the
    // side file what was only known in memory. A throw is taken as nothing kept.
    virtual void closing(Database& /*db*/) {}
};

} // namespace kb
