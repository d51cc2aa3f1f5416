#include "core/recipefields.h"

#include "core/app.h"
#include "core/database.h"

#include <algorithm>

namespace kb {

RecipeFields readFields(const Recordset& rs) {
    RecipeFields out;
    for (int i = 0; i < static_cast<int>(out.size()) && i < rs.FieldCount(); ++i)
        out[static_cast<size_t>(i)] = rs.Fields(i);
    return out;
}

void setFields(Recordset& rs, const RecipeFields& fields) {
    for (size_t i = 0; i < fields.size(); ++i)
        rs.SetField(static_cast<int>(i), fields[i]);
}

bool isKnown(const RecipeFields& fields) {
    return std::any_of(fields.begin(), fields.end(), [](const auto& v) { return v.has_value(); });
}

QString nameOf(const RecipeFields& fields) {
    return trimSpaces(fields[0].value_or(QString()));
}

} // namespace kb
