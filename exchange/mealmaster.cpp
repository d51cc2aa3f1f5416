#include "exchange/mealmaster.h"

#include "core/app.h"

#include <QRegularExpression>

namespace kb::exchange {

namespace {

// The column layout of an ingredient: amount in columns 0 to 6, unit in 8 and 9, text from
// column 11; the right-hand column of the two-column layout starts at column 41.
constexpr int kAmountWidth = 7;
constexpr int kUnitAt = 8;
constexpr int kTextAt = 11;
constexpr int kRightAt = 41;
constexpr int kLeftTextWidth = 28;
constexpr int kLineWidth = 79;

// A unit code: the standard list is short, but writers use codes of their own ("st", "sk",
// "cv"), so any one or two letters are taken.
bool isUnitCode(const QString& unit) {
    if (unit.isEmpty() || unit.size() > 2)
        return false;
    for (const QChar c : unit)
        if (!c.isLetter())
            return false;
    return true;
}

// Characters an amount is written with: digits, fractions in ASCII and unicode ("1 1/2",
// "1½", "1-2", "0,5").
bool isAmountChar(QChar c) {
    const char16_t u = c.unicode();
    return c.isDigit() || u == u' ' || u == u'/' || u == u'.' || u == u',' || u == u'-' ||
           u == 0x2044 || u == 0x2013 || (u >= 0xBC && u <= 0xBE) || (u >= 0x2150 && u <= 0x215E);
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
        if (!isAmountChar(c))
            return std::nullopt;
    if (s[kAmountWidth] != QLatin1Char(' ') || s[kTextAt - 1] != QLatin1Char(' '))
        return std::nullopt;
    const QString unit = s.mid(kUnitAt, 2).trimmed();
    if (!unit.isEmpty() && !isUnitCode(unit))
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

// The header fields a recipe may carry; they are taken wherever they stand before the
// directions, so that an unusual one does not end the ingredients.
struct Fields {
    QString title;
    QString author;
    RecipeDetails details;

    bool take(const QString& line) {
        const QString t = line.trimmed();
        const auto field = [&t](const char* key) -> std::optional<QString> {
            const QLatin1String k(key);
            if (t.startsWith(k, Qt::CaseInsensitive))
                return t.mid(k.size()).trimmed();
            return std::nullopt;
        };
        const auto list = [](const QString& text, QStringList& into) {
            for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
                if (!part.trimmed().isEmpty() && part.trimmed() != QLatin1String("None") &&
                    !into.contains(part.trimmed()))
                    into << part.trimmed();
        };
        if (auto v = field("Title:"))
            title = *v;
        else if (auto c = field("Categories:"))
            list(*c, details.categories);
        else if (auto k = field("Tags:"))
            list(*k, details.keywords);
        else if (auto k2 = field("Keywords:"))
            list(*k2, details.keywords);
        else if (auto y = field("Yield:"))
            details.yield = *y;
        else if (auto sv = field("Servings:"))
            details.yield = *sv;
        else if (auto f = field("From:"))
            author = *f;
        else if (auto c2 = field("Contributor:"))
            author = *c2;
        else if (auto a = field("Author:"))
            author = *a;
        else if (auto src = field("Source:"))
            details.source = *src;
        else
            return false;
        return true;
    }
};

// Directions as paragraphs: wrapped lines are joined by a space; an empty line starts a new
// paragraph, kept apart by an empty line, and a numbered step starts one on the next line.
QString directionsText(const QStringList& lines) {
    static const QRegularExpression numbered(
        QStringLiteral("^(?:\\d{1,3}[.)]|step\\s+\\d{1,3}\\b)"),
        QRegularExpression::CaseInsensitiveOption);
    QString text;
    bool inParagraph = false;
    bool blankBefore = false;
    for (const QString& line : lines) {
        const QString t = line.trimmed();
        if (t.isEmpty()) {
            blankBefore = blankBefore || inParagraph;
            inParagraph = false;
            continue;
        }
        if (inParagraph && !numbered.match(t).hasMatch()) {
            text += QLatin1Char(' ') + t;
            continue;
        }
        if (!text.isEmpty())
            text += blankBefore ? QStringLiteral("\n\n") : QStringLiteral("\n");
        text += t;
        inParagraph = true;
        blankBefore = false;
    }
    return text;
}

void readEntry(const Entry& e, ReadResult& result) {
    const QString position = QStringLiteral("line %1").arg(e.line);
    Fields fields;
    int i = 1; // past the header line
    for (; i < e.lines.size(); ++i) {
        if (e.lines[i].trimmed().isEmpty())
            continue;
        if (!fields.take(e.lines[i]))
            break; // no more fields: the ingredients begin
    }
    if (fields.title.isEmpty()) {
        result.problems << SourceProblem{position, QStringLiteral("the recipe has no title "
                                                                  "line, so it was not read")};
        return;
    }

    // Ingredients until the first line that fits neither column, a heading nor a field.
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
        if (!left) {
            if (fields.take(line))
                continue;
            break;
        }
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

    QStringList directions = e.lines.mid(i);
    while (!directions.isEmpty() && directions.last().trimmed().isEmpty())
        directions.removeLast();
    // Our own export names the author on the directions' last line.
    if (fields.author.isEmpty() && !directions.isEmpty()) {
        static const QRegularExpression from(QStringLiteral("^\\s*(?:From|Contributor):\\s*(.+)$"));
        const auto m = from.match(directions.last());
        if (m.hasMatch()) {
            fields.author = m.captured(1).trimmed();
            directions.removeLast();
        }
    }

    RecipeRecord r;
    r.position = position;
    r.name = fields.title;
    r.author = fields.author;
    r.category = fields.details.categories.value(0);
    r.ingredients = ingredients.join(QLatin1Char('\n'));
    r.instructions = directionsText(directions);
    r.details = fields.details;
    if (!e.ended)
        r.notes << (e.endedBy ? QStringLiteral("its end line is missing (the next recipe begins "
                                               "at line %1), so it may be incomplete")
                                    .arg(e.endedBy)
                              : QStringLiteral("the file ends before its end line, so it may be "
                                               "incomplete"));
    result.recipes << r;
}

// Long ingredient text goes on continuation lines ("-more text"), so that no line is wider
// than a MealMaster screen.
QStringList ingredientLines(const MmIngredient& i, int textWidth) {
    QStringList out;
    QString text = i.text;
    QString first = text;
    QStringList rest;
    if (text.size() > textWidth) {
        const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QString line;
        for (const QString& w : words) {
            const int room = rest.isEmpty() && first == text ? textWidth : textWidth - 1;
            if (!line.isEmpty() && line.size() + 1 + w.size() > room) {
                if (first == text)
                    first = line;
                else
                    rest << line;
                line.clear();
            }
            line = line.isEmpty() ? w : line + QLatin1Char(' ') + w;
        }
        if (first == text)
            first = line;
        else
            rest << line;
    }
    out << i.amount.rightJustified(kAmountWidth, QLatin1Char(' ')) + QLatin1Char(' ') +
               i.unit.leftJustified(2, QLatin1Char(' ')) + QLatin1Char(' ') + first;
    for (const QString& r : rest)
        out << QString(kTextAt, QLatin1Char(' ')) + QLatin1Char('-') + r;
    return out;
}

QString sectionLine(const QString& heading) {
    const QString middle = QStringLiteral("-----") + heading.toUpper() + QStringLiteral("-----");
    return QStringLiteral("MMMMM") + middle;
}

// Directions wrapped to fit the screen, each line indented by two spaces.
QStringList wrapped(const QString& line, int width) {
    QStringList out;
    QString current;
    for (const QString& w : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!current.isEmpty() && current.size() + 1 + w.size() > width) {
            out << current;
            current.clear();
        }
        current = current.isEmpty() ? w : current + QLatin1Char(' ') + w;
    }
    if (!current.isEmpty())
        out << current;
    return out;
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
        // The ingredients between two headings side by side, or one under the other.
        qsizetype from = 0;
        while (from <= r.ingredients.size()) {
            qsizetype to = from;
            while (to < r.ingredients.size() && !r.ingredients[to].heading)
                ++to;
            const QList<MmIngredient> group = r.ingredients.mid(from, to - from);
            if (twoColumns) {
                const qsizetype half = (group.size() + 1) / 2;
                for (qsizetype i = 0; i < half; ++i) {
                    QStringList left = ingredientLines(group[i], kLeftTextWidth);
                    QStringList right;
                    if (i + half < group.size())
                        right = ingredientLines(group[i + half], kLeftTextWidth);
                    for (qsizetype l = 0; l < std::max(left.size(), right.size()); ++l)
                        out << left.value(l).leftJustified(kRightAt, QLatin1Char(' ')) +
                                   right.value(l);
                }
            } else {
                for (const MmIngredient& i : group)
                    out << ingredientLines(i, kLineWidth - kTextAt);
            }
            if (to < r.ingredients.size())
                out << sectionLine(r.ingredients[to].text);
            from = to + 1;
        }
        out << QString();
        for (const QString& d : r.directions) {
            if (d.isEmpty())
                out << QString();
            for (const QString& w : wrapped(d, kLineWidth - 2))
                out << QStringLiteral("  ") + w;
        }
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

MmRecipe toMealMaster(const RecipeRecord& record) {
    static const QRegularExpression split(
        QStringLiteral("^([0-9\u00BC-\u00BE\u2150-\u215E/.,\\- ]*[0-9\u00BC-\u00BE\u2150-\u215E])"
                       "(?:\\s+([A-Za-z]{1,2}))?\\s+(\\S.*)$"));
    MmRecipe m;
    QString instructions = trimSpaces(record.instructions);
    RecipeDetails details = RecipeDetails::takeFrom(instructions);
    m.title = trimSpaces(record.name);
    if (!record.category.isEmpty())
        m.categories << record.category;
    for (const QString& c : details.categories)
        if (!m.categories.contains(c))
            m.categories << c;
    details.categories.clear();
    m.yield = details.yield;
    details.yield.clear();
    for (const QString& raw : trimSpaces(record.ingredients).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        MmIngredient i;
        const auto match = split.match(line);
        if (match.hasMatch() && match.captured(1).trimmed().size() <= kAmountWidth) {
            i.amount = match.captured(1).trimmed();
            i.unit = match.captured(2);
            i.text = match.captured(3);
        } else if (line.endsWith(QLatin1Char(':')) && line.size() < 60) {
            i.heading = true;
            i.text = line.chopped(1).trimmed();
        } else {
            i.text = line;
        }
        m.ingredients << i;
    }
    // Paragraphs apart by an empty line; the lines of one paragraph each wrapped.
    const auto addText = [&m](const QString& text) {
        for (const QString& raw : text.split(QLatin1Char('\n'))) {
            const QString line = raw.trimmed();
            if (line.isEmpty() && (m.directions.isEmpty() || m.directions.last().isEmpty()))
                continue;
            m.directions << line;
        }
    };
    addText(instructions);
    const QString rest = details.text();
    if (!rest.isEmpty()) {
        m.directions << QString();
        addText(rest);
    }
    if (!trimSpaces(record.author).isEmpty()) {
        m.directions << QString()
                     << QStringLiteral("From: ") + trimSpaces(record.author).simplified();
    }
    while (!m.directions.isEmpty() && m.directions.last().isEmpty())
        m.directions.removeLast();
    return m;
}

QByteArray writeMealMaster(const QList<RecipeRecord>& recipes) {
    QList<MmRecipe> list;
    QString all;
    for (const RecipeRecord& r : recipes) {
        list << toMealMaster(r);
        all += r.name + r.author + r.ingredients + r.instructions + r.category;
    }
    // The old code page peers expect, unless something in the recipes needs UTF-8.
    const CodePage page = decode(encode(all, CodePage::Windows1252), CodePage::Windows1252) == all
                              ? CodePage::Windows1252
                              : CodePage::Utf8;
    return writeMealMaster(list, page, false);
}

} // namespace kb::exchange
