#pragma once

#include "kitchen/shopping.h"

#include <QList>
#include <QSet>
#include <QString>
#include <cstdint>

namespace kb {

class Database;

namespace kitchen {

// The shopping list between starts: Recipe.shopping beside the recipe file, encrypted with
// its key and attached as schema "shopping", holding the recipes on the list with their
// factors, the lines ticked off, the cook's aisle corrections and the system shown.
inline const QString kShoppingSchema = QStringLiteral("shopping");
QString shoppingFileOf(const QString& databasePath);

struct ListedRecipe {
    std::int64_t id = 0;
    QString category;
    QString name;
    double factor = 1;
};

// The most recipes the list holds: a list is for one trip to the shop.
inline constexpr int kMaxListedRecipes = 200;

// Attaches the side file (made when missing) with its tables; harmless when attached.
void attachShopping(Database& db);

QList<ListedRecipe> listedRecipes(Database& db);
// Adds the recipe, or adds `factor` to its factor when it is on the list already.
void addToShoppingList(Database& db, const QString& category, const QString& name, double factor);
void setListedFactor(Database& db, std::int64_t id, double factor);
void removeFromShoppingList(Database& db, std::int64_t id);
// Empties the list and its ticks; the aisle corrections stay.
void clearShoppingList(Database& db);

QSet<QString> tickedLines(Database& db);
void setTicked(Database& db, const QString& key, bool ticked);

AisleTable aisleTable(Database& db);
void correctAisle(Database& db, const QString& item, Aisle aisle);

System shownSystem(Database& db);
void setShownSystem(Database& db, System system);

// The listed recipes with their ingredients, read from the recipe file. Recipes that are no
// longer there are left out and named in `missing`.
QList<ShoppingSource> shoppingSources(Database& db, const QList<ListedRecipe>& listed,
                                      QStringList* missing = nullptr);

} // namespace kitchen
} // namespace kb
