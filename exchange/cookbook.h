#pragma once

#include "exchange/recipe.h"

#include <QString>

namespace kb::exchange {

// A printable cookbook as one page for the print preview: a contents page listing every
// recipe under its category, then each recipe on a page of its own in the print layout.
QString cookbookHtml(const QString& title, const QList<RecipeRecord>& recipes);

// The file the cookbook is written to in the program's folder, beside the print files.
QString cookbookPagePath(const QString& folder);

// Writes the page there, replacing an older one only once complete; throws StoreError.
void writeCookbook(const QString& folder, const QString& title, const QList<RecipeRecord>& recipes);

} // namespace kb::exchange
