#include "exchange/exporter.h"

#include "core/app.h"
#include "core/database.h"
#include "core/printexport.h"
#include "core/recipefile.h"
#include "core/recipetable.h"
#include "core/store_error.h"
#include "details/details.h"
#include "exchange/jsonld.h"
#include "exchange/mealmaster.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

namespace kb::exchange {

namespace {

QString cannotWrite(const QString& fileName, const QString& reason) {
    return QStringLiteral("The recipes could not be exported, because the file \"%1\" could "
                          "not be written (%2). Nothing was changed.")
        .arg(QDir::toNativeSeparators(fileName), reason);
}

// The recipes with their details as text blocks after the instructions, for the formats that
// have no place of their own for them (photos and the rating aside).
QList<RecipeRecord> detailsAsText(const QList<RecipeRecord>& recipes) {
    QList<RecipeRecord> out = recipes;
    for (RecipeRecord& r : out) {
        if (r.kept.isEmpty())
            continue;
        r.details = fromDetails(r.kept);
        if (r.kept.servings && r.kept.yield.isEmpty())
            r.details.yield = QString::number(*r.kept.servings);
        r.instructions = r.fullInstructions();
        r.details = {};
        r.stored.reset();
    }
    return out;
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
    // Which recipes have details, so that only theirs are read. A recipe file without a
    // details file has none, and gets none made by an export.
    QSet<QString> withDetails;
    const auto key = [](const QString& table, const QString& recipe) -> QString {
        return table.toLower() + QChar(0x1F) + recipe;
    };
    bool attached = false;
    for (const QVariantList& row : db.Query(QStringLiteral("PRAGMA database_list")))
        attached = attached || row.value(1).toString() == kDetailsSchema;
    if (!attached &&
        QFileInfo::exists(
            RecipeFile::fromDatabasePath(withoutRecipeSuffix(db.FileName())).detailsFile())) {
        attachDetails(db);
        attached = true;
    }
    if (attached)
        for (const QVariantList& row : db.Query(QStringLiteral(
                 "SELECT category, name FROM details.recipes WHERE removed IS NULL")))
            withDetails.insert(key(row.value(0).toString(), row.value(1).toString()));
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
            if (c.recipes.size() % 250 == 0 && !reportProgress(progress, c.recipes.size(), 0))
                throw StoreError::cancelled();
            c.recipes << RecipeRecord::fromStored(readRecipe(*rs, table));
            if (withDetails.contains(key(table, c.recipes.last().name)))
                c.recipes.last().kept = readDetails(db, table, c.recipes.last().name);
            if (!name.isEmpty())
                break;
        }
    }
    return c;
}

QString exportFilter() {
    return QStringLiteral(
        "schema.org recipes (*.jsonld *.json);;Plain text (*.txt);;MealMaster (*.mmf)");
}

ExportTarget exportTarget(const QString& chosen) {
    ExportTarget t{chosen};
    if (QFileInfo(chosen).suffix().isEmpty())
        t.fileName += QStringLiteral(".jsonld");
    const QString suffix = QFileInfo(t.fileName).suffix().toLower();
    if (suffix == QLatin1String("txt"))
        t.format = ExportFormat::Text;
    else if (suffix == QLatin1String("mmf") || suffix == QLatin1String("mm"))
        t.format = ExportFormat::MealMaster;
    return t;
}

QString fileNameFor(const QString& name) {
    QString out;
    for (const QChar c : trimSpaces(name))
        out += (c.isLetterOrNumber() || c == QLatin1Char(' ') || c == QLatin1Char('-') ||
                c == QLatin1Char('_'))
                   ? c
                   : QLatin1Char('_');
    return out.isEmpty() ? QStringLiteral("Recipes") : out;
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
        lines << printTextLines(r.texts());
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
                            if (done % 250 == 0 && !reportProgress(progress, done, total))
                                throw StoreError::cancelled();
                        });
        } else if (format == ExportFormat::MealMaster) {
            if (!reportProgress(progress, 0, total))
                throw StoreError::cancelled();
            file.write(writeMealMaster(detailsAsText(collection.recipes)));
        } else {
            if (!reportProgress(progress, 0, total))
                throw StoreError::cancelled();
            QByteArray bytes;
            for (const QString& l : textExportLines(detailsAsText(collection.recipes)))
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
    // Written: a cancel now comes too late to matter.
    reportProgress(progress, total, total);
}

} // namespace kb::exchange
