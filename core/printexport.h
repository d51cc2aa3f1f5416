#pragma once

#include "core/recipefields.h"

#include <QString>
#include <QStringList>

namespace kb {

// Whether a recipe may be printed at all.
enum class PrintCheck {
    Ready,    // everything needed is there
    NoRecipe, // the name box is empty: the user is told to choose a recipe
    Blank,    // name, ingredients or instructions hold only spaces: nothing happens
};

// The message for PrintCheck::NoRecipe.
inline const QString kChooseRecipeMessage = QStringLiteral("Please Choose a Recipe");

// `recipe` is the shown recipe, as the main window's four boxes hold it.
PrintCheck checkPrintable(const RecipeFields& recipe);

// The two files of a print, in the program's folder; both are rewritten on every print.
QString printTextPath(const QString& folder);
QString printPagePath(const QString& folder);

// The lines of the plain-text file, without line ends. A box that holds line breaks gives
// several lines.
QStringList printTextLines(const RecipeFields& recipe);

// The lines of the page made from the lines of the plain-text file, without line ends. The
// recipe text is escaped, so that what the cook typed is what the page shows.
QStringList printPageLines(const QStringList& textLines);

// The window caption of the preview for a recipe named `name`.
QString printCaption(const QString& name);

// Writes both files into `folder`: the plain text first, then the page converted from the
// plain text as read back. UTF-8, every line ending in CR LF. Throws StoreError, in words a
// cook understands, when a file can't be written or read.
void writePrintFiles(const QString& folder, const RecipeFields& recipe);

} // namespace kb
