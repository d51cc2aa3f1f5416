#include "exchange/exporter.h"

#include "core/recipefile.h"

#include "core/database.h"
#include "core/printexport.h"
#include "core/recipetable.h"
#include "core/store_error.h"
#include "exchange/jsonld.h"
#include "exchange/mealmaster.h"

#include <QDir>
#include <QSaveFile>
#include <QSet>

namespace kb::exchange {

namespace {

QString cannotWrite(const QString& fileName, const QString& reason) {
    return QStringLiteral("The recipes could not be exported, because the file \"%1\" could "
                          "not be written (%2). Nothing was changed.")
        .arg(QDir::toNativeSeparators(fileName), reason);
}

} // namespace

Collection collectRecipes(const RecipeFile& file, const QString& category, const QString& name,
                          const Progress& progress) {
    std::unique_ptr<Database> db = file.open();
    Collection c = collectRecipes(*db, category, name, progress);
    db->Close();
    return c;
}

Collection collectRecipes(Database& db, const QString& category, const QString& name,
                          const Progress& progress) {
    Collection c;
    QStringList tables;
    for (const QString& t : db.TableDefs())
        if (!isExcludedTable(t) && (category.isEmpty() || t == category))
            tables << t;
    if (!category.isEmpty() && tables.isEmpty())
        throw StoreError(QStringLiteral("The category \"%1\" no longer exists.").arg(category));
    c.categories = tables;
    for (const QString& table : tables) {
        auto rs = db.OpenRecordset(table);
        if (rs->FieldCount() < 4)
            throw StoreError(QStringLiteral("The category \"%1\" is not a recipe table: it has "
                                            "fewer than four columns.")
                                 .arg(table));
        if (!name.isEmpty()) {
            if (!rs->FindFirst(name, true))
                throw StoreError(
                    QStringLiteral("The recipe \"%1\" is no longer in the category \"%2\".")
                        .arg(name, table));
        }
        for (; !rs->Eof(); rs->MoveNext()) {
            if (progress.stop())
                throw Cancelled{};
            StoredValues values;
            for (int i = 0; i < 4; ++i)
                values[static_cast<size_t>(i)] = rs->Fields(i);
            c.recipes << RecipeRecord::fromStored(table, values);
            if (!name.isEmpty())
                break;
        }
    }
    return c;
}

QStringList textExportLines(const QList<RecipeRecord>& recipes) {
    QStringList lines;
    QSet<QString> categories;
    for (const RecipeRecord& r : recipes)
        categories.insert(r.category);
    const bool headings = categories.size() > 1;
    QString category;
    bool first = true;
    for (const RecipeRecord& r : recipes) {
        if (!first)
            lines << QString() << QString();
        if (headings && (first || r.category != category)) {
            lines << QStringLiteral("Category: ") + r.category << QString();
            category = r.category;
        }
        first = false;
        lines << printTextLines(PrintRecipe{r.name, r.author, r.ingredients, r.instructions});
    }
    return lines;
}

void exportRecipes(const QString& fileName, const Collection& collection, ExportFormat format,
                   const Progress& progress) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw StoreError(cannotWrite(fileName, file.errorString()));
    const qsizetype total = collection.recipes.size();
    try {
        if (format == ExportFormat::JsonLd) {
            writeJsonLd(file, collection.recipes, collection.categories, total != 1,
                        [&](qsizetype done) {
                            if (progress.stop())
                                throw Cancelled{};
                            if (done % 250 == 0)
                                progress.report(done, total);
                        });
        } else if (format == ExportFormat::MealMaster) {
            if (progress.stop())
                throw Cancelled{};
            file.write(writeMealMaster(collection.recipes));
        } else {
            if (progress.stop())
                throw Cancelled{};
            QByteArray bytes;
            for (const QString& l : textExportLines(collection.recipes))
                bytes += l.toUtf8() + "\r\n";
            file.write(bytes);
        }
        if (file.error() != QFileDevice::NoError)
            throw StoreError(cannotWrite(fileName, file.errorString()));
    } catch (...) {
        file.cancelWriting();
        throw;
    }
    if (!file.commit())
        throw StoreError(cannotWrite(fileName, file.errorString()));
    progress.report(total, total);
}

} // namespace kb::exchange
