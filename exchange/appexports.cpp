// The exports of recipe programs and services: Paprika, Mealie, Tandoor and Nextcloud Cookbook,
// as JSON, gzipped JSON, zip archives and folders.

#include "exchange/archive.h"
#include "exchange/importer.h"
#include "exchange/jsonld.h"
#include "exchange/otherformats.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace kb::exchange {

namespace {

// A number as a cook writes it: 1.5, not 1.500000.
QString amountText(const QJsonValue& v) {
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (d == 0)
            return {};
        return QString::number(d, 'g', 6);
    }
    return v.toString().trimmed();
}

QString str(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isString())
        return v.toString().trimmed();
    if (v.isDouble())
        return amountText(v);
    return {};
}

// The name of a value that may be a string or an object with a name.
QString nameOf(const QJsonValue& v) {
    if (v.isString())
        return v.toString().trimmed();
    if (v.isObject())
        return v.toObject().value(QLatin1String("name")).toString().trimmed();
    return {};
}

QStringList namesOf(const QJsonValue& v) {
    QStringList out;
    if (v.isString()) {
        for (const QString& part : v.toString().split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (!part.trimmed().isEmpty())
                out << part.trimmed();
        return out;
    }
    for (const auto& e : v.toArray()) {
        const QString n = nameOf(e);
        if (!n.isEmpty())
            out << n;
    }
    return out;
}

QString joinNonEmpty(const QStringList& parts, const QString& separator = QStringLiteral(" ")) {
    QStringList kept;
    for (const QString& p : parts)
        if (!p.trimmed().isEmpty())
            kept << p.trimmed();
    return kept.join(separator);
}

// Text with its own lines; runs of empty lines made one.
QString paragraphs(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList out;
    for (const QString& raw : text.split(breaks)) {
        const QString line = raw.trimmed();
        if (line.isEmpty() && (out.isEmpty() || out.last().isEmpty()))
            continue;
        out << line;
    }
    while (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out.join(QLatin1Char('\n'));
}

// "PT1H30M" as "1 h 30 min"; minutes as a number as "45 min"; anything else as it stands.
QString duration(const QJsonValue& v) {
    if (v.isDouble())
        return v.toDouble() > 0 ? amountText(v) + QStringLiteral(" min") : QString();
    const QString s = v.toString().trimmed();
    static const QRegularExpression iso(
        QStringLiteral("^P(?:(\\d+)D)?(?:T(?:(\\d+)H)?(?:(\\d+)M)?(?:(\\d+)S)?)?$"));
    const auto m = iso.match(s);
    if (!m.hasMatch())
        return s;
    QStringList parts;
    const char* units[] = {"", "d", "h", "min", "s"};
    for (int i = 1; i <= 4; ++i)
        if (!m.captured(i).isEmpty() && m.captured(i).toLongLong() != 0)
            parts << m.captured(i) + QLatin1Char(' ') + QLatin1String(units[i]);
    return parts.isEmpty() ? QString() : parts.join(QLatin1Char(' '));
}

void keep(ReadResult& result, RecipeRecord r) {
    if (r.category.isEmpty())
        r.category = r.details.categories.value(0);
    if (r.name.trimmed().isEmpty() && r.ingredients.trimmed().isEmpty() &&
        r.instructions.trimmed().isEmpty()) {
        result.problems << SourceProblem{r.position, QStringLiteral("the recipe is empty: it has "
                                                                    "no name, ingredients or "
                                                                    "instructions")};
        return;
    }
    result.recipes << r;
}

QString where(const QString& prefix, const QString& what) {
    return prefix.isEmpty() ? what : prefix + QLatin1String(", ") + what;
}

// ---------------------------------------------------------------------------------------------

bool isPaprika(const QJsonObject& o) {
    return o.value(QLatin1String("ingredients")).isString() &&
           o.value(QLatin1String("directions")).isString() &&
           (o.contains(QLatin1String("uid")) || o.contains(QLatin1String("photo_data")) ||
            o.contains(QLatin1String("source_url")) || o.contains(QLatin1String("hash")));
}

RecipeRecord paprikaRecipe(const QJsonObject& o) {
    RecipeRecord r;
    r.name = str(o, "name");
    r.ingredients = paragraphs(o.value(QLatin1String("ingredients")).toString());
    r.instructions = paragraphs(o.value(QLatin1String("directions")).toString());
    r.details.description = paragraphs(str(o, "description"));
    r.details.notes = paragraphs(str(o, "notes"));
    r.details.yield = str(o, "servings");
    r.details.prepTime = str(o, "prep_time");
    r.details.cookTime = str(o, "cook_time");
    r.details.totalTime = str(o, "total_time");
    r.details.nutrition = paragraphs(str(o, "nutritional_info"));
    r.details.categories = namesOf(o.value(QLatin1String("categories")));
    r.details.source = joinNonEmpty({str(o, "source"), str(o, "source_url")}, QStringLiteral("\n"));
    r.details.image = str(o, "photo");
    if (r.details.image.isEmpty())
        r.details.image = str(o, "image_url");
    r.details.photo =
        QByteArray::fromBase64(o.value(QLatin1String("photo_data")).toString().toLatin1());
    return r;
}

bool isMealie(const QJsonObject& o) {
    return o.contains(QLatin1String("slug")) && o.contains(QLatin1String("recipeIngredient")) &&
           !o.contains(QLatin1String("@type"));
}

QString mealieIngredient(const QJsonValue& v, QStringList& out) {
    if (v.isString())
        return v.toString().trimmed();
    const QJsonObject i = v.toObject();
    const QString title = str(i, "title");
    if (!title.isEmpty())
        out << title + QLatin1Char(':');
    const QString display = str(i, "display");
    if (!display.isEmpty())
        return display;
    const QString food = nameOf(i.value(QLatin1String("food")));
    const QString note = str(i, "note");
    if (i.value(QLatin1String("disableAmount")).toBool() || food.isEmpty()) {
        const QString original = str(i, "originalText");
        return note.isEmpty() ? original : note;
    }
    QString line = joinNonEmpty({amountText(i.value(QLatin1String("quantity"))),
                                 nameOf(i.value(QLatin1String("unit"))), food});
    if (!note.isEmpty())
        line += QStringLiteral(", ") + note;
    return line;
}

RecipeRecord mealieRecipe(const QJsonObject& o) {
    RecipeRecord r;
    r.name = str(o, "name");
    QStringList ingredients;
    for (const auto& v : o.value(QLatin1String("recipeIngredient")).toArray()) {
        const QString line = mealieIngredient(v, ingredients);
        if (!line.isEmpty())
            ingredients << line;
    }
    r.ingredients = ingredients.join(QLatin1Char('\n'));
    QStringList steps;
    for (const auto& v : o.value(QLatin1String("recipeInstructions")).toArray()) {
        if (v.isString()) {
            steps << paragraphs(v.toString());
            continue;
        }
        const QJsonObject s = v.toObject();
        const QString title = str(s, "title");
        if (!title.isEmpty())
            steps << title + QLatin1Char(':');
        const QString text = paragraphs(str(s, "text"));
        if (!text.isEmpty())
            steps << text;
    }
    r.instructions = steps.join(QStringLiteral("\n\n"));
    r.details.description = paragraphs(str(o, "description"));
    r.details.yield = str(o, "recipeYield");
    r.details.prepTime = duration(o.value(QLatin1String("prepTime")));
    r.details.cookTime = duration(o.value(QLatin1String("performTime")));
    if (r.details.cookTime.isEmpty())
        r.details.cookTime = duration(o.value(QLatin1String("cookTime")));
    r.details.totalTime = duration(o.value(QLatin1String("totalTime")));
    r.details.categories = namesOf(o.value(QLatin1String("recipeCategory")));
    r.details.keywords = namesOf(o.value(QLatin1String("tags")));
    r.details.source = str(o, "orgURL");
    QStringList notes;
    for (const auto& v : o.value(QLatin1String("notes")).toArray()) {
        const QJsonObject n = v.toObject();
        notes << joinNonEmpty({str(n, "title"), paragraphs(str(n, "text"))}, QStringLiteral("\n"));
    }
    r.details.notes = joinNonEmpty(notes, QStringLiteral("\n\n"));
    const QJsonObject nutrition = o.value(QLatin1String("nutrition")).toObject();
    QStringList facts;
    for (auto it = nutrition.begin(); it != nutrition.end(); ++it)
        if (!amountText(it.value()).isEmpty())
            facts << it.key() + QStringLiteral(": ") + amountText(it.value());
    r.details.nutrition = facts.join(QLatin1Char('\n'));
    return r;
}

// Mealie's whole-database export: tables of rows, the recipe's parts joined by its id.
bool isMealieDatabase(const QJsonObject& o) {
    return o.value(QLatin1String("recipes")).isArray() &&
           (o.contains(QLatin1String("recipes_ingredients")) ||
            o.contains(QLatin1String("recipe_instructions")));
}

void mealieDatabase(const QJsonObject& o, const QString& prefix, ReadResult& result) {
    const auto byId = [&o](const char* table) {
        QHash<QString, QString> names;
        for (const auto& v : o.value(QLatin1String(table)).toArray()) {
            const QJsonObject row = v.toObject();
            names.insert(row.value(QLatin1String("id")).toVariant().toString(), str(row, "name"));
        }
        return names;
    };
    const QHash<QString, QString> units = byId("ingredient_units");
    const QHash<QString, QString> foods = byId("ingredient_foods");
    const QHash<QString, QString> categories = byId("categories");
    const QHash<QString, QString> tags = byId("tags");
    // The rows of a table that belong to each recipe, in their order.
    const auto grouped = [&o](const char* table) {
        QHash<QString, QList<QJsonObject>> rows;
        for (const auto& v : o.value(QLatin1String(table)).toArray()) {
            const QJsonObject row = v.toObject();
            rows[row.value(QLatin1String("recipe_id")).toVariant().toString()] << row;
        }
        for (auto& list : rows)
            std::stable_sort(list.begin(), list.end(),
                             [](const QJsonObject& a, const QJsonObject& b) {
                                 return a.value(QLatin1String("position")).toInt() <
                                        b.value(QLatin1String("position")).toInt();
                             });
        return rows;
    };
    const auto ingredients = grouped("recipes_ingredients");
    const auto instructions = grouped("recipe_instructions");
    const auto notes = grouped("notes");
    const auto recipeCategories = grouped("recipes_to_categories");
    const auto recipeTags = grouped("recipes_to_tags");
    int n = 0;
    for (const auto& v : o.value(QLatin1String("recipes")).toArray()) {
        const QJsonObject row = v.toObject();
        const QString id = row.value(QLatin1String("id")).toVariant().toString();
        RecipeRecord r;
        r.position = where(prefix, QStringLiteral("recipe %1").arg(++n));
        r.name = str(row, "name");
        QStringList lines;
        for (const QJsonObject& i : ingredients.value(id)) {
            const QString title = str(i, "title");
            if (!title.isEmpty())
                lines << title + QLatin1Char(':');
            const QString food =
                foods.value(i.value(QLatin1String("food_id")).toVariant().toString());
            const QString note = str(i, "note");
            QString line =
                food.isEmpty()
                    ? (note.isEmpty() ? str(i, "original_text") : note)
                    : joinNonEmpty(
                          {amountText(i.value(QLatin1String("quantity"))),
                           units.value(i.value(QLatin1String("unit_id")).toVariant().toString()),
                           food});
            if (!food.isEmpty() && !note.isEmpty())
                line += QStringLiteral(", ") + note;
            if (!line.isEmpty())
                lines << line;
        }
        r.ingredients = lines.join(QLatin1Char('\n'));
        QStringList steps;
        for (const QJsonObject& s : instructions.value(id)) {
            const QString title = str(s, "title");
            if (!title.isEmpty())
                steps << title + QLatin1Char(':');
            if (!str(s, "text").isEmpty())
                steps << paragraphs(str(s, "text"));
        }
        r.instructions = steps.join(QStringLiteral("\n\n"));
        r.details.description = paragraphs(str(row, "description"));
        r.details.yield = str(row, "recipe_yield");
        r.details.prepTime = str(row, "prep_time");
        r.details.cookTime = str(row, "perform_time");
        r.details.totalTime = str(row, "total_time");
        r.details.source = str(row, "org_url");
        for (const QJsonObject& c : recipeCategories.value(id))
            r.details.categories << categories.value(
                c.value(QLatin1String("category_id")).toVariant().toString());
        for (const QJsonObject& t : recipeTags.value(id))
            r.details.keywords << tags.value(
                t.value(QLatin1String("tag_id")).toVariant().toString());
        r.details.categories.removeAll(QString());
        r.details.keywords.removeAll(QString());
        QStringList noteTexts;
        for (const QJsonObject& note : notes.value(id))
            noteTexts << joinNonEmpty({str(note, "title"), paragraphs(str(note, "text"))},
                                      QStringLiteral("\n"));
        r.details.notes = joinNonEmpty(noteTexts, QStringLiteral("\n\n"));
        keep(result, r);
    }
}

bool isTandoor(const QJsonObject& o) {
    return o.value(QLatin1String("steps")).isArray() && o.contains(QLatin1String("name")) &&
           !o.contains(QLatin1String("@type"));
}

RecipeRecord tandoorRecipe(const QJsonObject& o) {
    RecipeRecord r;
    r.name = str(o, "name");
    QStringList ingredients;
    QStringList steps;
    QJsonArray stepList = o.value(QLatin1String("steps")).toArray();
    for (const auto& v : stepList) {
        const QJsonObject s = v.toObject();
        const QString title = str(s, "name");
        if (!title.isEmpty())
            steps << title + QLatin1Char(':');
        const QString text = paragraphs(str(s, "instruction"));
        if (!text.isEmpty())
            steps << text;
        for (const auto& iv : s.value(QLatin1String("ingredients")).toArray()) {
            const QJsonObject i = iv.toObject();
            const QString food = nameOf(i.value(QLatin1String("food")));
            const QString note = str(i, "note");
            if (i.value(QLatin1String("is_header")).toBool()) {
                const QString heading = note.isEmpty() ? food : note;
                if (!heading.isEmpty())
                    ingredients << heading + QLatin1Char(':');
                continue;
            }
            QString line = i.value(QLatin1String("no_amount")).toBool()
                               ? food
                               : joinNonEmpty({amountText(i.value(QLatin1String("amount"))),
                                               nameOf(i.value(QLatin1String("unit"))), food});
            if (!note.isEmpty())
                line = line.isEmpty() ? note : line + QStringLiteral(", ") + note;
            if (line.isEmpty())
                line = str(i, "original_text");
            if (!line.isEmpty())
                ingredients << line;
        }
    }
    r.ingredients = ingredients.join(QLatin1Char('\n'));
    r.instructions = steps.join(QStringLiteral("\n\n"));
    r.details.description = paragraphs(str(o, "description"));
    r.details.keywords = namesOf(o.value(QLatin1String("keywords")));
    const QString servings = str(o, "servings");
    r.details.yield = joinNonEmpty({servings, str(o, "servings_text")});
    if (o.value(QLatin1String("working_time")).toDouble() > 0)
        r.details.prepTime = duration(o.value(QLatin1String("working_time")));
    if (o.value(QLatin1String("waiting_time")).toDouble() > 0)
        r.details.cookTime = duration(o.value(QLatin1String("waiting_time")));
    r.details.source = str(o, "source_url");
    return r;
}

// Pictures beside a recipe file in an archive or a folder: the recipe's photo.
bool isPhotoName(const QString& name) {
    const QString base = QFileInfo(name).fileName().toLower();
    return base == QLatin1String("full.jpg") || base.startsWith(QLatin1String("image.")) ||
           base == QLatin1String("original.webp") || base == QLatin1String("original.jpg");
}

constexpr int kMaxArchiveDepth = 2;

ReadResult readArchiveAt(const QByteArray& zip, int depth);

} // namespace

std::optional<ReadResult> readAppJson(const QByteArray& json, const QString& prefix) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    QJsonArray items;
    if (doc.isArray())
        items = doc.array();
    else
        items.append(doc.object());
    ReadResult result;
    int n = 0;
    for (const auto& v : items) {
        const QJsonObject o = v.toObject();
        std::optional<RecipeRecord> r;
        if (isPaprika(o)) {
            result.format = QStringLiteral("Paprika");
            r = paprikaRecipe(o);
        } else if (isMealie(o)) {
            result.format = QStringLiteral("Mealie");
            r = mealieRecipe(o);
        } else if (isTandoor(o)) {
            result.format = QStringLiteral("Tandoor");
            r = tandoorRecipe(o);
        } else if (isMealieDatabase(o)) {
            result.format = QStringLiteral("Mealie database export");
            mealieDatabase(o, prefix, result);
            continue;
        } else {
            continue;
        }
        r->position = where(prefix, QStringLiteral("recipe %1").arg(++n));
        keep(result, *r);
    }
    if (result.format.isEmpty())
        return std::nullopt;
    return result;
}

ReadResult readPaprikaRecipe(const QByteArray& gzipped, const QString& prefix) {
    QString failure;
    const QByteArray json = gunzip(gzipped, failure);
    ReadResult result;
    result.format = QStringLiteral("Paprika");
    if (!failure.isEmpty()) {
        result.problems << SourceProblem{prefix.isEmpty() ? QStringLiteral("the file") : prefix,
                                         failure};
        return result;
    }
    auto read = readAppJson(json, prefix);
    if (!read) {
        result.problems << SourceProblem{prefix.isEmpty() ? QStringLiteral("the file") : prefix,
                                         QStringLiteral("it is not a Paprika recipe")};
        return result;
    }
    return *read;
}

namespace {

ReadResult readArchiveAt(const QByteArray& zip, int depth) {
    ReadResult result;
    result.format = QStringLiteral("zip archive");
    const auto wanted = [](const QString& name) {
        const QString lower = name.toLower();
        return !lower.startsWith(QLatin1String("__macosx/")) &&
               (lower.endsWith(QLatin1String(".json")) ||
                lower.endsWith(QLatin1String(".paprikarecipe")) ||
                lower.endsWith(QLatin1String(".zip")) || lower.endsWith(QLatin1String(".mmf")) ||
                lower.endsWith(QLatin1String(".mxp")) || lower.endsWith(QLatin1String(".mx2")) ||
                lower.endsWith(QLatin1String(".cook")) || lower.endsWith(QLatin1String(".xml")) ||
                lower.endsWith(QLatin1String(".grmt")) || lower.endsWith(QLatin1String(".kreml")) ||
                lower.endsWith(QLatin1String(".jsonld")) || isPhotoName(name));
    };
    const ArchiveContents contents = readZip(zip, wanted);
    if (!contents.failure.isEmpty()) {
        result.problems << SourceProblem{QStringLiteral("the archive"), contents.failure};
        return result;
    }
    // Photos by folder, for the recipe file beside them.
    QHash<QString, QByteArray> photos;
    for (const ArchiveEntry& e : contents.entries)
        if (isPhotoName(e.name))
            photos.insert(QFileInfo(e.name).path(), e.data);
    QStringList formats;
    for (const ArchiveEntry& e : contents.entries) {
        if (isPhotoName(e.name))
            continue;
        ReadResult one;
        if (e.name.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive)) {
            if (depth >= kMaxArchiveDepth) {
                result.problems << SourceProblem{e.name, QStringLiteral("archives inside archives "
                                                                        "go no deeper than this")};
                continue;
            }
            one = readArchiveAt(e.data, depth + 1);
            for (RecipeRecord& r : one.recipes)
                r.position = e.name + QLatin1String(", ") + r.position;
            for (SourceProblem& p : one.problems)
                p.position = e.name + QLatin1String(", ") + p.position;
        } else {
            one = readRecipeBytes(e.data, e.name);
            // A JSON file in a recipe archive that holds no recipe (a settings file, a
            // database table of something else) is passed over, not reported.
            if (one.recipes.isEmpty() &&
                e.name.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
                continue;
            for (RecipeRecord& r : one.recipes)
                r.position =
                    e.name + (r.position.isEmpty() ? QString() : QLatin1String(", ") + r.position);
            for (SourceProblem& p : one.problems)
                p.position = e.name + QLatin1String(", ") + p.position;
        }
        const QString folder = QFileInfo(e.name).path();
        if (photos.contains(folder))
            for (RecipeRecord& r : one.recipes)
                if (r.details.photo.isEmpty())
                    r.details.photo = photos.value(folder);
        if (!one.format.isEmpty() && !formats.contains(one.format) && !one.recipes.isEmpty())
            formats << one.format;
        result.recipes << one.recipes;
        result.problems << one.problems;
    }
    if (!formats.isEmpty())
        result.format = QStringLiteral("zip archive of ") + formats.join(QStringLiteral(", "));
    if (result.recipes.isEmpty() && result.problems.isEmpty())
        result.problems << SourceProblem{QStringLiteral("the archive"),
                                         QStringLiteral("it holds no recipe file of a known kind")};
    return result;
}

} // namespace

ReadResult readRecipeArchive(const QByteArray& zip) {
    return readArchiveAt(zip, 1);
}

ReadResult readCookbookFolder(const QString& folder) {
    ReadResult result;
    result.format = QStringLiteral("Nextcloud Cookbook folder");
    const QDir dir(folder);
    QStringList files; // relative to the folder
    if (QFileInfo(dir.filePath(QStringLiteral("recipe.json"))).isFile())
        files << QStringLiteral("recipe.json");
    const QStringList subfolders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    if (subfolders.size() > ArchiveLimits{}.maxEntries) {
        result.problems << SourceProblem{
            QStringLiteral("the folder"),
            QStringLiteral("it holds %1 folders, more than the %2 a recipe folder may have")
                .arg(subfolders.size())
                .arg(ArchiveLimits{}.maxEntries)};
        return result;
    }
    for (const QString& sub : subfolders)
        if (QFileInfo(dir.filePath(sub + QStringLiteral("/recipe.json"))).isFile())
            files << sub + QStringLiteral("/recipe.json");
    for (const QString& name : files) {
        const QString file = dir.filePath(name);
        ReadResult one = readRecipeFile(file);
        for (RecipeRecord& r : one.recipes) {
            r.position =
                name + (r.position.isEmpty() ? QString() : QLatin1String(", ") + r.position);
            QFile photo(QFileInfo(file).dir().filePath(QStringLiteral("full.jpg")));
            if (r.details.photo.isEmpty() && QFileInfo(photo).isFile() &&
                QFileInfo(photo).size() <= (qint64(16) << 20) && photo.open(QIODevice::ReadOnly))
                r.details.photo = photo.readAll();
        }
        for (SourceProblem& p : one.problems)
            p.position = name + QLatin1String(", ") + p.position;
        result.recipes << one.recipes;
        result.problems << one.problems;
    }
    if (files.isEmpty())
        result.problems << SourceProblem{QStringLiteral("the folder"),
                                         QStringLiteral("it holds no recipe.json, neither itself "
                                                        "nor in a folder inside it")};
    return result;
}

} // namespace kb::exchange
