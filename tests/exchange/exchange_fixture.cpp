#include "exchange_fixture.h"

#include "core/recipetable.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace kb::test {

std::unique_ptr<Database> newRecipeFile(const QString& folder, const QString& name) {
    const QString base = QDir(folder).filePath(name);
    // The side files of an earlier file of that name belong to it, not to the new one.
    for (const char* suffix : {".mdb", ".details", ".history", ".index"})
        QFile::remove(base + suffix);
    Database::CreateDatabase(base);
    return Database::OpenDatabase(base);
}

void addRows(Database& db, const QString& table, const QList<RecipeFields>& rows) {
    if (!db.TableDefs().contains(table))
        db.AppendTableDef(recipeTableDef(db, table));
    auto rs = db.OpenRecordset(table);
    for (const RecipeFields& row : rows) {
        rs->AddNew();
        for (int i = 0; i < 4; ++i)
            rs->SetField(i, row[static_cast<size_t>(i)]);
        rs->Update();
    }
}

QStringList dumpAll(Database& db) {
    QStringList out;
    for (const QString& table : db.TableDefs()) {
        out << "table " + table;
        QString quoted = table;
        quoted.replace('"', "\"\"");
        for (const QVariantList& row :
             db.Query("SELECT * FROM \"" + quoted + "\" ORDER BY rowid")) {
            QStringList fields;
            for (const QVariant& v : row)
                fields << (v.isNull() ? QString("<null>") : "[" + v.toString() + "]");
            out << fields.join('|');
        }
    }
    return out;
}

QList<exchange::MmRecipe> generatedMealMaster(int count) {
    const QStringList units = {"c", "ts", "tb", "lb", "oz", "", "g", "ml", "lg", "pn"};
    const QStringList foods = {"Flour",         "Butter; softened", "Sugar",     "Eggs",
                               "Milk",          "Onion; chopped",   "Salt",      "Carrots",
                               "Crème fraîche", "Garlic cloves",    "Olive oil", "Parsley"};
    QList<exchange::MmRecipe> list;
    for (int n = 1; n <= count; ++n) {
        exchange::MmRecipe r;
        r.title = QString("Generated Dish %1").arg(n);
        r.categories = {n % 3 ? "Soups" : "Baking", "Test"};
        r.yield = QString("%1 servings").arg(2 + n % 5);
        const int ingredients = 3 + n % 8;
        for (int i = 0; i < ingredients; ++i) {
            const QString amount = i % 4 == 3 ? QString() : QString("%1/%2").arg(1 + i).arg(2);
            r.ingredients << exchange::MmIngredient{amount, units[(n + i) % units.size()],
                                                    foods[(n * 3 + i) % foods.size()]};
        }
        r.directions = {QString("Mix everything for dish %1 at 180°C.").arg(n), "",
                        "Serve warm; it keeps for ½ day."};
        list << r;
    }
    return list;
}

QByteArray dataFile(const QString& name) {
    QFile f(QString(KB_EXCHANGE_DATA) + "/" + name);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing test data %s", qPrintable(name));
    return f.readAll();
}

void writeFile(const QString& fileName, const QByteArray& bytes) {
    QFile f(fileName);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(fileName));
}

QStringList namesOf(const exchange::ReadResult& read) {
    QStringList names;
    for (const exchange::RecipeRecord& r : read.recipes)
        names << r.name;
    return names;
}

} // namespace kb::test
