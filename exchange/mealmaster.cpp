#include "exchange/mealmaster.h"

#include "core/app.h"

#include <QRegularExpression>
#include <QSet>

namespace kb::exchange {

namespace {

// The column layout of an ingredient: amount in columns 0 to 6, unit in 8 and 9, text from
// column 11; the right-hand column of the two-column layout starts at column 41.
constexpr int kAmountWidth = 7;
constexpr int kUnitAt = 8;
constexpr int kTextAt = 11;
constexpr int kRightAt = 41;
constexpr int kLeftTextWidth = 28;

const QSet<QString>& unitCodes() {
    static const QSet<QString> units = {
        QStringLiteral("x"),  QStringLiteral("sm"), QStringLiteral("md"), QStringLiteral("lg"),
        QStringLiteral("cn"), QStringLiteral("pk"), QStringLiteral("pn"), QStringLiteral("dr"),
        QStringLiteral("ds"), QStringLiteral("ct"), QStringLiteral("bn"), QStringLiteral("sl"),
        QStringLiteral("ea"), QStringLiteral("t"),  QStringLiteral("ts"), QStringLiteral("T"),
        QStringLiteral("tb"), QStringLiteral("fl"), QStringLiteral("c"),  QStringLiteral("pt"),
        QStringLiteral("qt"), QStringLiteral("ga"), QStringLiteral("oz"), QStringLiteral("lb"),
        QStringLiteral("ml"), QStringLiteral("cb"), QStringLiteral("cl"), QStringLiteral("dl"),
        QStringLiteral("l"),  QStringLiteral("mg"), QStringLiteral("cg"), QStringLiteral("dg"),
        QStringLiteral("g"),  QStringLiteral("kg"),
    };
    return units;
}

bool isHeader(const QString& line) {
    const QString t = line.trimmed();
    return (t.startsWith(QLatin1String("MMMMM")) || t.startsWith(QLatin1String("-----"))) &&
           t.contains(QLatin1String("Meal-Master"), Qt::CaseInsensitive);
}

bool isEnd(const QString& line) {
    const QString t = line.trimmed();
    return t == QLatin1String("MMMMM") || t == QLatin1String("-----");
}

// "MMMMM-----FOR THE SAUCE-----": a heading inside the ingredients; returns its text.
std::optional<QString> sectionHeading(const QString& line) {
    const QString t = line.trimmed();
    if (!(t.startsWith(QLatin1String("MMMMM")) || t.startsWith(QLatin1String("-----"))))
        return std::nullopt;
    QString inner = t;
    if (inner.startsWith(QLatin1String("MMMMM")))
        inner = inner.mid(5);
    while (inner.startsWith(QLatin1Char('-')))
        inner.remove(0, 1);
    while (inner.endsWith(QLatin1Char('-')))
        inner.chop(1);
    inner = inner.trimmed();
    if (inner.isEmpty())
        return std::nullopt;
    return inner;
}

struct Parsed {
    MmIngredient ingredient;
    bool continuation = false;
};

// One ingredient in the fixed columns, or nothing when the text does not fit them.
std::optional<Parsed> parseIngredient(const QString& segment) {
    const QString s = segment.leftJustified(kTextAt, QLatin1Char(' '));
    const QString amount = s.left(kAmountWidth);
    for (const QChar c : amount)
        if (!(c.isDigit() || c == QLatin1Char(' ') || c == QLatin1Char('/') ||
              c == QLatin1Char('.') || c == QLatin1Char('-')))
            return std::nullopt;
    if (s[kAmountWidth] != QLatin1Char(' ') || s[kTextAt - 1] != QLatin1Char(' '))
        return std::nullopt;
    const QString unit = s.mid(kUnitAt, 2).trimmed();
    if (!unit.isEmpty() && !unitCodes().contains(unit))
        return std::nullopt;
    const QString text = s.mid(kTextAt).trimmed();
    if (amount.trimmed().isEmpty() && unit.isEmpty() && text.isEmpty())
        return std::nullopt;
    Parsed p;
    p.ingredient = {amount.trimmed(), unit, text};
    p.continuation =
        amount.trimmed().isEmpty() && unit.isEmpty() && text.startsWith(QLatin1Char('-'));
    return p;
}

QString ingredientLine(const MmIngredient& i) {
    QStringList parts;
    for (const QString& p : {i.amount, i.unit, i.text})
        if (!p.isEmpty())
            parts << p;
    return parts.join(QLatin1Char(' '));
}

// The ingredients of one block between headings: left column, then right column.
struct Block {
    QString heading;
    QList<MmIngredient> left;
    QList<MmIngredient> right;
};

void append(QList<MmIngredient>& list, const Parsed& p) {
    if (p.continuation && !list.isEmpty()) {
        list.last().text += QLatin1Char(' ') + p.ingredient.text.mid(1).trimmed();
        return;
    }
    list << p.ingredient;
}

struct Entry {
    int line = 0;
    QStringList lines;
    bool ended = false;
    int endedBy = 0; // the line of the header that cut it short
};

void readEntry(const Entry& e, ReadResult& result) {
    const QString position = QStringLiteral("line %1").arg(e.line);
    QString title;
    QStringList categories;
    QString yield;
    int i = 1; // past the header line
    bool sawField = false;
    for (; i < e.lines.size(); ++i) {
        const QString t = e.lines[i].trimmed();
        if (t.isEmpty()) {
            if (sawField) {
                // The fields end at the first empty line after them.
                ++i;
                break;
            }
            continue;
        }
        const auto field = [&t](const char* key) -> std::optional<QString> {
            const QLatin1String k(key);
            if (t.startsWith(k, Qt::CaseInsensitive))
                return t.mid(k.size()).trimmed();
            return std::nullopt;
        };
        if (auto v = field("Title:")) {
            title = *v;
        } else if (auto c = field("Categories:")) {
            for (const QString& part : c->split(QLatin1Char(','), Qt::SkipEmptyParts))
                if (!part.trimmed().isEmpty() && part.trimmed() != QLatin1String("None"))
                    categories << part.trimmed();
        } else if (auto y = field("Yield:")) {
            yield = *y;
        } else if (auto s = field("Servings:")) {
            yield = *s;
        } else {
            break; // no more fields: the ingredients begin
        }
        sawField = true;
    }
    if (title.isEmpty()) {
        result.problems << SourceProblem{position, QStringLiteral("the recipe has no title "
                                                                  "line, so it was not read")};
        return;
    }

    // Ingredients until the first line that fits neither column nor a heading.
    QList<Block> blocks(1);
    for (; i < e.lines.size(); ++i) {
        const QString& line = e.lines[i];
        if (line.trimmed().isEmpty())
            continue;
        if (const auto heading = sectionHeading(line)) {
            blocks << Block{*heading, {}, {}};
            continue;
        }
        const auto left = parseIngredient(line.left(kRightAt));
        if (!left)
            break;
        const QString rest = line.mid(kRightAt);
        std::optional<Parsed> right;
        if (!rest.trimmed().isEmpty() && line.mid(kTextAt + kLeftTextWidth, 2).trimmed().isEmpty())
            right = parseIngredient(rest);
        // A right-hand ingredient without amount and unit starts its text exactly in its
        // column; anything else there is the end of a long left-hand line.
        if (right && right->ingredient.amount.isEmpty() && right->ingredient.unit.isEmpty() &&
            (rest.size() <= kTextAt || rest[kTextAt] == QLatin1Char(' ')))
            right.reset();
        if (!rest.trimmed().isEmpty() && !right) {
            // One long ingredient in the one-column layout.
            Parsed whole = *left;
            whole.ingredient.text = line.mid(kTextAt).trimmed();
            whole.continuation = whole.ingredient.amount.isEmpty() &&
                                 whole.ingredient.unit.isEmpty() &&
                                 whole.ingredient.text.startsWith(QLatin1Char('-'));
            append(blocks.last().left, whole);
            continue;
        }
        if (!left->ingredient.text.isEmpty() || !left->ingredient.amount.isEmpty() ||
            !left->ingredient.unit.isEmpty())
            append(blocks.last().left, *left);
        if (right)
            append(blocks.last().right, *right);
    }
    QStringList ingredients;
    for (const Block& b : blocks) {
        if (!b.heading.isEmpty())
            ingredients << b.heading + QLatin1Char(':');
        for (const MmIngredient& ing : b.left)
            ingredients << ingredientLine(ing);
        for (const MmIngredient& ing : b.right)
            ingredients << ingredientLine(ing);
    }

    QStringList directions;
    for (; i < e.lines.size(); ++i) {
        const QString line = e.lines[i].trimmed();
        if (line.isEmpty() && (directions.isEmpty() || directions.last().isEmpty()))
            continue;
        directions << line;
    }
    while (!directions.isEmpty() && directions.last().isEmpty())
        directions.removeLast();

    RecipeRecord r;
    r.position = position;
    r.name = title;
    r.category = categories.value(0);
    r.ingredients = ingredients.join(QLatin1Char('\n'));
    QString instructions = directions.join(QLatin1Char('\n'));
    QStringList extras;
    if (!yield.isEmpty())
        extras << QStringLiteral("Yield:\n") + yield;
    if (categories.size() > 1)
        extras << QStringLiteral("Categories:\n") + categories.join(QStringLiteral(", "));
    for (const QString& x : extras)
        instructions = instructions.isEmpty() ? x : instructions + QStringLiteral("\n\n") + x;
    r.instructions = instructions;
    if (!e.ended)
        r.notes << (e.endedBy ? QStringLiteral("its end line is missing (the next recipe begins "
                                               "at line %1), so it may be incomplete")
                                    .arg(e.endedBy)
                              : QStringLiteral("the file ends before its end line, so it may be "
                                               "incomplete"));
    result.recipes << r;
}

QString formatIngredient(const MmIngredient& i, int width) {
    QString line = i.amount.rightJustified(kAmountWidth, QLatin1Char(' ')) + QLatin1Char(' ') +
                   i.unit.leftJustified(2, QLatin1Char(' ')) + QLatin1Char(' ') + i.text;
    return width > 0 ? line.leftJustified(width, QLatin1Char(' ')) : line;
}

} // namespace

bool looksLikeMealMaster(const QByteArray& bytes) {
    const QString head = QString::fromLatin1(bytes.left(4096));
    for (const QString& line : head.split(QLatin1Char('\n')))
        if (isHeader(line))
            return true;
    return false;
}

ReadResult readMealMaster(const QByteArray& bytes) {
    ReadResult result;
    const CodePage page = detectCodePage(bytes);
    result.format = QStringLiteral("MealMaster, ") + codePageName(page);
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = decode(bytes, page).split(breaks);

    QList<Entry> entries;
    std::optional<Entry> current;
    for (int n = 0; n < lines.size(); ++n) {
        const QString& line = lines[n];
        if (isHeader(line)) {
            if (current) {
                current->endedBy = n + 1;
                entries << *current;
            }
            current = Entry{n + 1, {line}, false, 0};
            continue;
        }
        if (!current)
            continue; // text between recipes
        if (isEnd(line)) {
            current->ended = true;
            entries << *current;
            current.reset();
            continue;
        }
        current->lines << line;
    }
    if (current)
        entries << *current;

    for (const Entry& e : entries)
        readEntry(e, result);
    if (entries.isEmpty())
        result.problems << SourceProblem{QStringLiteral("the file"),
                                         QStringLiteral("no MealMaster recipe was found in it")};
    return result;
}

QByteArray writeMealMaster(const QList<MmRecipe>& recipes, CodePage page, bool twoColumns) {
    QStringList out;
    for (const MmRecipe& r : recipes) {
        out << QStringLiteral("MMMMM----- Recipe via Meal-Master (tm) v8.05") << QString();
        out << QStringLiteral("      Title: ") + r.title;
        out << QStringLiteral(" Categories: ") + r.categories.join(QStringLiteral(", "));
        out << QStringLiteral("      Yield: ") + r.yield << QString();
        if (twoColumns) {
            const qsizetype half = (r.ingredients.size() + 1) / 2;
            for (qsizetype i = 0; i < half; ++i) {
                QString line = formatIngredient(r.ingredients[i], kRightAt);
                if (i + half < r.ingredients.size())
                    line += formatIngredient(r.ingredients[i + half], 0);
                out << line;
            }
        } else {
            for (const MmIngredient& i : r.ingredients)
                out << formatIngredient(i, 0);
        }
        out << QString();
        for (const QString& d : r.directions)
            out << (d.isEmpty() ? QString() : QStringLiteral("  ") + d);
        out << QString() << QStringLiteral("MMMMM") << QString();
    }
    QString text;
    for (const QString& line : out) {
        QString l = line;
        while (l.endsWith(QLatin1Char(' ')))
            l.chop(1);
        text += l + QStringLiteral("\r\n");
    }
    return encode(text, page);
}

} // namespace kb::exchange
