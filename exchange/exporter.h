#pragma once

#include "core/progress.h"
#include "exchange/recipe.h"

#include <QString>
#include <QStringList>

namespace kb {
class Database;
class RecipeFile;
} // namespace kb

namespace kb::exchange {

// The recipes of the file to be exported, in stored order, with their exact values.
struct Collection {
    QList<RecipeRecord> recipes;
    QStringList categories; // every category taken, those without recipes included
};

// Every recipe of `category` (all categories when empty); only the first row named `name`
// when that is given. `progress` is told the recipes read so far (their total unknown).
// Throws StoreError (a cancel as its Cancelled kind).
Collection collectRecipes(Database& db, const QString& category = {}, const QString& name = {},
                          const Progress& progress = {});
// The same on a connection of its own.
Collection collectRecipes(const RecipeFile& file, const QString& category = {},
                          const QString& name = {}, const Progress& progress = {});

// schema.org JSON-LD, plain text, or MealMaster (which other recipe programs read).
enum class ExportFormat { JsonLd, Text, MealMaster };

// What the export's file dialog offers, and what a chosen file name asks for: the format by
// its suffix (JSON-LD when it has none, which is then added). `fileNameFor` makes a recipe or
// category name fit to suggest as a file name.
QString exportFilter();
struct ExportTarget {
    QString fileName;
    ExportFormat format = ExportFormat::JsonLd;
};
ExportTarget exportTarget(const QString& chosen);
QString fileNameFor(const QString& name);

// The plain-text export: each recipe in the print export's layout, a category's recipes
// under its name when there are several categories.
QStringList textExportLines(const QList<RecipeRecord>& recipes);

// Writes the recipes to `fileName`, replacing it only once the new file is complete. One
// recipe alone is written as a single Recipe object, more as a list. Throws StoreError (a
// cancel as its Cancelled kind; the old file then stays as it was).
void exportRecipes(const QString& fileName, const Collection& collection, ExportFormat format,
                   const Progress& progress = {});

} // namespace kb::exchange
