#pragma once

#include "core/database.h"

#include <QString>

namespace kb {

// The rules every recipe table follows, whoever writes it: the program, kettlebox-db or an
// import. A category is one table; its four columns are name, author, ingredients and
// instructions, in that order.

// The seven table names that are never categories.
bool isExcludedTable(const QString& name);

// The stored value format: the text without surrounding spaces, then one space.
QString storedValue(const QString& text);

// The definition of a new category table: its name checked against the rules for table names,
// the four recipe columns in order.
TableDef recipeTableDef(const Database& db, const QString& category);

} // namespace kb
