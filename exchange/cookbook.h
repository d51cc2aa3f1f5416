#pragma once

#include "exchange/recipe.h"

#include <QString>

namespace kb::exchange {

// A printable cookbook as one page for the print preview: a contents page listing every
// recipe under its category, then each recipe on a page of its own in the print layout.
// `photoFiles` names, for each recipe in order, a picture beside the page to show above it,
// or nothing.
QString cookbookHtml(const QString& title, const QList<RecipeRecord>& recipes,
                     const QStringList& photoFiles = {});

// The file the cookbook is written to in the program's folder, beside the print files.
QString cookbookPagePath(const QString& folder);

// Writes the page there, replacing an older one only once complete; throws StoreError.
// `photos` holds, for each recipe in order, the bytes of its picture (JPEG, PNG or WebP) or
// nothing; each is written beside the page. Bytes of any other kind are left out.
void writeCookbook(const QString& folder, const QString& title, const QList<RecipeRecord>& recipes,
                   const QList<QByteArray>& photos = {});

} // namespace kb::exchange
