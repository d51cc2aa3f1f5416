#include "core/recipefollower.h"

namespace kb {

void writeFollowed(Database& db, const QList<RecipeFollower*>& followers, RecipeChange change,
                   const std::function<void(RecipeChange&)>& write) {
    for (RecipeFollower* f : followers)
        f->attach(db);
    if (!db.InTransaction())
        for (RecipeFollower* f : followers)
            f->prepare(db, change);
    const bool after = change.kind == RecipeChange::Kind::Added ||
                       change.kind == RecipeChange::Kind::CategoryAdded;
    db.Transaction([&] {
        if (!after)
            for (RecipeFollower* f : followers)
                f->record(db, change);
        write(change);
        if (after)
            for (RecipeFollower* f : followers)
                f->record(db, change);
    });
    for (RecipeFollower* f : followers)
        f->committed(db);
}

} // namespace kb
