#pragma once

#include "exchange/recipe.h"

#include <QByteArray>
#include <QJsonObject>
#include <functional>

class QIODevice;

namespace kb::exchange {

// schema.org Recipe in JSON-LD. Peers read the standard fields; beside them each recipe
// carries its four stored values under a property of our own (kStoredProperty), so that our
// own export comes back byte for byte.
inline const QString kStoredProperty = QStringLiteral("https://kettlebox.example/ns/stored");
// Beside them, the details the recipe file keeps, exactly (servings apart from the yield, the
// times in minutes, notes): the standard properties say them to peers as well as they can.
inline const QString kDetailsProperty = QStringLiteral("https://kettlebox.example/ns/details");
// On a list: every category exported, those without recipes included.
inline const QString kCategoriesProperty =
    QStringLiteral("https://kettlebox.example/ns/categories");

// One recipe as a schema.org Recipe object; `withContext` adds "@context".
QJsonObject recipeToJsonLd(const RecipeRecord& recipe, bool withContext);

// Writes one Recipe object, or for `asList` an ItemList of all of them, as UTF-8. The list is
// written one item per line, so a file cut short still gives back every whole line.
// `written`, when given, is called after each recipe with the number written so far.
void writeJsonLd(QIODevice& out, const QList<RecipeRecord>& recipes, const QStringList& categories,
                 bool asList, const std::function<void(qsizetype)>& written = {});

// The lines a text splits into, without the empty ones: one ingredient or one step each.
QStringList nonEmptyLines(const QString& text);

// Whether a file begins as our own export of several recipes does: one recipe a line.
bool isOwnJsonLdList(const QByteArray& head);

// Reads every Recipe of a JSON-LD document: a single object, an array, "@graph", an ItemList
// (of recipes or of ListItems), or a page's main entity. `where` prefixes the positions given.
ReadResult readJsonLd(const QByteArray& json, const QString& where = {});

// One Recipe as read from schema.org data: every text plain (no markup, references decoded),
// one line per ingredient and per step, section headings as lines ending in ':'.
struct SchemaRecipe {
    QString name;
    QString author;
    QStringList ingredients;
    QStringList steps;
    RecipeDetails details; // beyond the four texts
    QString position;
    RecipeRecord record() const;
};

// Reads a web page: its JSON-LD blocks, or when they hold no recipe, its microdata and RDFa.
// When nothing is found the one problem says why, in words. `address`, where the page came
// from, is its source when it names none itself.
ReadResult readHtml(const QByteArray& html, const QString& address = {});

struct PageRead {
    ReadResult result;
    QList<SchemaRecipe> recipes; // the same recipes, field by field
};
PageRead readPage(const QByteArray& html, const QString& address = {});

} // namespace kb::exchange
