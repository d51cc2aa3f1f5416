#include "kitchen/shoppingstore.h"

#include "core/database.h"
#include "core/recipefile.h"
#include "core/recipetable.h"
#include "core/store_error.h"

#include <QFileInfo>
#include <cmath>

namespace kb::kitchen {

namespace {

const QString kCreate = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS shopping.recipes (id INTEGER PRIMARY KEY, category TEXT NOT "
    "NULL, name TEXT NOT NULL, factor REAL NOT NULL);"
    "CREATE TABLE IF NOT EXISTS shopping.ticked (key TEXT PRIMARY KEY);"
    "CREATE TABLE IF NOT EXISTS shopping.aisles (item TEXT PRIMARY KEY, aisle TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS shopping.settings (key TEXT PRIMARY KEY, value TEXT)");

bool isAttached(Database& db) {
    for (const QVariantList& row : db.Query(QStringLiteral("PRAGMA database_list")))
        if (row.size() > 1 && row.at(1).toString() == kShoppingSchema)
            return true;
    return false;
}

// A factor from the file is checked like one typed: the file may have been edited.
double sane(double factor) {
    return std::isfinite(factor) && factor > 0 && factor <= 1000 ? factor : 1.0;
}

} // namespace

QString shoppingFileOf(const QString& databasePath) {
    return databasePath + QStringLiteral(".shopping");
}

void attachShopping(Database& db) {
    if (isAttached(db))
        return;
    const QString base = withoutRecipeSuffix(db.FileName());
    db.AttachSideFile(kShoppingSchema, shoppingFileOf(base));
    if (db.Query(QStringLiteral("SELECT 1 FROM shopping.sqlite_master WHERE name = 'settings'"))
            .isEmpty()) {
        db.Transaction([&] {
            for (const QString& sql : kCreate.split(QLatin1Char(';')))
                db.Execute(sql);
        });
    }
}

QList<ListedRecipe> listedRecipes(Database& db) {
    attachShopping(db);
    QList<ListedRecipe> out;
    for (const QVariantList& row :
         db.Query(QStringLiteral("SELECT id, category, name, factor FROM shopping.recipes "
                                 "ORDER BY id LIMIT ?1"),
                  {kMaxListedRecipes}))
        out.append({row.at(0).toLongLong(), row.at(1).toString(), row.at(2).toString(),
                    sane(row.at(3).toDouble())});
    return out;
}

void addToShoppingList(Database& db, const QString& category, const QString& name, double factor) {
    attachShopping(db);
    if (!(std::isfinite(factor) && factor > 0 && factor <= 1000))
        throw StoreError(QStringLiteral("The servings factor must be a number above 0 and at "
                                        "most 1000."));
    db.Transaction([&] {
        const auto existing =
            db.Query(QStringLiteral("SELECT id, factor FROM shopping.recipes WHERE category = "
                                    "?1 AND name = ?2"),
                     {category, name});
        if (!existing.isEmpty()) {
            db.Execute(QStringLiteral("UPDATE shopping.recipes SET factor = ?1 WHERE id = ?2"),
                       {std::min(1000.0, sane(existing.front().at(1).toDouble()) + factor),
                        existing.front().at(0)});
            return;
        }
        const auto count = db.Query(QStringLiteral("SELECT count(*) FROM shopping.recipes"));
        if (!count.isEmpty() && count.front().at(0).toLongLong() >= kMaxListedRecipes)
            throw StoreError(QStringLiteral("The shopping list holds %1 recipes, the most it "
                                            "can; empty it or remove a recipe first.")
                                 .arg(kMaxListedRecipes));
        db.Execute(QStringLiteral("INSERT INTO shopping.recipes (category, name, factor) "
                                  "VALUES (?1, ?2, ?3)"),
                   {category, name, factor});
    });
}

void setListedFactor(Database& db, std::int64_t id, double factor) {
    attachShopping(db);
    if (!(std::isfinite(factor) && factor > 0 && factor <= 1000))
        throw StoreError(QStringLiteral("The servings factor must be a number above 0 and at "
                                        "most 1000."));
    db.Execute(QStringLiteral("UPDATE shopping.recipes SET factor = ?1 WHERE id = ?2"),
               {factor, QVariant::fromValue(id)});
}

void removeFromShoppingList(Database& db, std::int64_t id) {
    attachShopping(db);
    db.Execute(QStringLiteral("DELETE FROM shopping.recipes WHERE id = ?1"),
               {QVariant::fromValue(id)});
}

void clearShoppingList(Database& db) {
    attachShopping(db);
    db.Transaction([&] {
        db.Execute(QStringLiteral("DELETE FROM shopping.recipes"));
        db.Execute(QStringLiteral("DELETE FROM shopping.ticked"));
    });
}

QSet<QString> tickedLines(Database& db) {
    attachShopping(db);
    QSet<QString> out;
    for (const QVariantList& row : db.Query(QStringLiteral("SELECT key FROM shopping.ticked")))
        out.insert(row.at(0).toString());
    return out;
}

void setTicked(Database& db, const QString& key, bool ticked) {
    attachShopping(db);
    if (ticked)
        db.Execute(QStringLiteral("INSERT OR IGNORE INTO shopping.ticked (key) VALUES (?1)"),
                   {key});
    else
        db.Execute(QStringLiteral("DELETE FROM shopping.ticked WHERE key = ?1"), {key});
}

AisleTable aisleTable(Database& db) {
    attachShopping(db);
    AisleTable table;
    for (const QVariantList& row :
         db.Query(QStringLiteral("SELECT item, aisle FROM shopping.aisles")))
        if (const auto aisle = aisleFromName(row.at(1).toString()))
            table.correct(row.at(0).toString(), *aisle);
    return table;
}

void correctAisle(Database& db, const QString& item, Aisle aisle) {
    attachShopping(db);
    const QString key = itemKey(item);
    if (AisleTable::guess(item) == aisle)
        db.Execute(QStringLiteral("DELETE FROM shopping.aisles WHERE item = ?1"), {key});
    else
        db.Execute(QStringLiteral("INSERT OR REPLACE INTO shopping.aisles (item, aisle) VALUES "
                                  "(?1, ?2)"),
                   {key, aisleName(aisle)});
}

System shownSystem(Database& db) {
    attachShopping(db);
    const auto rows =
        db.Query(QStringLiteral("SELECT value FROM shopping.settings WHERE key = 'system'"));
    const QString v = rows.isEmpty() ? QString() : rows.front().at(0).toString();
    if (v == QLatin1String("metric"))
        return System::Metric;
    if (v == QLatin1String("us"))
        return System::Us;
    return System::AsWritten;
}

void setShownSystem(Database& db, System system) {
    attachShopping(db);
    const QString v = system == System::Metric ? QStringLiteral("metric")
                      : system == System::Us   ? QStringLiteral("us")
                                               : QStringLiteral("written");
    db.Execute(QStringLiteral("INSERT OR REPLACE INTO shopping.settings (key, value) VALUES "
                              "('system', ?1)"),
               {v});
}

QList<ShoppingSource> shoppingSources(Database& db, const QList<ListedRecipe>& listed,
                                      QStringList* missing) {
    QList<ShoppingSource> out;
    const QStringList tables = db.TableDefs();
    for (const ListedRecipe& r : listed) {
        bool found = false;
        if (tables.contains(r.category) && !isExcludedTable(r.category)) {
            auto rs = db.OpenRecordset(r.category);
            if (rs->FieldCount() >= 4 && rs->FindFirst(r.name, true)) {
                out.append({r.category, r.name, r.factor, rs->Fields(2).value_or(QString())});
                found = true;
            }
            rs->Close();
        }
        if (!found && missing)
            *missing << r.category + QLatin1Char('/') + r.name;
    }
    return out;
}

} // namespace kb::kitchen
