#pragma once

#include "exchange/recipe.h"

#include <QByteArray>
#include <QString>

namespace kb::exchange {

// Readers of other recipe programs' files. Each takes the whole file, treats it as hostile
// (limits on depth, counts and sizes) and returns what it found and what it could not read.

// MasterCook: the text export (.mxp) and the XML one (.mx2, ISO-8859-1 or UTF-8).
ReadResult readMasterCookText(const QByteArray& bytes);
ReadResult readMasterCookXml(const QByteArray& bytes);
// RecipeML.
ReadResult readRecipeMl(const QByteArray& bytes);
// Gourmet's and Gourmand's XML (.grmt).
ReadResult readGourmet(const QByteArray& bytes);
// KRecipes (.kreml).
ReadResult readKRecipes(const QByteArray& bytes);
// RezKonv, the German relative of MealMaster.
ReadResult readRezKonv(const QByteArray& bytes);
// Cooklang (.cook): one recipe a file, named after the file unless its metadata names it.
ReadResult readCooklang(const QByteArray& bytes, const QString& fileName);

// The XML formats above told apart by their root element; nothing when it is none of them.
std::optional<ReadResult> readRecipeXml(const QByteArray& bytes);

// JSON of recipe programs: Paprika's recipe, Mealie's recipe or whole-database export,
// Tandoor's recipe; nothing when the JSON is none of them.
std::optional<ReadResult> readAppJson(const QByteArray& json, const QString& where = {});

// Paprika's single recipe (.paprikarecipe): gzipped JSON, its photo kept.
ReadResult readPaprikaRecipe(const QByteArray& gzipped, const QString& where = {});

// A zip archive of recipes: Paprika (.paprikarecipes), Mealie's and Tandoor's exports, or
// Nextcloud Cookbook folders (`name/recipe.json` with `full.jpg`).
ReadResult readRecipeArchive(const QByteArray& zip);

// A Nextcloud Cookbook folder: its own recipe.json, or one in each folder inside it.
ReadResult readCookbookFolder(const QString& folder);

} // namespace kb::exchange
