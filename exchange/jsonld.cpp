#include "exchange/jsonld.h"

#include "core/app.h"
#include "exchange/codepages.h"
#include "exchange/htmlscan.h"
#include "exchange/htmltext.h"

#include <QHash>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kb::exchange {

namespace {

const QString kContext = QStringLiteral("https://schema.org");

const QRegularExpression& lineBreaks() {
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n|\u2028|\u2029"));
    return breaks;
}

QJsonValue storedJson(const std::optional<QString>& v) {
    return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

// ---------------------------------------------------------------------------------------------
// Reading

// "Recipe", "recipe", "schema:Recipe", "http://schema.org/Recipe": one type, as sites write it.
bool typeIs(const QString& s, QLatin1String type) {
    if (!s.endsWith(type, Qt::CaseInsensitive))
        return false;
    if (s.size() == type.size())
        return true;
    const QChar before = s.at(s.size() - type.size() - 1);
    return before == QLatin1Char('/') || before == QLatin1Char(':') || before == QLatin1Char('#');
}

bool hasType(const QJsonObject& o, QLatin1String type) {
    const QJsonValue t = o.value(QLatin1String("@type"));
    if (t.isString())
        return typeIs(t.toString(), type);
    for (const auto& v : t.toArray())
        if (v.isString() && typeIs(v.toString(), type))
            return true;
    return false;
}

// A property, also when a site wrote its name in another letter case ("Name").
QJsonValue field(const QJsonObject& o, const char* key) {
    const QLatin1String name(key);
    const auto exact = o.constFind(name);
    if (exact != o.constEnd())
        return *exact;
    for (auto it = o.begin(); it != o.end(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return *it;
    return QJsonValue(QJsonValue::Undefined);
}

// Objects by their "@id", over every block of a page, so that a reference ({"@id": "#author"})
// can be followed to what it names.
class Graph {
  public:
    void index(const QJsonValue& v, int depth = 0) {
        if (depth > 64 || ++m_visited > 500'000)
            return;
        if (v.isArray()) {
            for (const auto& e : v.toArray())
                index(e, depth + 1);
            return;
        }
        if (!v.isObject())
            return;
        const QJsonObject o = v.toObject();
        const QString id = o.value(QLatin1String("@id")).toString();
        if (!id.isEmpty() && !isReference(o) && !m_byId.contains(id))
            m_byId.insert(id, o);
        for (auto it = o.begin(); it != o.end(); ++it)
            if (it->isObject() || it->isArray())
                index(*it, depth + 1);
    }

    // What a reference names; anything else as it is.
    QJsonValue resolve(const QJsonValue& v) const {
        if (!v.isObject() || !isReference(v.toObject()))
            return v;
        const auto it = m_byId.find(v.toObject().value(QLatin1String("@id")).toString());
        return it == m_byId.end() ? v : QJsonValue(*it);
    }

    static bool isReference(const QJsonObject& o) {
        if (!o.contains(QLatin1String("@id")))
            return false;
        for (auto it = o.begin(); it != o.end(); ++it)
            if (it.key() != QLatin1String("@id") && it.key() != QLatin1String("@type") &&
                it.key() != QLatin1String("@context"))
                return false;
        return true;
    }

  private:
    QHash<QString, QJsonObject> m_byId;
    qsizetype m_visited = 0;
};

// A value's text as the file has it: a string, a number, an object's name or text, or a list
// of these. Our own export is compared with it.
QString rawText(const QJsonValue& v, const QString& separator = QStringLiteral(", ")) {
    if (v.isString())
        return v.toString();
    if (v.isDouble())
        return QString::number(v.toDouble());
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        for (const char* key : {"name", "text", "@value", "value"})
            if (o.contains(QLatin1String(key)))
                return rawText(o.value(QLatin1String(key)), separator);
        return {};
    }
    if (v.isArray()) {
        QStringList parts;
        for (const auto& e : v.toArray()) {
            const QString t = rawText(e, separator);
            if (!t.isEmpty())
                parts << t;
        }
        return parts.join(separator);
    }
    return {};
}

QStringList rawLines(const QJsonValue& v) {
    if (v.isArray()) {
        QStringList lines;
        for (const auto& e : v.toArray())
            lines << rawText(e);
        return lines;
    }
    if (v.isString())
        return v.toString().split(lineBreaks());
    return {};
}

void rawSteps(const QJsonValue& v, QStringList& out, int depth = 0) {
    if (depth > 64)
        return;
    if (v.isString()) {
        out << v.toString().split(lineBreaks());
        return;
    }
    if (v.isArray()) {
        for (const auto& e : v.toArray())
            rawSteps(e, out, depth + 1);
        return;
    }
    if (!v.isObject())
        return;
    const QJsonObject o = v.toObject();
    if (hasType(o, QLatin1String("HowToSection")) || o.contains(QLatin1String("itemListElement"))) {
        const QString heading = rawText(o.value(QLatin1String("name")));
        if (!heading.isEmpty())
            out << heading + QLatin1Char(':');
        rawSteps(o.value(QLatin1String("itemListElement")), out, depth + 1);
        return;
    }
    QString text = rawText(o.value(QLatin1String("text")));
    if (text.isEmpty())
        text = rawText(o.value(QLatin1String("name")));
    if (!text.isEmpty())
        out << text.split(lineBreaks());
}

// A value's text as a reader sees it: references followed, markup and entities gone.
QString textOf(const QJsonValue& value, const Graph& g,
               const QString& separator = QStringLiteral(", "), int depth = 0) {
    const QJsonValue v = g.resolve(value);
    if (depth > 16)
        return {};
    if (v.isString())
        return htmlToText(v.toString());
    if (v.isDouble())
        return QString::number(v.toDouble());
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        for (const char* key : {"name", "text", "@value", "value"})
            if (const QJsonValue f = field(o, key); !f.isUndefined())
                return textOf(f, g, separator, depth + 1);
        return {};
    }
    if (v.isArray()) {
        QStringList parts;
        for (const auto& e : v.toArray()) {
            const QString t = textOf(e, g, separator, depth + 1);
            if (!t.isEmpty() && !parts.contains(t))
                parts << t;
        }
        return parts.join(separator);
    }
    return {};
}

QString oneLine(const QString& text) {
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
}

void addLines(QStringList& out, const QString& text) {
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (!line.isEmpty())
            out << line;
}

// A letters-and-digits form of a text, to tell whether a step's text repeats its name.
QString comparable(const QString& s) {
    QString out;
    for (const QChar c : s)
        if (c.isLetterOrNumber())
            out += c.toLower();
    return out;
}

// Whether a step's name adds nothing: it is the start of its text (or that start cut short).
bool nameIsRedundant(const QString& name, const QString& text) {
    QString n = name;
    if (n.endsWith(QLatin1String("...")))
        n.chop(3);
    else if (n.endsWith(QChar(0x2026)))
        n.chop(1);
    const QString key = comparable(n);
    return key.isEmpty() || comparable(text).startsWith(key);
}

// Steps as lines: a text (its markup's line breaks kept), HowToSteps (a name the text does not
// repeat on a line of its own), HowToSections and ItemLists (their name as a heading), and lists
// of any of these.
void collectSteps(const QJsonValue& value, const Graph& g, QStringList& out, int depth = 0) {
    if (depth > 64)
        return;
    const QJsonValue v = g.resolve(value);
    if (v.isString()) {
        addLines(out, htmlToText(v.toString()));
        return;
    }
    if (v.isArray()) {
        for (const auto& e : v.toArray())
            collectSteps(e, g, out, depth + 1);
        return;
    }
    if (!v.isObject())
        return;
    const QJsonObject o = v.toObject();
    const QString name = oneLine(textOf(field(o, "name"), g));
    QString text = textOf(field(o, "text"), g, QStringLiteral("\n"));
    if (text.isEmpty() && field(o, "itemListElement").isUndefined())
        text = textOf(field(o, "description"), g, QStringLiteral("\n"));
    const bool section =
        hasType(o, QLatin1String("HowToSection")) ||
        (!field(o, "itemListElement").isUndefined() && !hasType(o, QLatin1String("HowToStep")));
    if (section) {
        if (!name.isEmpty())
            out << (name.endsWith(QLatin1Char(':')) ? name : name + QLatin1Char(':'));
        collectSteps(field(o, "itemListElement"), g, out, depth + 1);
        return;
    }
    if (text.isEmpty()) {
        addLines(out, name);
    } else {
        if (!nameIsRedundant(name, text))
            out << name;
        addLines(out, text);
    }
    // A step made of directions and tips.
    if (!field(o, "itemListElement").isUndefined())
        collectSteps(field(o, "itemListElement"), g, out, depth + 1);
}

// "PT1H30M" as "1 h 30 min"; anything else as it stands.
QString readableDuration(const QString& iso) {
    static const QRegularExpression re(
        QStringLiteral("^P(?:(\\d+)D)?(?:T(?:(\\d+)H)?(?:(\\d+)M)?(?:(\\d+)S)?)?$"));
    const auto m = re.match(iso.trimmed());
    if (!m.hasMatch() || iso.trimmed() == QLatin1String("P") ||
        iso.trimmed() == QLatin1String("PT"))
        return iso;
    QStringList parts;
    const char* units[] = {"", "d", "h", "min", "s"};
    for (int i = 1; i <= 4; ++i)
        if (!m.captured(i).isEmpty() && m.captured(i).toLongLong() != 0)
            parts << m.captured(i) + QLatin1Char(' ') + QLatin1String(units[i]);
    return parts.isEmpty() ? iso : parts.join(QLatin1Char(' '));
}

// An address: a text, an ImageObject's or WebPage's url, or the first of a list.
QString addressOf(const QJsonValue& value, const Graph& g, int depth = 0) {
    const QJsonValue v = g.resolve(value);
    if (depth > 8)
        return {};
    if (v.isString()) {
        const QString a = v.toString().trimmed();
        return a.startsWith(QLatin1String("data:"), Qt::CaseInsensitive) ? QString() : a;
    }
    if (v.isArray()) {
        for (const auto& e : v.toArray()) {
            QString a = addressOf(e, g, depth + 1);
            if (!a.isEmpty())
                return a;
        }
        return {};
    }
    const QJsonObject o = v.toObject();
    for (const char* key : {"url", "contentUrl", "@id"}) {
        QString a = addressOf(o.value(QLatin1String(key)), g, depth + 1);
        if (a.contains(QLatin1String("://")))
            return a;
    }
    return {};
}

// The bytes of an image given as a data URL; nothing for anything else. The size is checked
// before anything is decoded.
QByteArray dataUrlBytes(const QString& url) {
    if (!url.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
        return {};
    const qsizetype comma = url.indexOf(QLatin1Char(','));
    // Base64 takes four characters for every three bytes; a little is left for line breaks.
    constexpr qsizetype kMostText = (kMaxPhotoBytes + 2) / 3 * 4 + 4096;
    if (comma < 0 || url.size() - comma > kMostText)
        return {};
    const QStringView head = QStringView(url).mid(5, comma - 5);
    const QByteArray body = QStringView(url).mid(comma + 1).toLatin1();
    if (head.endsWith(QLatin1String(";base64"), Qt::CaseInsensitive)) {
        auto decoded = QByteArray::fromBase64Encoding(
            QByteArray(body).replace('\n', "").replace('\r', "").replace(' ', ""),
            QByteArray::AbortOnBase64DecodingErrors);
        return decoded ? *decoded : QByteArray();
    }
    return QByteArray::fromPercentEncoding(body);
}

// The images a value embeds as data URLs: a text, an ImageObject's url or contentUrl, or a list
// of these; one more than a recipe keeps at most, so that the import can say some were left.
void embeddedImages(const QJsonValue& value, const Graph& g, QList<QByteArray>& out,
                    int depth = 0) {
    const QJsonValue v = g.resolve(value);
    if (depth > 8 || out.size() > kMaxPhotos)
        return;
    if (v.isString()) {
        const QByteArray bytes = dataUrlBytes(v.toString());
        if (!bytes.isEmpty())
            out << bytes;
        return;
    }
    if (v.isArray()) {
        for (const auto& e : v.toArray())
            embeddedImages(e, g, out, depth + 1);
        return;
    }
    const QJsonObject o = v.toObject();
    for (const char* key : {"contentUrl", "url"})
        if (o.value(QLatin1String(key)).isString()) {
            embeddedImages(o.value(QLatin1String(key)), g, out, depth + 1);
            return;
        }
}

// A number a file may give as a number or as text.
std::optional<double> numberOf(const QJsonValue& v) {
    bool ok = v.isDouble();
    double n = v.toDouble();
    if (v.isString())
        n = v.toString().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    if (!ok || !std::isfinite(n))
        return std::nullopt;
    return n;
}

// A rating out of 5 from an AggregateRating (or a Rating), whatever its best value.
std::optional<double> ratingOf(const QJsonValue& value, const Graph& g) {
    const QJsonObject o = g.resolve(value).toObject();
    const auto rating = numberOf(field(o, "ratingValue"));
    const auto best = numberOf(field(o, "bestRating"));
    if (!rating || *rating < 0)
        return std::nullopt;
    const double outOf = best && *best > 0 ? *best : kMaxRating;
    return std::clamp(*rating * kMaxRating / outOf, 0.0, double(kMaxRating));
}

// Our own export's details, exactly as the recipe file kept them: read as any file from
// elsewhere is, every value checked as if typed.
std::optional<Details> keptDetailsOf(const QJsonObject& o) {
    const QJsonValue v = o.value(kDetailsProperty);
    if (!v.isObject())
        return std::nullopt;
    const QJsonObject j = v.toObject();
    constexpr qsizetype kMostText = 1 << 20;
    const auto text = [&](const char* key) {
        return j.value(QLatin1String(key)).toString().left(kMostText);
    };
    const auto minutes = [&](const char* key) {
        return std::clamp(j.value(QLatin1String(key)).toInt(), 0, 100000);
    };
    Details d;
    if (const auto n = numberOf(j.value(QLatin1String("servings"))); n && *n > 0 && *n <= 10000)
        d.servings = *n;
    d.yield = text("yield");
    d.prepMinutes = minutes("prepMinutes");
    d.cookMinutes = minutes("cookMinutes");
    d.totalMinutes = minutes("totalMinutes");
    d.source = text("source");
    for (const auto& t : j.value(QLatin1String("tags")).toArray())
        if (t.isString() && d.tags.size() < 100 && !t.toString().trimmed().isEmpty())
            d.tags << t.toString().left(1000);
    d.rating = std::clamp(j.value(QLatin1String("rating")).toInt(), 0, kMaxRating);
    d.notes = text("notes");
    return d;
}

RecipeDetails detailsOf(const QJsonObject& o, const Graph& g) {
    RecipeDetails d;
    d.description = textOf(field(o, "description"), g);
    d.yield = oneLine(textOf(field(o, "recipeYield"), g));
    // ["4", "4 servings"]: the number apart, the yield as written.
    if (const QJsonValue yield = g.resolve(field(o, "recipeYield")); yield.isArray()) {
        QString written;
        for (const auto& e : yield.toArray()) {
            const auto n = numberOf(e);
            if (n && *n > 0 && *n <= 10000 && !d.servings)
                d.servings = *n;
            else if (!n && written.isEmpty())
                written = oneLine(textOf(e, g));
        }
        if (!written.isEmpty())
            d.yield = written;
    }
    const auto duration = [&](const char* key) {
        const QJsonValue v = g.resolve(o.value(QLatin1String(key)));
        return v.isString() ? readableDuration(oneLine(htmlToText(v.toString())))
                            : oneLine(textOf(v, g));
    };
    d.prepTime = duration("prepTime");
    d.cookTime = duration("cookTime");
    d.totalTime = duration("totalTime");
    const QJsonValue nutrition = g.resolve(field(o, "nutrition"));
    if (nutrition.isObject()) {
        QStringList lines;
        const QJsonObject n = nutrition.toObject();
        for (auto it = n.begin(); it != n.end(); ++it) {
            if (it.key().startsWith(QLatin1Char('@')))
                continue;
            const QString value = oneLine(textOf(it.value(), g));
            if (!value.isEmpty())
                lines << it.key() + QLatin1String(": ") + value;
        }
        d.nutrition = lines.join(QLatin1Char('\n'));
    } else {
        d.nutrition = textOf(nutrition, g);
    }
    d.cuisine = oneLine(textOf(field(o, "recipeCuisine"), g));
    const QJsonValue categories = g.resolve(field(o, "recipeCategory"));
    for (const auto& c : categories.isArray() ? categories.toArray() : QJsonArray{categories}) {
        const QString name = oneLine(textOf(c, g));
        if (!name.isEmpty() && !d.categories.contains(name))
            d.categories << name;
    }
    for (const QString& k : oneLine(textOf(field(o, "keywords"), g)).split(QLatin1Char(',')))
        if (!k.trimmed().isEmpty() && !d.keywords.contains(k.trimmed()))
            d.keywords << k.trimmed();
    d.source = addressOf(field(o, "url"), g);
    if (d.source.isEmpty())
        d.source = addressOf(field(o, "mainEntityOfPage"), g);
    if (d.source.isEmpty() && field(o, "@id").toString().contains(QLatin1String("://")))
        d.source = field(o, "@id").toString();
    if (d.source.isEmpty())
        d.source = field(o, "isBasedOn").isString() ? field(o, "isBasedOn").toString().trimmed()
                                                    : addressOf(field(o, "isBasedOn"), g);
    d.image = addressOf(field(o, "image"), g);
    embeddedImages(field(o, "image"), g, d.photos);
    d.rating = ratingOf(field(o, "aggregateRating"), g);
    d.exact = keptDetailsOf(o);
    return d;
}

SchemaRecipe parseRecipe(const QJsonObject& o, const Graph& g) {
    SchemaRecipe r;
    r.name = oneLine(textOf(field(o, "name"), g));
    // A name with control characters is left as it is, for the import's name rules to change
    // and report.
    const QString rawName = rawText(field(o, "name"));
    if (std::any_of(rawName.begin(), rawName.end(), [](QChar c) {
            return c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\r') &&
                   c != QLatin1Char('\t');
        }))
        r.name = rawName;
    r.author = oneLine(textOf(field(o, "author"), g));
    QJsonValue ingredients = field(o, "recipeIngredient");
    if (ingredients.isUndefined())
        ingredients = field(o, "ingredients");
    ingredients = g.resolve(ingredients);
    for (const auto& e : ingredients.isArray() ? ingredients.toArray() : QJsonArray{ingredients})
        addLines(r.ingredients, textOf(e, g, QStringLiteral("\n")));
    collectSteps(field(o, "recipeInstructions"), g, r.steps);
    r.details = detailsOf(o, g);
    return r;
}

std::optional<RecipeFields> storedOf(const QJsonObject& o) {
    const QJsonValue v = o.value(kStoredProperty);
    if (!v.isArray())
        return std::nullopt;
    const QJsonArray a = v.toArray();
    if (a.size() != 4)
        return std::nullopt;
    RecipeFields values;
    for (int i = 0; i < 4; ++i) {
        if (a[i].isNull())
            continue;
        if (!a[i].isString())
            return std::nullopt;
        values[static_cast<size_t>(i)] = a[i].toString();
    }
    return values;
}

QString trimmedOr(const std::optional<QString>& v) {
    return trimSpaces(v.value_or(QString()));
}

QStringList trimmedLines(const QStringList& lines) {
    QStringList out;
    for (const QString& l : lines)
        if (!l.trimmed().isEmpty())
            out << l.trimmed();
    return out;
}

// Whether the steps read say what the exported instructions said: one step a paragraph, the
// details apart (or, from older exports, one step a line with the details among them).

bool sameSteps(const QString& instructions, const QStringList& steps);

// Finds the Recipe objects of one or more documents and turns them into records.
struct Reader {
    ReadResult result;
    Graph graph;
    QString where;
    int item = 0;
    QSet<QString> seenIds;
    qsizetype visited = 0;
    // The page's own address and picture, for recipes that do not give theirs.
    QString pageUrl;
    QString pageImage;
    // The recipes read from schema.org data, before they became records.
    QList<SchemaRecipe> schemaRecipes;

    QString position() const {
        const QString p = QStringLiteral("item %1").arg(item);
        return where.isEmpty() ? p : where + QLatin1String(", ") + p;
    }

    // Our own export: the exact values, as long as the standard fields still say the same
    // (another program may have edited them since). Compared as written, before any cleaning.
    bool exactValues(const QJsonObject& o, RecipeRecord& r) {
        const auto stored = storedOf(o);
        if (!stored)
            return false;
        const RecipeFields& s = *stored;
        QJsonValue ingredients = o.value(QLatin1String("recipeIngredient"));
        if (ingredients.isUndefined())
            ingredients = o.value(QLatin1String("ingredients"));
        QStringList steps;
        rawSteps(o.value(QLatin1String("recipeInstructions")), steps);
        const bool same =
            trimmedOr(s[0]) == trimSpaces(rawText(o.value(QLatin1String("name")))) &&
            trimmedOr(s[1]) == trimSpaces(rawText(o.value(QLatin1String("author")))) &&
            trimmedLines(nonEmptyLines(trimmedOr(s[2]))) == trimmedLines(rawLines(ingredients)) &&
            sameSteps(trimmedOr(s[3]), steps);
        if (!same) {
            r.notes << QStringLiteral("its standard fields were changed after it was exported, "
                                      "so they were taken instead of the exported values");
            return false;
        }
        const QJsonValue category = o.value(QLatin1String("recipeCategory"));
        RecipeRecord exact = RecipeRecord::fromStored(
            {{category.isArray() ? rawText(category.toArray().at(0)) : rawText(category), 0}, s});
        exact.position = r.position;
        // The details: ours exactly, the photos from the image's data URLs.
        exact.details.exact = keptDetailsOf(o).value_or(Details{});
        embeddedImages(o.value(QLatin1String("image")), graph, exact.details.photos);
        r = exact;
        return true;
    }

    void recipe(const QJsonObject& o) {
        ++item;
        RecipeRecord r;
        r.position = position();
        if (exactValues(o, r)) {
            result.recipes << r;
            return;
        }
        SchemaRecipe parsed = parseRecipe(o, graph);
        if (parsed.details.source.isEmpty())
            parsed.details.source = pageUrl;
        if (parsed.details.image.isEmpty() && parsed.details.photos.isEmpty()) {
            const QByteArray embedded = dataUrlBytes(pageImage);
            if (embedded.isEmpty())
                parsed.details.image = pageImage;
            else
                parsed.details.photos << embedded;
        }
        const QStringList notes = r.notes;
        r = parsed.record();
        r.position = position();
        r.notes = notes;
        if (trimSpaces(r.name).isEmpty() && trimSpaces(r.ingredients).isEmpty() &&
            parsed.steps.isEmpty()) {
            result.problems << SourceProblem{r.position, QStringLiteral("the recipe is empty: it "
                                                                        "has no name, "
                                                                        "ingredients or "
                                                                        "instructions")};
            return;
        }
        result.recipes << r;
        parsed.position = r.position;
        schemaRecipes << parsed;
    }

    // Properties through which a page points at its recipe by reference.
    static bool followsReferences(const QString& key) {
        return key == QLatin1String("mainEntity") || key == QLatin1String("item") ||
               key == QLatin1String("itemListElement") || key == QLatin1String("hasPart") ||
               key == QLatin1String("@graph");
    }

    void value(const QJsonValue& v, int depth) {
        // Deeply nested input is refused rather than followed down without end.
        if (depth > 64 || ++visited > 500'000)
            return;
        if (v.isArray()) {
            for (const auto& e : v.toArray())
                value(e, depth + 1);
            return;
        }
        if (!v.isObject())
            return;
        const QJsonObject o = v.toObject();
        if (hasType(o, QLatin1String("Recipe"))) {
            const QString id = o.value(QLatin1String("@id")).toString();
            if (!id.isEmpty() && seenIds.contains(id))
                return;
            seenIds.insert(id);
            recipe(o);
            return;
        }
        const QJsonValue categories = o.value(kCategoriesProperty);
        for (const auto& c : categories.toArray())
            if (c.isString() && !result.categories.contains(c.toString()))
                result.categories << c.toString();
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (!it->isObject() && !it->isArray())
                continue;
            const QJsonValue next =
                followsReferences(it.key()) ? followReferences(*it) : QJsonValue(*it);
            value(next, depth + 1);
        }
    }

    QJsonValue followReferences(const QJsonValue& v) const {
        if (!v.isArray())
            return graph.resolve(v);
        QJsonArray out;
        for (const auto& e : v.toArray())
            out.append(graph.resolve(e));
        return out;
    }
};

// Whether anything in a document is schema.org data at all.
bool hasAnyType(const QJsonValue& v, int depth = 0) {
    if (depth > 16)
        return false;
    if (v.isArray()) {
        for (const auto& e : v.toArray())
            if (hasAnyType(e, depth + 1))
                return true;
        return false;
    }
    const QJsonObject o = v.toObject();
    if (o.contains(QLatin1String("@type")))
        return true;
    for (const char* key : {"@graph", "mainEntity", "itemListElement"})
        if (hasAnyType(o.value(QLatin1String(key)), depth + 1))
            return true;
    return false;
}

// The JSON of a script block as sites publish it, read leniently: comments and CDATA or HTML
// comment wrappers outside strings are dropped, control characters inside strings escaped,
// commas before a closing bracket dropped, and several values one after another (with ';' or
// ',' between them) each read. `error` gets the first value that still fails.
QList<QJsonValue> lenientJson(const QByteArray& in, QString* error) {
    QByteArray s;
    s.reserve(in.size());
    const qsizetype n = in.size();
    const auto at = [&](qsizetype i, const char* what) {
        const auto len = static_cast<qsizetype>(std::strlen(what));
        return i + len <= n && std::memcmp(in.constData() + i, what, static_cast<size_t>(len)) == 0;
    };
    // Drops the last comma written before a closing bracket.
    const auto dropTrailingComma = [&s] {
        qsizetype k = s.size() - 1;
        while (k >= 0 && (s[k] == ' ' || s[k] == '\n' || s[k] == '\r' || s[k] == '\t'))
            --k;
        if (k >= 0 && s[k] == ',')
            s.remove(k, 1);
    };
    for (qsizetype i = 0; i < n;) {
        const char c = in[i];
        if (c == '"') {
            s += c;
            ++i;
            while (i < n && in[i] != '"') {
                const char d = in[i];
                if (d == '\\' && i + 1 < n) {
                    s += d;
                    s += in[i + 1];
                    i += 2;
                    continue;
                }
                if (d == '\n')
                    s += "\\n";
                else if (d == '\t')
                    s += "\\t";
                else if (static_cast<unsigned char>(d) >= 0x20)
                    s += d;
                ++i;
            }
            if (i < n)
                s += in[i++];
            continue;
        }
        if (at(i, "//")) {
            while (i < n && in[i] != '\n')
                ++i;
            continue;
        }
        if (at(i, "/*")) {
            const qsizetype close = in.indexOf("*/", i + 2);
            i = close < 0 ? n : close + 2;
            continue;
        }
        if (at(i, "<!--") || at(i, "<![CDATA[") || at(i, "-->") || at(i, "]]>")) {
            i += at(i, "<!--") ? 4 : at(i, "<![CDATA[") ? 9 : 3;
            continue;
        }
        if (c == '}' || c == ']')
            dropTrailingComma();
        s += c;
        ++i;
    }
    // Each value at the top level on its own.
    QList<QJsonValue> values;
    qsizetype i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] != '{' && s[i] != '[')
            ++i;
        if (i >= s.size())
            break;
        int depth = 0;
        bool inString = false;
        qsizetype j = i;
        for (; j < s.size(); ++j) {
            const char c = s[j];
            if (inString) {
                if (c == '\\')
                    ++j;
                else if (c == '"')
                    inString = false;
            } else if (c == '"') {
                inString = true;
            } else if (c == '{' || c == '[') {
                ++depth;
            } else if ((c == '}' || c == ']') && --depth == 0) {
                break;
            }
        }
        QJsonParseError parseError{};
        const QJsonDocument doc = QJsonDocument::fromJson(s.mid(i, j + 1 - i), &parseError);
        if (parseError.error == QJsonParseError::NoError)
            values << (doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object()));
        else if (error && error->isEmpty())
            *error = parseError.errorString();
        i = j + 1;
    }
    return values;
}

int lineAt(const QByteArray& bytes, qsizetype offset) {
    return static_cast<int>(bytes.left(offset).count('\n')) + 1;
}

QString prefixed(const QString& where, const QString& what) {
    return where.isEmpty() ? what : where + QLatin1String(", ") + what;
}

} // namespace

QStringList nonEmptyLines(const QString& text) {
    QStringList lines;
    for (const QString& line : text.split(lineBreaks()))
        if (!line.trimmed().isEmpty())
            lines << line;
    return lines;
}

namespace {

// A photo's media type by its first bytes; photos were checked when they were kept.
QString photoType(const QByteArray& bytes) {
    if (bytes.startsWith("\x89PNG"))
        return QStringLiteral("image/png");
    if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        return QStringLiteral("image/webp");
    return QStringLiteral("image/jpeg");
}

QJsonObject keptDetailsJson(const Details& d) {
    QJsonObject j;
    const auto text = [&j](const char* key, const QString& value) {
        if (!value.isEmpty())
            j.insert(QLatin1String(key), value);
    };
    const auto number = [&j](const char* key, int value) {
        if (value != 0)
            j.insert(QLatin1String(key), value);
    };
    if (d.servings)
        j.insert(QLatin1String("servings"), *d.servings);
    text("yield", d.yield);
    number("prepMinutes", d.prepMinutes);
    number("cookMinutes", d.cookMinutes);
    number("totalMinutes", d.totalMinutes);
    text("source", d.source);
    if (!d.tags.isEmpty())
        j.insert(QLatin1String("tags"), QJsonArray::fromStringList(d.tags));
    number("rating", d.rating);
    text("notes", d.notes);
    return j;
}

// "1 h 30 min" (as the reader writes durations) back as "PT1H30M"; nothing for other text.
QString isoDuration(const QString& text) {
    static const QRegularExpression part(QStringLiteral("(\\d+)\\s*(d|h|min|s)\\b"));
    static const QRegularExpression whole(
        QStringLiteral("^\\s*(?:\\d+\\s*(?:d|h|min|s)\\b\\s*)+$"));
    if (!whole.match(text).hasMatch())
        return {};
    QString days;
    QString time;
    for (auto it = part.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        const QString unit = m.captured(2);
        if (unit == QLatin1String("d"))
            days += m.captured(1) + QLatin1Char('D');
        else
            time += m.captured(1) + (unit == QLatin1String("h")     ? QLatin1Char('H')
                                     : unit == QLatin1String("min") ? QLatin1Char('M')
                                                                    : QLatin1Char('S'));
    }
    return QLatin1Char('P') + days + (time.isEmpty() ? QString() : QLatin1Char('T') + time);
}

// The details as schema.org properties; returns those that have none (notes, a time in words),
// which go out as text rather than be lost.
RecipeDetails insertDetails(QJsonObject& o, const RecipeDetails& d) {
    RecipeDetails left;
    const auto put = [&o](const char* key, const QString& value) {
        if (!value.trimmed().isEmpty())
            o.insert(QLatin1String(key), value.trimmed());
    };
    put("description", d.description);
    // The number apart where the yield as written says another, or none.
    const QString servings = d.servings ? QString::number(*d.servings) : QString();
    if (d.servings && !d.yield.trimmed().isEmpty() && servingsIn(d.yield) != d.servings)
        o.insert(QLatin1String("recipeYield"), QJsonArray{servings, d.yield.trimmed()});
    else
        put("recipeYield", d.yield.trimmed().isEmpty() ? servings : d.yield);
    const std::pair<const char*, const QString*> times[] = {
        {"prepTime", &d.prepTime}, {"cookTime", &d.cookTime}, {"totalTime", &d.totalTime}};
    for (const auto& [key, text] : times)
        put(key, isoDuration(*text));
    if (isoDuration(d.prepTime).isEmpty())
        left.prepTime = d.prepTime;
    if (isoDuration(d.cookTime).isEmpty())
        left.cookTime = d.cookTime;
    if (isoDuration(d.totalTime).isEmpty())
        left.totalTime = d.totalTime;
    left.notes = d.notes;
    put("recipeCuisine", d.cuisine);
    if (!d.keywords.isEmpty())
        put("keywords", d.keywords.join(QStringLiteral(", ")));
    if (d.source.startsWith(QLatin1String("http://")) ||
        d.source.startsWith(QLatin1String("https://")))
        put("url", d.source);
    else if (!d.source.isEmpty())
        o.insert(QLatin1String("isBasedOn"), d.source.trimmed());
    if (!d.nutrition.isEmpty())
        o.insert(QLatin1String("nutrition"),
                 QJsonObject{{QLatin1String("@type"), QStringLiteral("NutritionInformation")},
                             {QLatin1String("description"), d.nutrition.trimmed()}});
    // The photos themselves, in our own export, so that they come back byte for byte.
    QJsonArray images;
    for (const QByteArray& bytes : d.photos) {
        const QString type = photoType(bytes);
        images.append(QString(QStringLiteral("data:") + type + QStringLiteral(";base64,") +
                              QString::fromLatin1(bytes.toBase64())));
    }
    if (images.size() == 1)
        o.insert(QLatin1String("image"), images.first());
    else if (!images.isEmpty())
        o.insert(QLatin1String("image"), images);
    else
        put("image", d.image);
    if (d.rating)
        o.insert(QLatin1String("aggregateRating"),
                 QJsonObject{{QLatin1String("@type"), QStringLiteral("AggregateRating")},
                             {QLatin1String("ratingValue"), *d.rating},
                             {QLatin1String("bestRating"), kMaxRating},
                             {QLatin1String("ratingCount"), 1}});
    if (!d.categories.isEmpty()) {
        QJsonArray all;
        const QString own = o.value(QLatin1String("recipeCategory")).toString();
        if (!own.isEmpty())
            all.append(own);
        for (const QString& c : d.categories)
            if (c != own)
                all.append(c);
        o.insert(QLatin1String("recipeCategory"), all);
    }
    return left;
}

// Whether the steps read say what the exported instructions said: one step a paragraph, the
// details apart (or, from older exports, one step a line with the details among them).
bool sameSteps(const QString& instructions, const QStringList& steps) {
    const QString read = steps.join(QLatin1Char(' ')).simplified();
    QString body = instructions;
    QJsonObject properties;
    const QString left = insertDetails(properties, RecipeDetails::takeFrom(body)).text();
    const QString both = body + QLatin1Char(' ') + left;
    return read == both.simplified() || read == instructions.simplified();
}

} // namespace

QJsonObject recipeToJsonLd(const RecipeRecord& r, bool withContext) {
    QJsonObject o;
    if (withContext)
        o.insert(QLatin1String("@context"), kContext);
    o.insert(QLatin1String("@type"), QStringLiteral("Recipe"));
    o.insert(QLatin1String("name"), trimSpaces(r.name));
    if (!trimSpaces(r.author).isEmpty())
        o.insert(QLatin1String("author"),
                 QJsonObject{{QLatin1String("@type"), QStringLiteral("Person")},
                             {QLatin1String("name"), trimSpaces(r.author)}});
    if (!r.category.isEmpty())
        o.insert(QLatin1String("recipeCategory"), r.category);
    QJsonArray ingredients;
    for (const QString& line : nonEmptyLines(trimSpaces(r.ingredients)))
        ingredients.append(line);
    o.insert(QLatin1String("recipeIngredient"), ingredients);
    // One step a paragraph as the user wrote it, never a wrapped line; the details that the
    // instructions carry at their end go out as the properties they are.
    QString instructions = trimSpaces(r.instructions);
    RecipeDetails details = RecipeDetails::takeFrom(instructions);
    // The details the recipe file keeps say more than blocks of text can, and are newer; a
    // time the text gives in words stays with the text.
    if (!r.kept.isEmpty()) {
        const RecipeDetails kept = fromDetails(r.kept);
        if (kept.servings || !kept.yield.isEmpty()) {
            details.servings = kept.servings;
            details.yield = kept.yield;
        }
        for (const auto& [to, from] : {std::pair{&details.prepTime, &kept.prepTime},
                                       std::pair{&details.cookTime, &kept.cookTime},
                                       std::pair{&details.totalTime, &kept.totalTime}})
            if (to->isEmpty())
                *to = *from;
        if (!kept.source.isEmpty())
            details.source = kept.source;
        for (const QString& tag : kept.keywords)
            if (!details.keywords.contains(tag, Qt::CaseInsensitive))
                details.keywords << tag;
        details.rating = kept.rating;
        details.photos = kept.photos;
    }
    const QString left = insertDetails(o, details).text();
    QJsonArray steps;
    for (const QString& paragraph :
         paragraphsOf(left.isEmpty() ? instructions : instructions + QStringLiteral("\n\n") + left))
        steps.append(QJsonObject{{QLatin1String("@type"), QStringLiteral("HowToStep")},
                                 {QLatin1String("text"), paragraph}});
    o.insert(QLatin1String("recipeInstructions"), steps);
    if (r.stored) {
        const RecipeFields& s = *r.stored;
        o.insert(kStoredProperty, QJsonArray{storedJson(s[0]), storedJson(s[1]), storedJson(s[2]),
                                             storedJson(s[3])});
    }
    Details kept = r.kept;
    kept.photos.clear();
    if (!kept.isEmpty())
        o.insert(kDetailsProperty, keptDetailsJson(kept));
    return o;
}

void writeJsonLd(QIODevice& out, const QList<RecipeRecord>& recipes, const QStringList& categories,
                 bool asList, const std::function<void(qsizetype)>& written) {
    if (!asList) {
        const QJsonObject o =
            recipes.isEmpty() ? QJsonObject{} : recipeToJsonLd(recipes.first(), true);
        out.write(QJsonDocument(o).toJson(QJsonDocument::Indented));
        if (written)
            written(recipes.size());
        return;
    }
    QJsonArray cats;
    for (const QString& c : categories)
        cats.append(c);
    QByteArray head = "{\n\"@context\": \"https://schema.org\",\n\"@type\": \"ItemList\",\n";
    head += "\"numberOfItems\": " + QByteArray::number(recipes.size()) + ",\n";
    head += "\"" + kCategoriesProperty.toUtf8() +
            "\": " + QJsonDocument(cats).toJson(QJsonDocument::Compact) + ",\n";
    head += "\"itemListElement\": [\n";
    out.write(head);
    qsizetype position = 0;
    for (const RecipeRecord& r : recipes) {
        ++position;
        const QJsonObject item{{QLatin1String("@type"), QStringLiteral("ListItem")},
                               {QLatin1String("position"), static_cast<qint64>(position)},
                               {QLatin1String("item"), recipeToJsonLd(r, false)}};
        QByteArray line = QJsonDocument(item).toJson(QJsonDocument::Compact);
        if (position < recipes.size())
            line += ',';
        line += '\n';
        out.write(line);
        if (written)
            written(position);
    }
    out.write("]\n}\n");
}

RecipeRecord SchemaRecipe::record() const {
    RecipeRecord r;
    r.name = name;
    r.author = author;
    r.category = details.categories.isEmpty() ? QString() : details.categories.first();
    r.ingredients = ingredients.join(QLatin1Char('\n'));
    r.instructions = steps.join(QLatin1Char('\n'));
    r.details = details;
    return r;
}

namespace {

const QByteArray kOwnListHead =
    "{\n\"@context\": \"https://schema.org\",\n\"@type\": \"ItemList\",\n";

} // namespace

bool isOwnJsonLdList(const QByteArray& head) {
    return head.startsWith(kOwnListHead);
}

ReadResult readJsonLd(const QByteArray& json, const QString& where) {
    Reader reader;
    reader.where = where;
    QJsonParseError error{};
    // Our own list is read one recipe a line, so that a large one (photos and all) is never
    // held as one document; any other JSON whole.
    const bool ownList = isOwnJsonLdList(json) && json.endsWith("]\n}\n");
    const QJsonDocument doc = ownList ? QJsonDocument() : QJsonDocument::fromJson(json, &error);
    if (ownList) {
        int lineNo = 0;
        for (qsizetype start = 0; start < json.size();) {
            qsizetype end = json.indexOf('\n', start);
            if (end < 0)
                end = json.size();
            QByteArrayView line = QByteArrayView(json).sliced(start, end - start).trimmed();
            start = end + 1;
            ++lineNo;
            if (line.endsWith(','))
                line.chop(1);
            // The list's own lines: its categories, and its head and end.
            if (line.startsWith(QByteArray("\"" + kCategoriesProperty.toUtf8() + "\""))) {
                const QJsonDocument cats =
                    QJsonDocument::fromJson(QByteArray("{" + line.toByteArray() + "}"));
                reader.value(QJsonValue(cats.object()), 0);
                continue;
            }
            if (!line.startsWith('{') || lineNo <= 1)
                continue;
            QJsonParseError lineError{};
            const QJsonDocument item = QJsonDocument::fromJson(line.toByteArray(), &lineError);
            if (lineError.error != QJsonParseError::NoError || !item.isObject()) {
                reader.result.problems << SourceProblem{
                    prefixed(where, QStringLiteral("line %1").arg(lineNo)),
                    QStringLiteral("this entry is not complete or not valid JSON (%1)")
                        .arg(lineError.errorString())};
                continue;
            }
            reader.value(QJsonValue(item.object()), 0);
        }
        reader.result.format = QStringLiteral("JSON-LD");
        return reader.result;
    }
    if (error.error == QJsonParseError::NoError) {
        reader.graph.index(doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object()));
        reader.value(doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object()), 0);
        reader.result.format = QStringLiteral("JSON-LD");
        return reader.result;
    }
    // A damaged document: our own lists hold one item per line, so every whole line can
    // still be read; the broken ones are named.
    const int failedAt = lineAt(json, error.offset);
    const QList<QByteArray> lines = json.split('\n');
    int lineNo = 0;
    bool any = false;
    for (QByteArray line : lines) {
        ++lineNo;
        line = line.trimmed();
        if (!line.startsWith('{') || !line.contains("\"@type\""))
            continue;
        if (line.endsWith(','))
            line.chop(1);
        QJsonParseError lineError{};
        const QJsonDocument item = QJsonDocument::fromJson(line, &lineError);
        if (lineError.error != QJsonParseError::NoError || !item.isObject()) {
            reader.result.problems
                << SourceProblem{prefixed(where, QStringLiteral("line %1").arg(lineNo)),
                                 QStringLiteral("this entry is not complete or not valid JSON (%1)")
                                     .arg(lineError.errorString())};
            continue;
        }
        const qsizetype before = reader.result.recipes.size();
        reader.where = prefixed(where, QStringLiteral("line %1").arg(lineNo));
        reader.value(QJsonValue(item.object()), 0);
        any = any || reader.result.recipes.size() > before;
    }
    if (!any)
        reader.result.problems = {SourceProblem{
            prefixed(where, QStringLiteral("line %1").arg(failedAt)),
            QStringLiteral("the file is not valid JSON (%1), so nothing in it could be read")
                .arg(error.errorString())}};
    reader.result.format = QStringLiteral("JSON-LD (damaged)");
    return reader.result;
}

ReadResult readHtml(const QByteArray& html, const QString& address) {
    return readPage(html, address).result;
}

PageRead readPage(const QByteArray& html, const QString& address) {
    // Read as UTF-8; a page saved in a Western code page is converted first.
    QByteArray utf8 = html;
    {
        QStringDecoder check(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = check(html);
        if (check.hasError())
            utf8 = decode(html, CodePage::Windows1252).toUtf8();
    }
    PageRead page;
    ReadResult& all = page.result;
    all.format = QStringLiteral("web page");
    const auto nothing = [&all](const QString& reason) {
        all.problems << SourceProblem{QStringLiteral("the page"), reason};
    };
    const PageScan scan = scanPage(utf8);
    if (!scan.refusal.isEmpty()) {
        nothing(scan.refusal);
        return page;
    }

    Reader reader;
    reader.pageUrl = scan.canonicalUrl.isEmpty() ? address : scan.canonicalUrl;
    reader.pageImage = scan.imageUrl;
    struct Block {
        QList<QJsonValue> values;
        QString where;
        QString error;
    };
    QList<Block> blocks;
    bool anyData = false;
    for (const ScriptBlock& s : scan.jsonLd) {
        Block b;
        b.where = QStringLiteral("script block %1 (line %2)").arg(blocks.size() + 1).arg(s.line);
        b.values = lenientJson(s.text, &b.error);
        for (const QJsonValue& v : b.values) {
            reader.graph.index(v);
            anyData = anyData || hasAnyType(v);
        }
        blocks << b;
    }
    for (const Block& b : blocks) {
        reader.where = b.where;
        reader.item = 0;
        for (const QJsonValue& v : b.values)
            reader.value(v, 0);
    }
    // What a broken block still gives, and where it broke, when it may have held a recipe.
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        if (blocks[i].error.isEmpty())
            continue;
        const QByteArray& text = scan.jsonLd[i].text;
        const ReadResult salvaged = readJsonLd(text, blocks[i].where);
        reader.result.recipes << salvaged.recipes;
        if (text.toLower().contains("recipe") || reader.result.recipes.isEmpty())
            reader.result.problems << salvaged.problems;
    }
    if (reader.result.recipes.isEmpty() && reader.item == 0 && !scan.items.isEmpty()) {
        anyData = true;
        reader.graph.index(scan.items);
        reader.where = QStringLiteral("microdata");
        reader.item = 0;
        reader.value(scan.items, 0);
        if (!reader.result.recipes.isEmpty())
            all.format = QStringLiteral("web page, microdata");
    }
    all.recipes = reader.result.recipes;
    all.problems << reader.result.problems;
    page.recipes = reader.schemaRecipes;
    if (all.recipes.isEmpty() && all.problems.isEmpty()) {
        if (reader.item > 0)
            nothing(QStringLiteral("it holds a Recipe, but with no name, ingredients or "
                                   "instructions"));
        else if (anyData)
            nothing(QStringLiteral("it holds schema.org data, but no Recipe"));
        else
            nothing(QStringLiteral("it holds no recipe data (no schema.org JSON-LD, microdata "
                                   "or RDFa)"));
    }
    return page;
}

} // namespace kb::exchange
