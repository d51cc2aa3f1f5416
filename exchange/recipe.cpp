#include "exchange/recipe.h"

#include "core/app.h"

namespace kb::exchange {

RecipeRecord RecipeRecord::fromStored(const QString& category, const StoredValues& values) {
    RecipeRecord r;
    r.category = category;
    r.name = trimSpaces(values[0].value_or(QString()));
    r.author = trimSpaces(values[1].value_or(QString()));
    r.ingredients = trimSpaces(values[2].value_or(QString()));
    r.instructions = trimSpaces(values[3].value_or(QString()));
    r.stored = values;
    return r;
}

} // namespace kb::exchange
