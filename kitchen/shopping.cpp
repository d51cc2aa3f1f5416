#include "kitchen/shopping.h"

#include <QMap>
#include <algorithm>
#include <array>

namespace kb::kitchen {

namespace {

struct Keyword {
    const char* text; // lower case, singular, UTF-8
    Aisle aisle;
};

// A small table, not a catalogue: the cook corrects what it gets wrong, and the correction is
// kept. Where keywords overlap the longest wins ("peanut butter" over "butter").
const std::array kKeywords = std::to_array<Keyword>({
    // produce
    {"onion", Aisle::Produce},
    {"garlic", Aisle::Produce},
    {"shallot", Aisle::Produce},
    {"tomato", Aisle::Produce},
    {"potato", Aisle::Produce},
    {"carrot", Aisle::Produce},
    {"celery", Aisle::Produce},
    {"lettuce", Aisle::Produce},
    {"spinach", Aisle::Produce},
    {"kale", Aisle::Produce},
    {"cabbage", Aisle::Produce},
    {"bell pepper", Aisle::Produce},
    {"red pepper", Aisle::Produce},
    {"green pepper", Aisle::Produce},
    {"lemon", Aisle::Produce},
    {"lime", Aisle::Produce},
    {"orange", Aisle::Produce},
    {"apple", Aisle::Produce},
    {"banana", Aisle::Produce},
    {"berry", Aisle::Produce},
    {"mushroom", Aisle::Produce},
    {"zucchini", Aisle::Produce},
    {"courgette", Aisle::Produce},
    {"cucumber", Aisle::Produce},
    {"avocado", Aisle::Produce},
    {"parsley", Aisle::Produce},
    {"cilantro", Aisle::Produce},
    {"basil", Aisle::Produce},
    {"mint", Aisle::Produce},
    {"dill", Aisle::Produce},
    {"scallion", Aisle::Produce},
    {"spring onion", Aisle::Produce},
    {"leek", Aisle::Produce},
    {"broccoli", Aisle::Produce},
    {"cauliflower", Aisle::Produce},
    {"squash", Aisle::Produce},
    {"pumpkin", Aisle::Produce},
    {"eggplant", Aisle::Produce},
    {"aubergine", Aisle::Produce},
    {"beet", Aisle::Produce},
    {"radish", Aisle::Produce},
    {"pear", Aisle::Produce},
    {"peach", Aisle::Produce},
    {"grape", Aisle::Produce},
    {"mango", Aisle::Produce},
    {"pineapple", Aisle::Produce},
    {"cherry", Aisle::Produce},
    {"jalapeño", Aisle::Produce},
    {"jalapeno", Aisle::Produce},
    {"chile", Aisle::Produce},
    {"chili", Aisle::Produce},
    {"ginger", Aisle::Produce},
    {"fresh thyme", Aisle::Produce},
    {"fresh rosemary", Aisle::Produce},
    {"fresh oregano", Aisle::Produce},
    {"fresh coriander", Aisle::Produce},
    {"herb", Aisle::Produce},
    {"fennel", Aisle::Produce},
    {"asparagus", Aisle::Produce},
    {"green bean", Aisle::Produce},
    {"arugula", Aisle::Produce},
    {"zwiebel", Aisle::Produce},
    {"knoblauch", Aisle::Produce},
    {"tomate", Aisle::Produce},
    {"kartoffel", Aisle::Produce},
    {"karotte", Aisle::Produce},
    {"möhre", Aisle::Produce},
    {"zitrone", Aisle::Produce},
    {"petersilie", Aisle::Produce},
    {"oignon", Aisle::Produce},
    {"ail", Aisle::Produce},
    {"pomme de terre", Aisle::Produce},
    {"carotte", Aisle::Produce},
    {"citron", Aisle::Produce},
    // dairy and eggs
    {"milk", Aisle::Dairy},
    {"butter", Aisle::Dairy},
    {"cream", Aisle::Dairy},
    {"cheese", Aisle::Dairy},
    {"yogurt", Aisle::Dairy},
    {"yoghurt", Aisle::Dairy},
    {"egg", Aisle::Dairy},
    {"egg yolk", Aisle::Dairy},
    {"egg white", Aisle::Dairy},
    {"buttermilk", Aisle::Dairy},
    {"parmesan", Aisle::Dairy},
    {"mozzarella", Aisle::Dairy},
    {"cheddar", Aisle::Dairy},
    {"ricotta", Aisle::Dairy},
    {"feta", Aisle::Dairy},
    {"crème fraîche", Aisle::Dairy},
    {"creme fraiche", Aisle::Dairy},
    {"milch", Aisle::Dairy},
    {"sahne", Aisle::Dairy},
    {"käse", Aisle::Dairy},
    {"ei", Aisle::Dairy},
    {"eier", Aisle::Dairy},
    {"quark", Aisle::Dairy},
    {"lait", Aisle::Dairy},
    {"beurre", Aisle::Dairy},
    {"crème", Aisle::Dairy},
    {"fromage", Aisle::Dairy},
    {"oeuf", Aisle::Dairy},
    {"œuf", Aisle::Dairy},
    // meat and fish
    {"chicken", Aisle::Meat},
    {"beef", Aisle::Meat},
    {"pork", Aisle::Meat},
    {"lamb", Aisle::Meat},
    {"bacon", Aisle::Meat},
    {"sausage", Aisle::Meat},
    {"ham", Aisle::Meat},
    {"turkey", Aisle::Meat},
    {"veal", Aisle::Meat},
    {"mince", Aisle::Meat},
    {"steak", Aisle::Meat},
    {"fish", Aisle::Meat},
    {"salmon", Aisle::Meat},
    {"tuna", Aisle::Meat},
    {"shrimp", Aisle::Meat},
    {"prawn", Aisle::Meat},
    {"cod", Aisle::Meat},
    {"duck", Aisle::Meat},
    {"chorizo", Aisle::Meat},
    {"prosciutto", Aisle::Meat},
    {"pancetta", Aisle::Meat},
    {"mussel", Aisle::Meat},
    {"clam", Aisle::Meat},
    {"hähnchen", Aisle::Meat},
    {"hackfleisch", Aisle::Meat},
    {"speck", Aisle::Meat},
    {"poulet", Aisle::Meat},
    {"boeuf", Aisle::Meat},
    {"porc", Aisle::Meat},
    {"lardon", Aisle::Meat},
    // bakery
    {"bread", Aisle::Bakery},
    {"baguette", Aisle::Bakery},
    {"roll", Aisle::Bakery},
    {"bun", Aisle::Bakery},
    {"tortilla", Aisle::Bakery},
    {"pita", Aisle::Bakery},
    {"croissant", Aisle::Bakery},
    {"brioche", Aisle::Bakery},
    {"brot", Aisle::Bakery},
    {"pain", Aisle::Bakery},
    // pantry
    {"flour", Aisle::Pantry},
    {"sugar", Aisle::Pantry},
    {"rice", Aisle::Pantry},
    {"pasta", Aisle::Pantry},
    {"spaghetti", Aisle::Pantry},
    {"noodle", Aisle::Pantry},
    {"oil", Aisle::Pantry},
    {"vinegar", Aisle::Pantry},
    {"stock", Aisle::Pantry},
    {"broth", Aisle::Pantry},
    {"bean", Aisle::Pantry},
    {"lentil", Aisle::Pantry},
    {"chickpea", Aisle::Pantry},
    {"honey", Aisle::Pantry},
    {"syrup", Aisle::Pantry},
    {"baking powder", Aisle::Pantry},
    {"baking soda", Aisle::Pantry},
    {"yeast", Aisle::Pantry},
    {"vanilla", Aisle::Pantry},
    {"chocolate", Aisle::Pantry},
    {"cocoa", Aisle::Pantry},
    {"almond", Aisle::Pantry},
    {"walnut", Aisle::Pantry},
    {"pecan", Aisle::Pantry},
    {"nut", Aisle::Pantry},
    {"oat", Aisle::Pantry},
    {"sauce", Aisle::Pantry},
    {"mustard", Aisle::Pantry},
    {"ketchup", Aisle::Pantry},
    {"mayonnaise", Aisle::Pantry},
    {"peanut butter", Aisle::Pantry},
    {"breadcrumb", Aisle::Pantry},
    {"bread crumb", Aisle::Pantry},
    {"cornstarch", Aisle::Pantry},
    {"wine", Aisle::Pantry},
    {"raisin", Aisle::Pantry},
    {"molasses", Aisle::Pantry},
    {"caper", Aisle::Pantry},
    {"olive", Aisle::Pantry},
    {"olive oil", Aisle::Pantry},
    {"tomato paste", Aisle::Pantry},
    {"mehl", Aisle::Pantry},
    {"zucker", Aisle::Pantry},
    {"reis", Aisle::Pantry},
    {"nudel", Aisle::Pantry},
    {"öl", Aisle::Pantry},
    {"essig", Aisle::Pantry},
    {"brühe", Aisle::Pantry},
    {"farine", Aisle::Pantry},
    {"sucre", Aisle::Pantry},
    {"riz", Aisle::Pantry},
    {"huile", Aisle::Pantry},
    {"vinaigre", Aisle::Pantry},
    // spices
    {"salt", Aisle::Spices},
    {"pepper", Aisle::Spices},
    {"black pepper", Aisle::Spices},
    {"peppercorn", Aisle::Spices},
    {"cumin", Aisle::Spices},
    {"paprika", Aisle::Spices},
    {"cinnamon", Aisle::Spices},
    {"nutmeg", Aisle::Spices},
    {"ground clove", Aisle::Spices},
    {"oregano", Aisle::Spices},
    {"thyme", Aisle::Spices},
    {"rosemary", Aisle::Spices},
    {"bay leaf", Aisle::Spices},
    {"chili powder", Aisle::Spices},
    {"curry", Aisle::Spices},
    {"turmeric", Aisle::Spices},
    {"coriander", Aisle::Spices},
    {"cardamom", Aisle::Spices},
    {"ground ginger", Aisle::Spices},
    {"allspice", Aisle::Spices},
    {"cayenne", Aisle::Spices},
    {"pepper flake", Aisle::Spices},
    {"saffron", Aisle::Spices},
    {"seasoning", Aisle::Spices},
    {"dried", Aisle::Spices},
    {"salz", Aisle::Spices},
    {"pfeffer", Aisle::Spices},
    {"zimt", Aisle::Spices},
    {"sel", Aisle::Spices},
    {"poivre", Aisle::Spices},
    {"cannelle", Aisle::Spices},
    // frozen
    {"frozen", Aisle::Frozen},
    {"ice cream", Aisle::Frozen},
    {"tiefgekühlt", Aisle::Frozen},
    {"surgelé", Aisle::Frozen},
});

const std::array kAisleNames = std::to_array<const char*>(
    {"produce", "dairy", "meat", "bakery", "pantry", "spices", "frozen", "other"});

// Words before an item that don't change what is bought ("2 large onions", "1 onion").
const std::array kLooseWords = std::to_array<const char*>(
    {"large", "medium", "small", "fresh", "freshly", "chopped", "minced", "diced", "sliced",
     "finely", "coarsely", "roughly", "thinly", "grated", "peeled", "ripe", "good", "extra"});

QString singular(const QString& w) {
    if (w.size() <= 3 || w.endsWith(QLatin1String("ss")) || w.endsWith(QLatin1String("us")))
        return w;
    if (w.endsWith(QLatin1String("ies")))
        return w.left(w.size() - 3) + QLatin1Char('y');
    if (w.endsWith(QLatin1String("oes")) || w.endsWith(QLatin1String("ches")) ||
        w.endsWith(QLatin1String("shes")) || w.endsWith(QLatin1String("xes")) ||
        w.endsWith(QLatin1String("sses")))
        return w.left(w.size() - 2);
    if (w.endsWith(QLatin1String("ves")) && w.size() > 5)
        return w.left(w.size() - 3) + QLatin1Char('f'); // leaves, halves
    if (w.endsWith(QLatin1Char('s')))
        return w.left(w.size() - 1);
    return w;
}

struct PreparedKeyword {
    QString text;
    Aisle aisle;
};

const QList<PreparedKeyword>& keywords() {
    static const QList<PreparedKeyword> all = [] {
        QList<PreparedKeyword> v;
        for (const Keyword& k : kKeywords)
            v.append({QString::fromUtf8(k.text), k.aisle});
        std::stable_sort(v.begin(), v.end(), [](const auto& a, const auto& b) {
            return a.text.size() > b.text.size();
        });
        return v;
    }();
    return all;
}

bool containsWord(const QString& text, const QString& word) {
    for (qsizetype at = text.indexOf(word); at >= 0; at = text.indexOf(word, at + 1)) {
        const qsizetype end = at + word.size();
        if ((at == 0 || !text[at - 1].isLetter()) && (end == text.size() || !text[end].isLetter()))
            return true;
    }
    return false;
}

} // namespace

QString aisleName(Aisle aisle) {
    return QString::fromLatin1(kAisleNames.at(static_cast<std::size_t>(aisle)));
}

std::optional<Aisle> aisleFromName(QStringView name) {
    for (std::size_t i = 0; i < kAisleNames.size(); ++i)
        if (name.compare(QLatin1String(kAisleNames.at(i)), Qt::CaseInsensitive) == 0)
            return static_cast<Aisle>(i);
    return std::nullopt;
}

QString itemKey(QStringView item) {
    QString clean;
    clean.reserve(item.size());
    for (const QChar c : item) {
        if (c.isLetterOrNumber() || c == QLatin1Char('\'') || c == QLatin1Char('-'))
            clean += c.toLower();
        else
            clean += QLatin1Char(' ');
    }
    QStringList words = clean.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    while (words.size() > 1) {
        const QString& first = words.front();
        if (std::none_of(kLooseWords.begin(), kLooseWords.end(),
                         [&](const char* w) { return first == QLatin1String(w); }))
            break;
        words.removeFirst();
    }
    if (!words.isEmpty())
        words.last() = singular(words.last());
    return words.join(QLatin1Char(' '));
}

Aisle AisleTable::guess(QStringView item) {
    const QString key = itemKey(item);
    for (const PreparedKeyword& k : keywords())
        if (containsWord(key, k.text))
            return k.aisle;
    return Aisle::Other;
}

Aisle AisleTable::aisleOf(QStringView item) const {
    const auto it = m_corrections.constFind(itemKey(item));
    return it != m_corrections.cend() ? *it : guess(item);
}

namespace {

// "2 onions", "4 potatoes": English items counted without a unit, in lower case (a German
// noun, capitalised, is left as written).
QString counted(const QString& item, double quantity) {
    if (quantity <= 1.0625 || item.isEmpty())
        return item;
    const qsizetype space = item.lastIndexOf(QLatin1Char(' '));
    const QString last = item.mid(space + 1);
    for (const QChar c : last)
        if (c < QLatin1Char('a') || c > QLatin1Char('z'))
            return item;
    if (last.size() < 3 || last.endsWith(QLatin1Char('s')))
        return item;
    if (last.endsWith(QLatin1String("to")) || last.endsWith(QLatin1String("ch")) ||
        last.endsWith(QLatin1String("sh")) || last.endsWith(QLatin1Char('x')))
        return item + QStringLiteral("es");
    if (last.endsWith(QLatin1Char('y')) &&
        !QStringLiteral("aeiou").contains(last.at(last.size() - 2)))
        return item.left(item.size() - 1) + QStringLiteral("ies");
    return item + QLatin1Char('s');
}

} // namespace

QString ShoppingLine::text() const {
    QString t = !amount ? item
                : amount->unit == Unit::None
                    ? formatAmount(*amount) + QLatin1Char(' ') +
                          counted(item, amount->quantityMax.value_or(amount->quantity))
                    : formatAmount(*amount) + QLatin1Char(' ') + item;
    if (!notes.isEmpty())
        t += QStringLiteral(" (") + notes.join(QStringLiteral("; ")) + QLatin1Char(')');
    return t;
}

namespace {

struct Group {
    ShoppingLine line;
    Family family = Family::None; // the family amounts are summed in
    Unit unit = Unit::None;       // count units: the unit; measured: the first unit seen
    bool oneUnit = true;
    bool hasAmount = false;
    bool hasRange = false;
    double low = 0; // base units of `family` (g, ml, cm) or a count
    double high = 0;
    bool approximate = false;
};

} // namespace

QList<ShoppingLine> mergeShopping(const QList<ShoppingSource>& sources, System system,
                                  const AisleTable& aisles, const QSet<QString>& ticked) {
    QList<Group> groups;
    QHash<QString, qsizetype> index;
    for (const ShoppingSource& source : sources) {
        for (const Ingredient& ing : readIngredients(source.ingredients)) {
            if (!ing.quantity && ing.item.endsWith(QLatin1Char(':')))
                continue; // a heading
            QString key;
            Family family = Family::None;
            // "salt, pepper, basil" is three things to buy, not salt with a note: a line
            // without an amount keeps its words unless all that follows is "to taste".
            const bool listed = !ing.quantity && !ing.notes.isEmpty() && !ing.toTaste;
            const QString item = ing.unread || listed ? ing.text.trimmed() : ing.item;
            const QString name = itemKey(item);
            const Family own = familyOf(ing.unit);
            const bool dense = densityOf(ing.item).has_value();
            if (ing.unread) {
                key = QStringLiteral("unread|") + name;
            } else if (!ing.quantity) {
                key = name + QStringLiteral("|none");
            } else if ((own == Family::Mass || own == Family::Volume) && dense) {
                key = name + QStringLiteral("|mass-volume");
                family = own;
            } else if (own == Family::Mass || own == Family::Volume || own == Family::Length) {
                key = name + QLatin1Char('|') + QString::number(static_cast<int>(own));
                family = own;
            } else {
                key = name + QStringLiteral("|count ") + unitName(ing.unit);
                family = Family::Count;
            }
            auto at = index.constFind(key);
            if (at == index.cend()) {
                Group g;
                g.line.key = key;
                g.line.item = item;
                g.line.aisle = aisles.aisleOf(item);
                if ((ing.unit == Unit::Can || ing.unit == Unit::Package) &&
                    (g.line.aisle == Aisle::Produce || g.line.aisle == Aisle::Other) &&
                    !aisles.corrections().contains(itemKey(item)))
                    g.line.aisle = Aisle::Pantry;
                g.line.ticked = ticked.contains(key);
                g.unit = ing.unit;
                // Metric kitchens weigh, US ones measure by the cup.
                g.family = family;
                if (key.endsWith(QLatin1String("|mass-volume")) && system != System::AsWritten)
                    g.family = system == System::Metric ? Family::Mass : Family::Volume;
                at = index.insert(key, groups.size());
                groups.append(g);
            }
            Group& g = groups[*at];
            if (!g.line.recipes.contains(source.name))
                g.line.recipes << source.name;
            if (ing.unread)
                continue;
            if (!ing.quantity) {
                if (ing.toTaste && !ing.notes.isEmpty() && !g.line.notes.contains(ing.notes))
                    g.line.notes << ing.notes;
                continue;
            }
            const double factor = ing.scales() ? source.factor : 1.0;
            double low = *ing.quantity * factor;
            double high = ing.quantityMax.value_or(*ing.quantity) * factor;
            if (g.family == Family::Mass || g.family == Family::Volume ||
                g.family == Family::Length) {
                double base = baseAmount(ing.unit);
                if (own != g.family) {
                    const double density = densityOf(ing.item)->gramsPerMl;
                    base = own == Family::Volume ? base * density : base / density;
                    g.approximate = true;
                }
                low *= base;
                high *= base;
            }
            if (ing.unit != g.unit)
                g.oneUnit = false;
            g.hasAmount = true;
            g.hasRange = g.hasRange || ing.quantityMax.has_value();
            g.low += low;
            g.high += high;
        }
    }
    // "Salt, 1 tsp" and "salt to taste" from two recipes are one thing to buy.
    QHash<QString, qsizetype> measuredByItem;
    for (qsizetype i = 0; i < groups.size(); ++i)
        if (groups[i].hasAmount)
            measuredByItem.insert(groups[i].line.key.section(QLatin1Char('|'), 0, 0), i);
    QList<ShoppingLine> out;
    for (Group& g : groups) {
        ShoppingLine& line = g.line;
        if (!g.hasAmount && line.key.endsWith(QLatin1String("|none"))) {
            const auto m = measuredByItem.constFind(line.key.section(QLatin1Char('|'), 0, 0));
            if (m != measuredByItem.cend()) {
                ShoppingLine& into = groups[*m].line;
                into.notes << line.notes;
                for (const QString& r : std::as_const(line.recipes))
                    if (!into.recipes.contains(r))
                        into.recipes << r;
                line.key.clear();
            }
        }
    }
    for (Group& g : groups) {
        ShoppingLine& line = g.line;
        if (line.key.isEmpty())
            continue;
        if (g.hasAmount) {
            Amount a;
            a.approximate = g.approximate;
            if (g.family == Family::Count) {
                a.unit = g.unit;
                a.quantity = g.low;
                if (g.hasRange)
                    a.quantityMax = g.high;
            } else {
                // Summed in base units: shown in the unit the system picks for that size, or
                // in the one unit all the lines used when nothing is converted.
                const Family f = g.family;
                Amount base{g.low, g.hasRange ? std::optional<double>(g.high) : std::nullopt,
                            f == Family::Mass     ? Unit::G
                            : f == Family::Volume ? Unit::Ml
                                                  : Unit::Cm,
                            g.approximate};
                const bool usSide =
                    system == System::Us || (system == System::AsWritten && !isMetric(g.unit));
                if (system == System::AsWritten && g.oneUnit && familyOf(g.unit) == f) {
                    a = base;
                    a.unit = g.unit;
                    a.quantity = g.low / baseAmount(g.unit);
                    if (a.quantityMax)
                        a.quantityMax = g.high / baseAmount(g.unit);
                } else {
                    a = convert(base, usSide ? System::Us : System::Metric);
                    a.approximate = g.approximate;
                }
            }
            line.amount = a;
        }
        line.notes.removeDuplicates();
        line.notes.removeAll(QString());
        out.append(line);
    }
    std::stable_sort(out.begin(), out.end(), [](const ShoppingLine& a, const ShoppingLine& b) {
        if (a.aisle != b.aisle)
            return a.aisle < b.aisle;
        return QString::compare(a.item, b.item, Qt::CaseInsensitive) < 0;
    });
    return out;
}

QString shoppingText(const QList<ShoppingLine>& lines) {
    QString out;
    std::optional<Aisle> current;
    for (const ShoppingLine& l : lines) {
        if (current != l.aisle) {
            if (current)
                out += QLatin1Char('\n');
            QString heading = aisleName(l.aisle);
            heading[0] = heading[0].toUpper();
            out += heading + QLatin1Char('\n');
            current = l.aisle;
        }
        out += (l.ticked ? QStringLiteral("[x] ") : QStringLiteral("[ ] ")) + l.text();
        if (!l.recipes.isEmpty())
            out += QStringLiteral("  \u2014 ") + l.recipes.join(QStringLiteral(", "));
        out += QLatin1Char('\n');
    }
    return out;
}

QString shoppingHtml(const QString& title, const QList<ShoppingLine>& lines) {
    QString html = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>") +
                   title.toHtmlEscaped() +
                   QStringLiteral("</title><style>body{font-family:sans-serif;font-size:11pt}"
                                  "h1{font-size:15pt}h2{font-size:12pt;margin:12px 0 4px}"
                                  "ul{list-style:none;margin:0;padding:0}li{margin:2px 0}"
                                  ".from{color:#555;font-size:9pt}.done{text-decoration:"
                                  "line-through;color:#777}</style></head><body><h1>") +
                   title.toHtmlEscaped() + QStringLiteral("</h1>\n");
    std::optional<Aisle> current;
    for (const ShoppingLine& l : lines) {
        if (current != l.aisle) {
            if (current)
                html += QStringLiteral("</ul>\n");
            QString heading = aisleName(l.aisle);
            heading[0] = heading[0].toUpper();
            html += QStringLiteral("<h2>") + heading + QStringLiteral("</h2><ul>\n");
            current = l.aisle;
        }
        html +=
            QStringLiteral("<li") +
            (l.ticked ? QStringLiteral(" class=\"done\">&#9745; ") : QStringLiteral(">&#9744; ")) +
            l.text().toHtmlEscaped();
        if (!l.recipes.isEmpty())
            html += QStringLiteral(" <span class=\"from\">\u2014 ") +
                    l.recipes.join(QStringLiteral(", ")).toHtmlEscaped() +
                    QStringLiteral("</span>");
        html += QStringLiteral("</li>\n");
    }
    if (current)
        html += QStringLiteral("</ul>\n");
    html += QStringLiteral("</body></html>\n");
    return html;
}

} // namespace kb::kitchen
