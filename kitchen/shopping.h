#pragma once

#include "kitchen/ingredient.h"
#include "kitchen/units.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace kb::kitchen {

// Where in a shop an item is found; the list is grouped by it, in this order.
enum class Aisle { Produce, Dairy, Meat, Bakery, Pantry, Spices, Frozen, Other };
inline constexpr int kAisleCount = 8;

QString aisleName(Aisle aisle); // "produce", ...
std::optional<Aisle> aisleFromName(QStringView name);

// The item a line is merged under: lower case, without punctuation, the last word singular
// ("Onions," and "onion" are one).
QString itemKey(QStringView item);

// The aisle of an item: the cook's correction if there is one, else the longest of the
// built-in keywords the item holds ("black pepper" is a spice, "bell pepper" produce).
class AisleTable {
  public:
    Aisle aisleOf(QStringView item) const;
    // The built-in guess, corrections aside.
    static Aisle guess(QStringView item);
    void correct(const QString& key, Aisle aisle) { m_corrections.insert(key, aisle); }
    const QHash<QString, Aisle>& corrections() const { return m_corrections; }

  private:
    QHash<QString, Aisle> m_corrections;
};

// One recipe on the list: its ingredient lines and the factor the cook chose.
struct ShoppingSource {
    QString category;
    QString name;
    double factor = 1;
    QString ingredients;
};

// One line of the merged list.
struct ShoppingLine {
    QString key;  // what ticks and aisle corrections are kept under
    QString item; // as first written
    Aisle aisle = Aisle::Other;
    std::optional<Amount> amount; // none for "salt to taste" and lines without an amount
    QStringList notes;            // "to taste", lines that could not be read
    QStringList recipes;          // names of the recipes it comes from, in list order
    bool ticked = false;

    // "500 g flour", "~2 ½ cups sugar", "salt (to taste)"
    QString text() const;
};

// The lines of every recipe, multiplied by its factor, merged by item and kind of measure:
// amounts of one family add up; volume and mass meet through the density table (the result
// marked approximate); count units only with the same unit. Shown in `system` (as written:
// the measure of the item's first line). Headings ("For the sauce:") are left out; a line the
// reader could not read is a line of its own, as written. Sorted by aisle, then item.
QList<ShoppingLine> mergeShopping(const QList<ShoppingSource>& sources, System system,
                                  const AisleTable& aisles, const QSet<QString>& ticked = {});

// The list as plain text: a heading per aisle, a line per item with "[x]" when ticked and the
// recipes it comes from.
QString shoppingText(const QList<ShoppingLine>& lines);

// The list as a page to print: a heading per aisle, a box per line.
QString shoppingHtml(const QString& title, const QList<ShoppingLine>& lines);

} // namespace kb::kitchen
