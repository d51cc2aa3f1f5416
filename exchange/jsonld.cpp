#include "exchange/jsonld.h"

#include "core/app.h"
#include "exchange/codepages.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStringDecoder>

#include <gumbo.h>

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

bool hasType(const QJsonObject& o, QLatin1String type) {
    const QJsonValue t = o.value(QLatin1String("@type"));
    const auto matches = [type](const QString& s) {
        return s == type || s.endsWith(QLatin1Char('/') + type) ||
               s.endsWith(QLatin1Char(':') + type);
    };
    if (t.isString())
        return matches(t.toString());
    for (const auto& v : t.toArray())
        if (v.isString() && matches(v.toString()))
            return true;
    return false;
}

// A plain text from a value that may be a string, a number, an object with a name or text,
// or a list of any of these.
QString textOf(const QJsonValue& v, const QString& separator = QStringLiteral(", ")) {
    if (v.isString())
        return v.toString();
    if (v.isDouble())
        return QString::number(v.toDouble());
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        for (const char* key : {"name", "text", "@value", "value"})
            if (o.contains(QLatin1String(key)))
                return textOf(o.value(QLatin1String(key)), separator);
        return {};
    }
    if (v.isArray()) {
        QStringList parts;
        for (const auto& e : v.toArray()) {
            const QString t = textOf(e, separator);
            if (!t.isEmpty())
                parts << t;
        }
        return parts.join(separator);
    }
    return {};
}

QStringList linesOf(const QJsonValue& v) {
    if (v.isArray()) {
        QStringList lines;
        for (const auto& e : v.toArray())
            lines << textOf(e);
        return lines;
    }
    if (v.isString())
        return v.toString().split(lineBreaks());
    return {};
}

// Steps as lines: a text, HowToSteps, HowToSections (their name as a heading, then their
// steps), ItemLists, or lists of any of these.
void collectSteps(const QJsonValue& v, QStringList& out) {
    if (v.isString()) {
        out << v.toString().split(lineBreaks());
        return;
    }
    if (v.isArray()) {
        for (const auto& e : v.toArray())
            collectSteps(e, out);
        return;
    }
    if (!v.isObject())
        return;
    const QJsonObject o = v.toObject();
    if (hasType(o, QLatin1String("HowToSection")) || o.contains(QLatin1String("itemListElement"))) {
        const QString heading = textOf(o.value(QLatin1String("name")));
        if (!heading.isEmpty())
            out << heading + QLatin1Char(':');
        collectSteps(o.value(QLatin1String("itemListElement")), out);
        return;
    }
    QString text = textOf(o.value(QLatin1String("text")));
    if (text.isEmpty())
        text = textOf(o.value(QLatin1String("name")));
    if (text.isEmpty())
        text = textOf(o.value(QLatin1String("description")));
    if (!text.isEmpty())
        out << text.split(lineBreaks());
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

// The fields the four columns have no room for, under plain headings.
QString extrasOf(const QJsonObject& o) {
    QStringList blocks;
    const auto add = [&](const QString& heading, const QString& text) {
        if (!trimSpaces(text).isEmpty())
            blocks << heading + QLatin1Char('\n') + text;
    };
    add(QStringLiteral("Description:"), textOf(o.value(QLatin1String("description"))));
    add(QStringLiteral("Yield:"), textOf(o.value(QLatin1String("recipeYield"))));
    const std::pair<const char*, const char*> times[] = {{"prepTime", "Preparation time:"},
                                                         {"cookTime", "Cooking time:"},
                                                         {"totalTime", "Total time:"}};
    for (const auto& [key, heading] : times) {
        const QJsonValue v = o.value(QLatin1String(key));
        add(QLatin1String(heading), v.isString() ? readableDuration(v.toString()) : textOf(v));
    }
    const QJsonValue nutrition = o.value(QLatin1String("nutrition"));
    if (nutrition.isObject()) {
        QStringList lines;
        const QJsonObject n = nutrition.toObject();
        for (auto it = n.begin(); it != n.end(); ++it) {
            if (it.key().startsWith(QLatin1Char('@')))
                continue;
            const QString value = textOf(it.value());
            if (!value.isEmpty())
                lines << it.key() + QLatin1String(": ") + value;
        }
        add(QStringLiteral("Nutrition:"), lines.join(QLatin1Char('\n')));
    } else {
        add(QStringLiteral("Nutrition:"), textOf(nutrition));
    }
    add(QStringLiteral("Cuisine:"), textOf(o.value(QLatin1String("recipeCuisine"))));
    add(QStringLiteral("Keywords:"), textOf(o.value(QLatin1String("keywords"))));
    QString source = textOf(o.value(QLatin1String("url")));
    if (source.isEmpty())
        source = textOf(o.value(QLatin1String("mainEntityOfPage")));
    if (source.isEmpty() && o.value(QLatin1String("@id")).toString().contains(QLatin1String("://")))
        source = o.value(QLatin1String("@id")).toString();
    add(QStringLiteral("Source:"), source);
    return blocks.join(QStringLiteral("\n\n"));
}

std::optional<StoredValues> storedOf(const QJsonObject& o) {
    const QJsonValue v = o.value(kStoredProperty);
    if (!v.isArray())
        return std::nullopt;
    const QJsonArray a = v.toArray();
    if (a.size() != 4)
        return std::nullopt;
    StoredValues values;
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

struct Reader {
    ReadResult result;
    QString where;
    int item = 0;

    QString position() const {
        const QString p = QStringLiteral("item %1").arg(item);
        return where.isEmpty() ? p : where + QLatin1String(", ") + p;
    }

    void recipe(const QJsonObject& o) {
        ++item;
        RecipeRecord r;
        r.position = position();
        r.name = textOf(o.value(QLatin1String("name")));
        r.author = textOf(o.value(QLatin1String("author")));
        QJsonValue ingredients = o.value(QLatin1String("recipeIngredient"));
        if (ingredients.isUndefined())
            ingredients = o.value(QLatin1String("ingredients"));
        const QStringList ingredientLines = linesOf(ingredients);
        r.ingredients = ingredientLines.join(QLatin1Char('\n'));
        QStringList steps;
        collectSteps(o.value(QLatin1String("recipeInstructions")), steps);
        r.instructions = steps.join(QLatin1Char('\n'));
        const QJsonValue category = o.value(QLatin1String("recipeCategory"));
        const QJsonArray categoryList = category.toArray();
        r.category = category.isArray()
                         ? (categoryList.isEmpty() ? QString() : textOf(categoryList.at(0)))
                         : textOf(category);

        // Our own export: the exact values, as long as the standard fields still say the same
        // (another program may have edited them since).
        if (const auto stored = storedOf(o)) {
            const StoredValues& s = *stored;
            const bool same =
                trimmedOr(s[0]) == trimSpaces(r.name) && trimmedOr(s[1]) == trimSpaces(r.author) &&
                trimmedLines(nonEmptyLines(trimmedOr(s[2]))) == trimmedLines(ingredientLines) &&
                sameSteps(trimmedOr(s[3]), steps);
            if (same) {
                RecipeRecord exact = RecipeRecord::fromStored(r.category, s);
                exact.position = r.position;
                result.recipes << exact;
                return;
            }
            r.notes << QStringLiteral("its standard fields were changed after it was exported, "
                                      "so they were taken instead of the exported values");
        }

        const QString extras = extrasOf(o);
        if (!extras.isEmpty())
            r.instructions = r.instructions.isEmpty()
                                 ? extras
                                 : r.instructions + QStringLiteral("\n\n") + extras;
        if (trimSpaces(r.name).isEmpty() && trimSpaces(r.ingredients).isEmpty() &&
            trimSpaces(r.instructions).isEmpty()) {
            result.problems << SourceProblem{r.position, QStringLiteral("the recipe is empty: it "
                                                                        "has no name, "
                                                                        "ingredients or "
                                                                        "instructions")};
            return;
        }
        result.recipes << r;
    }

    void value(const QJsonValue& v, int depth) {
        // Deeply nested input is refused rather than followed down without end.
        if (depth > 64)
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
            recipe(o);
            return;
        }
        const QJsonValue categories = o.value(kCategoriesProperty);
        for (const auto& c : categories.toArray())
            if (c.isString() && !result.categories.contains(c.toString()))
                result.categories << c.toString();
        for (const char* key : {"@graph", "itemListElement", "item", "mainEntity"})
            if (o.contains(QLatin1String(key)))
                value(o.value(QLatin1String(key)), depth + 1);
    }
};

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
    put("recipeYield", d.yield);
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
    put("image", d.image);
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
    const RecipeDetails details = RecipeDetails::takeFrom(instructions);
    const QString left = insertDetails(o, details).text();
    QJsonArray steps;
    for (const QString& paragraph :
         paragraphsOf(left.isEmpty() ? instructions : instructions + QStringLiteral("\n\n") + left))
        steps.append(QJsonObject{{QLatin1String("@type"), QStringLiteral("HowToStep")},
                                 {QLatin1String("text"), paragraph}});
    o.insert(QLatin1String("recipeInstructions"), steps);
    if (r.stored) {
        const StoredValues& s = *r.stored;
        o.insert(kStoredProperty, QJsonArray{storedJson(s[0]), storedJson(s[1]), storedJson(s[2]),
                                             storedJson(s[3])});
    }
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

ReadResult readJsonLd(const QByteArray& json, const QString& where) {
    Reader reader;
    reader.where = where;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error == QJsonParseError::NoError) {
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

ReadResult readHtml(const QByteArray& html) {
    // The parser wants UTF-8; a page saved in a Western code page is converted first.
    QByteArray utf8 = html;
    {
        QStringDecoder check(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = check(html);
        if (check.hasError())
            utf8 = decode(html, CodePage::Windows1252).toUtf8();
    }
    ReadResult all;
    all.format = QStringLiteral("web page");
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, utf8.constData(),
                                                   static_cast<size_t>(utf8.size()));
    std::vector<const GumboNode*> stack{output->root};
    int block = 0;
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
            continue;
        const GumboElement& el = node->v.element;
        if (el.tag == GUMBO_TAG_SCRIPT) {
            const GumboAttribute* type = gumbo_get_attribute(&el.attributes, "type");
            const QString t = type ? QString::fromUtf8(type->value)
                                         .section(QLatin1Char(';'), 0, 0)
                                         .trimmed()
                                         .toLower()
                                   : QString();
            if (t == QLatin1String("application/ld+json")) {
                ++block;
                QByteArray text;
                for (unsigned i = 0; i < el.children.length; ++i) {
                    const auto* child = static_cast<const GumboNode*>(el.children.data[i]);
                    if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_CDATA ||
                        child->type == GUMBO_NODE_WHITESPACE)
                        text += child->v.text.text;
                }
                const ReadResult r = readJsonLd(
                    text,
                    QStringLiteral("script block %1 (line %2)").arg(block).arg(el.start_pos.line));
                all.recipes << r.recipes;
                all.problems << r.problems;
            }
            continue;
        }
        // Children are pushed last first, so that blocks are read in page order.
        for (unsigned i = el.children.length; i > 0; --i)
            stack.push_back(static_cast<const GumboNode*>(el.children.data[i - 1]));
    }
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    if (block == 0)
        all.problems << SourceProblem{QStringLiteral("the page"),
                                      QStringLiteral("it holds no schema.org recipe data "
                                                     "(no <script type=\"application/ld+json\"> "
                                                     "block)")};
    return all;
}

} // namespace kb::exchange
