#pragma once

#include "exchange/codepages.h"
#include "exchange/recipe.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace kb::exchange {

// One ingredient of a MealMaster recipe: amount (at most 7 characters), unit code (at most
// 2) and the text; or, for `heading`, the title of the ingredients that follow.
struct MmIngredient {
    QString amount;
    QString unit;
    QString text;
    bool heading = false;
};

// A recipe in MealMaster's terms, as its writer takes it.
struct MmRecipe {
    QString title;
    QStringList categories;
    QString yield;
    QList<MmIngredient> ingredients;
    QStringList directions; // lines; an empty one separates paragraphs
};

// Reads every recipe of a MealMaster file (several per file, ingredients in one or two
// columns), detecting whether it is UTF-8, code page 437 or Windows-1252. Yield, categories,
// tags and source go into the details; "From:" or "Contributor:" is the author. A recipe cut short
// by the end of the file is read as far as it goes and noted; one without a title is named
// as a problem and the others are read.
ReadResult readMealMaster(const QByteArray& bytes);

// True when the text looks like a MealMaster file.
bool looksLikeMealMaster(const QByteArray& bytes);

// Writes recipes in MealMaster's layout, lines ending in CR LF; `twoColumns` puts the
// ingredients side by side, the first half on the left.
QByteArray writeMealMaster(const QList<MmRecipe>& recipes, CodePage page, bool twoColumns);

// One of our recipes in MealMaster's terms: ingredient lines split into amount, unit and text
// where they are written that way, lines ending in a colon as headings, the yield and the
// categories from the details, the author on the directions' last line ("From: ...").
MmRecipe toMealMaster(const RecipeRecord& record);

// Our recipes as a MealMaster file, in Windows-1252 when every character has a place there,
// otherwise in UTF-8.
QByteArray writeMealMaster(const QList<RecipeRecord>& recipes);

} // namespace kb::exchange
