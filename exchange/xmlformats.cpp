// The XML formats of other recipe programs: MasterCook's .mx2, RecipeML, Gourmet and KRecipes.

#include "exchange/otherformats.h"

#include <QXmlStreamReader>

#include <memory>

namespace kb::exchange {

namespace {

// A small element tree, built with limits: a hostile file is cut off, not followed.
struct Element {
    QString name; // the local name, lower case
    QXmlStreamAttributes attributes;
    QString text;        // the element's own text, CDATA included
    bool closed = false; // false when the file broke off inside it
    std::vector<std::unique_ptr<Element>> children;

    QString attr(const char* key) const {
        for (const auto& a : attributes)
            if (a.name().compare(QLatin1String(key), Qt::CaseInsensitive) == 0)
                return a.value().toString().trimmed();
        return {};
    }
    const Element* child(const char* key) const {
        for (const auto& c : children)
            if (c->name == QLatin1String(key))
                return c.get();
        return nullptr;
    }
    QList<const Element*> all(const char* key) const {
        QList<const Element*> out;
        for (const auto& c : children)
            if (c->name == QLatin1String(key))
                out << c.get();
        return out;
    }
    // The text of a child, or of this element and everything in it.
    QString textOf(const char* key) const {
        const Element* c = child(key);
        return c ? c->allText().trimmed() : QString();
    }
    QString allText() const {
        QString out = text;
        for (const auto& c : children)
            out += c->allText();
        return out;
    }
};

constexpr int kMaxDepth = 64;
constexpr qsizetype kMaxElements = 2'000'000;

struct XmlDocument {
    std::unique_ptr<Element> root;
    QString failure;
};

XmlDocument parseXml(const QByteArray& bytes) {
    XmlDocument doc;
    QXmlStreamReader xml(bytes);
    std::vector<Element*> open;
    qsizetype elements = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (open.size() >= kMaxDepth || ++elements > kMaxElements) {
                doc.failure = QStringLiteral("it is nested deeper or holds more elements than a "
                                             "recipe file can, so it was not read");
                return doc;
            }
            auto e = std::make_unique<Element>();
            e->name = xml.name().toString().toLower();
            e->attributes = xml.attributes();
            Element* raw = e.get();
            if (open.empty()) {
                if (doc.root) {
                    doc.failure = QStringLiteral("it has more than one root element");
                    return doc;
                }
                doc.root = std::move(e);
            } else {
                open.back()->children.push_back(std::move(e));
            }
            open.push_back(raw);
        } else if (token == QXmlStreamReader::EndElement) {
            if (!open.empty()) {
                open.back()->closed = true;
                open.pop_back();
            }
        } else if (token == QXmlStreamReader::Characters && !open.empty()) {
            open.back()->text += xml.text();
        }
    }
    if (xml.hasError()) {
        doc.failure = QStringLiteral("it is not well-formed XML (line %1: %2)")
                          .arg(xml.lineNumber())
                          .arg(xml.errorString());
        // What was read before the damage is still used; a tree without a root is nothing.
        if (!doc.root)
            return doc;
    }
    return doc;
}

QString joinNonEmpty(const QStringList& parts, const QString& separator = QStringLiteral(" ")) {
    QStringList kept;
    for (const QString& p : parts)
        if (!p.trimmed().isEmpty())
            kept << p.trimmed();
    return kept.join(separator);
}

// Text with its own line structure, runs of empty lines made one.
QString paragraphs(const QString& text) {
    QStringList out;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() && (out.isEmpty() || out.last().isEmpty()))
            continue;
        out << line;
    }
    while (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out.join(QLatin1Char('\n'));
}

void finish(ReadResult& result, RecipeRecord r, const QString& position, const Element& e) {
    r.position = position;
    if (!e.closed)
        r.notes << QStringLiteral("the file breaks off inside it, so it may be incomplete");
    if (r.category.isEmpty())
        r.category = r.details.categories.value(0);
    if (r.name.trimmed().isEmpty() && r.ingredients.trimmed().isEmpty() &&
        r.instructions.trimmed().isEmpty()) {
        result.problems << SourceProblem{position, QStringLiteral("the recipe is empty: it has "
                                                                  "no name, ingredients or "
                                                                  "instructions")};
        return;
    }
    result.recipes << r;
}

void damaged(ReadResult& result, const XmlDocument& doc) {
    if (!doc.failure.isEmpty())
        result.problems << SourceProblem{QStringLiteral("the file"), doc.failure};
}

// ---------------------------------------------------------------------------------------------

void masterCookRecipe(const Element& e, ReadResult& result, int n) {
    RecipeRecord r;
    r.name = e.attr("name");
    r.author = e.attr("author");
    QStringList ingredients;
    QStringList steps;
    for (const auto& c : e.children) {
        const QString& tag = c->name;
        if (tag == QLatin1String("ingr")) {
            const QString prep = c->textOf("iprp");
            // Code "S" marks a subtitle among the ingredients.
            if (c->attr("code") == QLatin1String("S")) {
                ingredients << c->attr("name") + QLatin1Char(':');
                continue;
            }
            QString line = joinNonEmpty({c->attr("qty"), c->attr("unit"), c->attr("name")});
            if (!prep.isEmpty())
                line += QStringLiteral(" -- ") + prep;
            if (!line.isEmpty())
                ingredients << line;
        } else if (tag == QLatin1String("dirs")) {
            for (const Element* d : c->all("dirt"))
                if (!d->allText().trimmed().isEmpty())
                    steps << paragraphs(d->allText());
        } else if (tag == QLatin1String("cats")) {
            for (const Element* cat : c->all("catt"))
                if (!cat->allText().trimmed().isEmpty())
                    r.details.categories << cat->allText().trimmed();
        } else if (tag == QLatin1String("serv")) {
            if (!c->attr("qty").isEmpty())
                r.details.yield = c->attr("qty") + QStringLiteral(" servings");
        } else if (tag == QLatin1String("yield")) {
            r.details.yield = joinNonEmpty({c->attr("qty"), c->attr("unit")});
        } else if (tag == QLatin1String("prpt")) {
            r.details.prepTime = c->attr("elapsed");
        } else if (tag == QLatin1String("tott")) {
            r.details.totalTime = c->attr("elapsed");
        } else if (tag == QLatin1String("srce")) {
            r.details.source = c->allText().trimmed();
        } else if (tag == QLatin1String("note")) {
            r.details.notes = paragraphs(c->allText());
        } else if (tag == QLatin1String("nutr")) {
            r.details.nutrition = paragraphs(c->allText());
        } else if (tag == QLatin1String("rtxt") && steps.isEmpty() && ingredients.isEmpty()) {
            // The recipe as plain text, used only when it has no parts of its own.
            r.instructions = paragraphs(c->allText());
        }
    }
    r.ingredients = ingredients.join(QLatin1Char('\n'));
    if (!steps.isEmpty())
        r.instructions = steps.join(QStringLiteral("\n\n"));
    finish(result, r, QStringLiteral("recipe %1").arg(n), e);
}

void recipeMlIngredients(const Element& list, QStringList& out) {
    for (const auto& c : list.children) {
        if (c->name == QLatin1String("ing-div")) {
            const QString title = c->textOf("title");
            if (!title.isEmpty())
                out << title + QLatin1Char(':');
            recipeMlIngredients(*c, out);
        } else if (c->name == QLatin1String("ing")) {
            QString amount;
            if (const Element* amt = c->child("amt"))
                amount = joinNonEmpty({amt->textOf("qty"), amt->textOf("unit")});
            QString line = joinNonEmpty({amount, c->textOf("item")});
            const QString prep = c->textOf("prep");
            if (!prep.isEmpty())
                line += QStringLiteral(", ") + prep;
            if (!line.isEmpty())
                out << line;
        } else if (c->name == QLatin1String("note")) {
            if (!c->allText().trimmed().isEmpty())
                out << c->allText().simplified();
        }
    }
}

void recipeMlRecipe(const Element& e, ReadResult& result, int n) {
    RecipeRecord r;
    if (const Element* head = e.child("head")) {
        r.name = head->textOf("title").simplified();
        if (const Element* cats = head->child("categories"))
            for (const Element* c : cats->all("cat"))
                if (!c->allText().trimmed().isEmpty())
                    r.details.categories << c->allText().trimmed();
        if (const Element* y = head->child("yield"))
            r.details.yield = y->child("qty") ? joinNonEmpty({y->textOf("qty"), y->textOf("unit")})
                                              : y->allText().simplified();
        for (const Element* t : head->all("preptime")) {
            const QString time = t->child("time")
                                     ? joinNonEmpty({t->child("time")->textOf("qty"),
                                                     t->child("time")->textOf("timeunit")})
                                     : t->allText().simplified();
            const QString type = t->attr("type").toLower();
            if (type.contains(QLatin1String("cook")))
                r.details.cookTime = time;
            else if (type.contains(QLatin1String("total")))
                r.details.totalTime = time;
            else
                r.details.prepTime = time;
        }
        r.details.source = head->textOf("source").simplified();
        r.details.description = paragraphs(head->textOf("description"));
        r.author = head->textOf("author").simplified();
    }
    QStringList ingredients;
    if (const Element* ings = e.child("ingredients"))
        recipeMlIngredients(*ings, ingredients);
    r.ingredients = ingredients.join(QLatin1Char('\n'));
    if (const Element* dirs = e.child("directions")) {
        QStringList steps;
        const auto collect = [&steps](const Element& parent, const auto& self) -> void {
            for (const auto& c : parent.children) {
                if (c->name == QLatin1String("step"))
                    steps << paragraphs(c->allText());
                else if (c->name == QLatin1String("dir-div")) {
                    const QString title = c->textOf("title");
                    if (!title.isEmpty())
                        steps << title + QLatin1Char(':');
                    self(*c, self);
                }
            }
        };
        collect(*dirs, collect);
        r.instructions =
            steps.isEmpty() ? paragraphs(dirs->allText()) : steps.join(QStringLiteral("\n\n"));
    }
    const QString note = paragraphs(e.textOf("description"));
    if (!note.isEmpty() && r.details.description.isEmpty())
        r.details.description = note;
    finish(result, r, QStringLiteral("recipe %1").arg(n), e);
}

void gourmetIngredients(const Element& list, QStringList& out) {
    for (const auto& c : list.children) {
        if (c->name == QLatin1String("inggroup")) {
            const QString title = c->textOf("groupname");
            if (!title.isEmpty())
                out << title + QLatin1Char(':');
            gourmetIngredients(*c, out);
        } else if (c->name == QLatin1String("ingredient")) {
            QString line =
                joinNonEmpty({c->textOf("amount"), c->textOf("unit"), c->textOf("item")});
            if (c->attr("optional") == QLatin1String("yes"))
                line += QStringLiteral(" (optional)");
            if (!line.trimmed().isEmpty())
                out << line;
        } else if (c->name == QLatin1String("ingref")) {
            const QString line = joinNonEmpty({c->attr("amount"), c->allText().simplified()});
            if (!line.isEmpty())
                out << line;
        }
    }
}

void gourmetRecipe(const Element& e, ReadResult& result, int n) {
    RecipeRecord r;
    r.name = e.textOf("title").simplified();
    for (const Element* c : e.all("category"))
        if (!c->allText().trimmed().isEmpty())
            r.details.categories << c->allText().trimmed();
    r.details.cuisine = e.textOf("cuisine").simplified();
    r.details.source =
        joinNonEmpty({e.textOf("source").simplified(), e.textOf("link")}, QStringLiteral("\n"));
    r.details.yield = e.textOf("yields").simplified();
    if (r.details.yield.isEmpty())
        r.details.yield = e.textOf("servings").simplified();
    r.details.prepTime = e.textOf("preptime").simplified();
    r.details.cookTime = e.textOf("cooktime").simplified();
    if (const Element* image = e.child("image"))
        r.details.photo = QByteArray::fromBase64(image->allText().toLatin1());
    QStringList ingredients;
    if (const Element* list = e.child("ingredient-list"))
        gourmetIngredients(*list, ingredients);
    r.ingredients = ingredients.join(QLatin1Char('\n'));
    r.instructions = paragraphs(e.textOf("instructions"));
    r.details.notes = paragraphs(e.textOf("modifications"));
    finish(result, r, QStringLiteral("recipe %1").arg(n), e);
}

void kreIngredients(const Element& list, QStringList& out) {
    for (const auto& c : list.children) {
        if (c->name == QLatin1String("ingredient-group")) {
            const QString title = c->attr("name");
            if (!title.isEmpty())
                out << title + QLatin1Char(':');
            kreIngredients(*c, out);
        } else if (c->name == QLatin1String("ingredient")) {
            QString line =
                joinNonEmpty({c->textOf("amount"), c->textOf("unit"), c->textOf("name")});
            const QString prep = c->textOf("prep");
            if (!prep.isEmpty())
                line += QStringLiteral(", ") + prep;
            if (!line.isEmpty())
                out << line;
        }
    }
}

void kreRecipe(const Element& e, ReadResult& result, int n) {
    RecipeRecord r;
    if (const Element* d = e.child("krecipes-description")) {
        r.name = d->textOf("title").simplified();
        QStringList authors;
        for (const Element* a : d->all("author"))
            authors << a->allText().simplified();
        r.author = joinNonEmpty(authors, QStringLiteral(", "));
        if (const Element* cats = d->child("category"))
            for (const Element* c : cats->all("cat"))
                if (!c->allText().trimmed().isEmpty())
                    r.details.categories << c->allText().trimmed();
        if (const Element* y = d->child("yield"))
            r.details.yield = joinNonEmpty({y->textOf("amount"), y->textOf("type")});
        if (r.details.yield.isEmpty())
            r.details.yield = d->textOf("serving").simplified();
        r.details.prepTime = d->textOf("preparation-time").simplified();
        if (const Element* pics = d->child("pictures"))
            if (const Element* pic = pics->child("pic"))
                r.details.photo = QByteArray::fromBase64(pic->allText().toLatin1());
    }
    QStringList ingredients;
    if (const Element* list = e.child("krecipes-ingredients"))
        kreIngredients(*list, ingredients);
    r.ingredients = ingredients.join(QLatin1Char('\n'));
    r.instructions = paragraphs(e.textOf("krecipes-instructions"));
    finish(result, r, QStringLiteral("recipe %1").arg(n), e);
}

// Every element named `tag` under `e`, however deep (a menu around the recipes, say).
void findAll(const Element& e, const char* tag, QList<const Element*>& out, int depth = 0) {
    if (depth > kMaxDepth)
        return;
    for (const auto& c : e.children) {
        if (c->name == QLatin1String(tag))
            out << c.get();
        else
            findAll(*c, tag, out, depth + 1);
    }
}

ReadResult readWith(const QByteArray& bytes, const char* recipeTag, const QString& format,
                    void (*one)(const Element&, ReadResult&, int)) {
    ReadResult result;
    result.format = format;
    const XmlDocument doc = parseXml(bytes);
    damaged(result, doc);
    if (!doc.root)
        return result;
    QList<const Element*> recipes;
    if (doc.root->name == QLatin1String(recipeTag))
        recipes << doc.root.get();
    else
        findAll(*doc.root, recipeTag, recipes);
    int n = 0;
    for (const Element* e : recipes)
        one(*e, result, ++n);
    return result;
}

} // namespace

ReadResult readMasterCookXml(const QByteArray& bytes) {
    return readWith(bytes, "rcpe", QStringLiteral("MasterCook XML"), masterCookRecipe);
}

ReadResult readRecipeMl(const QByteArray& bytes) {
    return readWith(bytes, "recipe", QStringLiteral("RecipeML"), recipeMlRecipe);
}

ReadResult readGourmet(const QByteArray& bytes) {
    return readWith(bytes, "recipe", QStringLiteral("Gourmet XML"), gourmetRecipe);
}

ReadResult readKRecipes(const QByteArray& bytes) {
    return readWith(bytes, "krecipes-recipe", QStringLiteral("KRecipes"), kreRecipe);
}

std::optional<ReadResult> readRecipeXml(const QByteArray& bytes) {
    // The root element's name, read without building anything.
    QXmlStreamReader xml(bytes);
    QString root;
    while (!xml.atEnd() && root.isEmpty())
        if (xml.readNext() == QXmlStreamReader::StartElement)
            root = xml.name().toString().toLower();
    if (root == QLatin1String("mx2"))
        return readMasterCookXml(bytes);
    if (root == QLatin1String("recipeml"))
        return readRecipeMl(bytes);
    if (root == QLatin1String("gourmetdoc"))
        return readGourmet(bytes);
    if (root == QLatin1String("krecipes"))
        return readKRecipes(bytes);
    return std::nullopt;
}

} // namespace kb::exchange
