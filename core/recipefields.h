#pragma once

#include <QString>
#include <array>
#include <optional>

namespace kb {

class Recordset;

// A recipe's four texts exactly as the recipe file keeps them, in the order of its columns:
// name, author, ingredients, instructions. A missing value is std::nullopt, which the file tells
// apart from an empty text; all four missing is a recipe not known.
using RecipeFields = std::array<std::optional<QString>, 4>;

// The four fields of the current row; a table with fewer columns leaves the rest missing.
RecipeFields readFields(const Recordset& rs);
// Sets the four fields of the row being added or edited.
void setFields(Recordset& rs, const RecipeFields& fields);
// Whether any of the four is there.
bool isKnown(const RecipeFields& fields);
// The recipe's name as the window lists it: the first field without its surrounding spaces.
QString nameOf(const RecipeFields& fields);

} // namespace kb
