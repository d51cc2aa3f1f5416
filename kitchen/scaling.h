#pragma once

#include "kitchen/ingredient.h"
#include "kitchen/units.h"

#include <QList>
#include <QString>
#include <optional>

namespace kb::kitchen {

// One ingredient line as shown after scaling and converting; the stored text never changes.
struct ShownLine {
    QString text;
    bool scaled = false;      // the amount was multiplied or converted
    bool unread = false;      // shown as written: the reader could not read its amount
    bool approximate = false; // converted through the density table
};

// The factor that turns a recipe for `from` servings into one for `to`; nullopt when either
// is not a positive number.
std::optional<double> factorForServings(double from, double to);

// The factor that makes `line` call for `have` of what the cook has ("I have 300 g of flour"):
// `have` in the line's unit, another of its family, or across volume and mass through the
// density table. nullopt when the line has no amount or the units don't meet.
std::optional<double> factorForAmount(const Ingredient& line, const Amount& have);

// The line's amount times `factor`, converted into `system` (a pinch, a dash or a "to taste"
// line keeps its amount).
std::optional<Amount> scaledAmount(const Ingredient& line, double factor, System system);

// The line as shown: the text as written with its amount (and unit) replaced, or the text
// itself where there is nothing to scale or convert.
ShownLine showLine(const Ingredient& line, double factor, System system);

// Every line of a recipe's ingredients text, shown.
QList<ShownLine> showIngredients(QStringView ingredients, double factor, System system);

} // namespace kb::kitchen
