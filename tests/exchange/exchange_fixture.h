#pragma once

#include "core/database.h"
#include "exchange/mealmaster.h"
#include "exchange/recipe.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

namespace kb::test {

// Makes an empty recipe file `name`.mdb in `folder` and opens it; the path without ".mdb" is
// the file's base.
std::unique_ptr<Database> newRecipeFile(const QString& folder, const QString& name = "Recipe");

// Appends rows exactly as given to `table`, made with the four recipe columns when new.
void addRows(Database& db, const QString& table, const QList<RecipeFields>& rows);

// Every category and every row in stored order, missing values marked, for comparing two
// files field for field.
QStringList dumpAll(Database& db);

// `count` recipes in MealMaster's terms, with amounts, units, sections and long lines.
QList<exchange::MmRecipe> generatedMealMaster(int count);

QByteArray dataFile(const QString& name);

void writeFile(const QString& fileName, const QByteArray& bytes);

// The names of the recipes read, in order.
QStringList namesOf(const exchange::ReadResult& read);

} // namespace kb::test
