#pragma once

#include "kitchen/units.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace kb::kitchen {

// One ingredient line as the reader understood it. The text is always kept as written: a
// line that could not be read is shown and printed exactly so.
struct Ingredient {
    QString text;
    std::optional<double> quantity;
    std::optional<double> quantityMax; // the upper end of a range ("2-3")
    // "2 tablespoons plus 2 teaspoons": the second part, in the first one's unit; it scales
    // with the amount but is not part of `quantity`.
    double plus = 0;
    Unit unit = Unit::None;
    QString item;  // "all-purpose flour"
    QString notes; // "sifted", "(190 g)", "to taste"
    // The reader saw an amount it could not make sense of, or a line that is no ingredient
    // (a heading); such a line is never scaled and is marked where it is shown.
    bool unread = false;
    // "to taste", "as needed", a pinch or a dash: never multiplied.
    bool toTaste = false;
    // Where in the text the amount stands, and where its unit (with any size or second
    // measure it carries) ends: a scaled line is the text with that part replaced.
    qsizetype amountBegin = -1;
    qsizetype amountEnd = -1;
    qsizetype unitEnd = -1;

    bool scales() const { return !unread && !toTaste && quantity && !neverScales(unit); }
};

// Reads one line: the amount (integers, decimals with a point or a comma, fractions ASCII and
// unicode, mixed numbers, ranges, number words, "a"/"an"), the unit (metric, US and imperial,
// abbreviated or plural, "T" against "t", the common German and French ones), the item and
// its notes. Lines longer than kMaxLineLength are not read.
Ingredient readIngredient(QStringView line);

inline constexpr qsizetype kMaxLineLength = 1000;

// An amount as the reader takes it ("1 1/2", "20-25", "½", "an") at `pos` of `text`; `pos`
// is moved past it. For finding durations and temperatures in the steps.
struct AmountRange {
    double low = 0;
    std::optional<double> high;
};
std::optional<AmountRange> readAmountAt(QStringView text, qsizetype& pos);

// The ingredient lines of a recipe's ingredients text, one per non-empty line, each read.
QList<Ingredient> readIngredients(QStringView text);

// One line of `kettlebox-db ingredients --json`: text, quantity, quantityMax, unit, item.
QString ingredientJson(const Ingredient& ingredient);

} // namespace kb::kitchen
