#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace kb {

class Recordset;

// A recipe's four texts exactly as the recipe file keeps them, in the order of its columns:
// name, author, ingredients, instructions. A missing value is std::nullopt, which the file tells
// apart from an empty text; all four missing is a recipe not known.
using RecipeFields = std::array<std::optional<QString>, 4>;

// Where a recipe lives: its category and its row there; 0 for a recipe not stored yet, or
// whose row is not known.
struct RecipePlace {
    QString category;
    std::int64_t rowid = 0;

    bool operator==(const RecipePlace&) const = default;
};

// One recipe as the store, the history, the search, the exchange and printing pass it on.
struct StoredRecipe {
    RecipePlace place;
    RecipeFields fields;

    // Each field as the window shows it: without surrounding spaces, a missing one as "".
    QString name() const;
    QString author() const;
    QString ingredients() const;
    QString instructions() const;
};

// The four fields of the current row; a table with fewer columns leaves the rest missing.
RecipeFields readFields(const Recordset& rs);
// The current row of `rs`, a recordset of `category`.
StoredRecipe readRecipe(const Recordset& rs, const QString& category);
// Sets the four fields of the row being added or edited.
void setFields(Recordset& rs, const RecipeFields& fields);
// Whether any of the four is there.
bool isKnown(const RecipeFields& fields);
// The recipe's name as the window lists it: the first field without its surrounding spaces.
QString nameOf(const RecipeFields& fields);

} // namespace kb
