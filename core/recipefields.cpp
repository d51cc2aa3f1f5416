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

StoredRecipe readRecipe(const Recordset& rs, const QString& category) {
    return {{category, rs.RowId()}, readFields(rs)};
}

void setFields(Recordset& rs, const RecipeFields& fields) {
    for (size_t i = 0; i < fields.size(); ++i)
        rs.SetField(static_cast<int>(i), fields[i]);
}

bool isKnown(const RecipeFields& fields) {
    return std::any_of(fields.begin(), fields.end(), [](const auto& v) { return v.has_value(); });
}

namespace {

QString shown(const std::optional<QString>& field) {
    return trimSpaces(field.value_or(QString()));
}

} // namespace

QString nameOf(const RecipeFields& fields) {
    return shown(fields[0]);
}

QString StoredRecipe::name() const {
    return nameOf(fields);
}

QString StoredRecipe::author() const {
    return shown(fields[1]);
}

QString StoredRecipe::ingredients() const {
    return shown(fields[2]);
}

QString StoredRecipe::instructions() const {
    return shown(fields[3]);
}

} // namespace kb
