#pragma once

#include "details/details.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

namespace kb {

class Database;

// A recipe as the card shows it: the recipe and its details. The copy that is printed or
// exported holds the texts as shown, scaled and converted.
// Of the photos only the thumbnails are read; the first photo's bytes come apart
// (`firstPhoto`), since a recipe may keep several large ones.
struct CardRecipe {
    StoredRecipe recipe;
    Details details;
    QByteArray firstPhoto;
    QString firstPhotoFormat;

    // Which recipe it is, as the details know it.
    QString key() const { return recipe.place.category + QLatin1Char('\n') + recipe.name(); }
};

// Reads the `occurrence`-th recipe of that name (from 0, in stored order) and its details;
// the first photo's bytes only `withFirstPhoto`. Throws StoreError when the category or the
// recipe is no longer in the file.
CardRecipe readCardRecipe(Database& db, const QString& category, const QString& name,
                          int occurrence = 0, bool withFirstPhoto = true);

// The ingredient lines, empty ones left out.
QStringList ingredientLines(const QString& ingredients);
// The steps of the instructions: split at lines that begin with a step number ("2.", "3)",
// "Step 4:"), which is taken off, else at empty lines, else one step a line.
QStringList stepsOf(const QString& instructions);
// "★★★☆☆" for 3; empty for 0.
QString ratingStars(int rating);
// "Serves 4", "Serves 2.5".
QString servingsText(double servings);
// A web address the card may open: http or https with a host; empty otherwise.
QString webAddress(const QString& source);

// Decodes a photo to fit within `box`, no larger than it is, within the allocation limit of
// every photo. A JPEG is decoded at the reduced size directly, so a large photo opens quickly.
// A null image when the bytes can't be read.
QImage decodePhoto(const QByteArray& bytes, const QSize& box);

// The page a card prints: the photo (when `photoFile`, a file name beside the page, is given),
// name, author, details, ingredients and numbered steps.
QString cardPageHtml(const CardRecipe& recipe, const QString& photoFile);

// Writes the page and its photo into `folder` (card.htm and card-photo.jpg), each replaced
// only once complete; returns the page's path. Throws StoreError in words.
QString writeCardPage(const QString& folder, const CardRecipe& recipe);

} // namespace kb
