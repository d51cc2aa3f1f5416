#include "exchange/recipe.h"

#include "core/app.h"

#include <QRegularExpression>

namespace kb::exchange {

namespace {

const QRegularExpression& lineBreaks() {
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n|\u2028|\u2029"));
    return breaks;
}

// The blocks in the order they are written; a block's place in this list is also how
// `takeFrom` tells our own blocks from text that merely looks like one.
enum Heading {
    Description,
    Yield,
    PrepTime,
    CookTime,
    TotalTime,
    Nutrition,
    Cuisine,
    Categories,
    Keywords,
    Source,
    Photo,
    Notes,
    HeadingCount
};

const char* const kHeadings[HeadingCount] = {
    "Description:", "Yield:",   "Preparation time:", "Cooking time:", "Total time:",
    "Nutrition:",   "Cuisine:", "Categories:",       "Keywords:",     "Source:",
    "Photo:",       "Notes:"};

QString joined(const QStringList& list) {
    return list.join(QStringLiteral(", "));
}

QStringList splitList(const QString& text) {
    QStringList out;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!part.trimmed().isEmpty())
            out << part.trimmed();
    return out;
}

} // namespace

bool RecipeDetails::isEmpty() const {
    return text().isEmpty() && photo.isEmpty();
}

QString RecipeDetails::text() const {
    const QString values[HeadingCount] = {
        description, yield, prepTime, cookTime, totalTime, nutrition, cuisine,
        // The first category is the recipe's own; the block is there for the others.
        categories.size() > 1 ? joined(categories) : QString(), joined(keywords), source, image,
        notes};
    QStringList blocks;
    for (int h = 0; h < HeadingCount; ++h) {
        const QString v = values[h].trimmed();
        if (!v.isEmpty())
            blocks << QLatin1String(kHeadings[h]) + QLatin1Char('\n') + v;
    }
    return blocks.join(QStringLiteral("\n\n"));
}

RecipeDetails RecipeDetails::takeFrom(QString& instructions) {
    RecipeDetails d;
    QStringList lines = instructions.split(lineBreaks());
    // From the end: blocks separated by empty lines, each under one of the headings, in the
    // order `text()` writes them.
    int limit = HeadingCount;
    qsizetype end = lines.size();
    while (end > 0 && lines[end - 1].trimmed().isEmpty())
        --end;
    qsizetype keep = end;
    while (end > 0) {
        qsizetype start = end;
        while (start > 0 && !lines[start - 1].trimmed().isEmpty())
            --start;
        const QString heading = lines[start].trimmed();
        int h = 0;
        while (h < limit && heading != QLatin1String(kHeadings[h]))
            ++h;
        if (h == limit || end - start < 2)
            break;
        const QString value = lines.mid(start + 1, end - start - 1).join(QLatin1Char('\n'));
        switch (h) {
        case Description:
            d.description = value;
            break;
        case Yield:
            d.yield = value;
            break;
        case PrepTime:
            d.prepTime = value;
            break;
        case CookTime:
            d.cookTime = value;
            break;
        case TotalTime:
            d.totalTime = value;
            break;
        case Nutrition:
            d.nutrition = value;
            break;
        case Cuisine:
            d.cuisine = value;
            break;
        case Categories:
            d.categories = splitList(value);
            break;
        case Keywords:
            d.keywords = splitList(value);
            break;
        case Source:
            d.source = value;
            break;
        case Photo:
            d.image = value;
            break;
        default:
            d.notes = value;
            break;
        }
        limit = h;
        keep = start;
        end = start;
        while (end > 0 && lines[end - 1].trimmed().isEmpty())
            --end;
        if (end == 0)
            keep = 0;
    }
    if (keep < lines.size()) {
        lines = lines.mid(0, keep);
        while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
            lines.removeLast();
        instructions = lines.join(QLatin1Char('\n'));
    }
    return d;
}

RecipeRecord RecipeRecord::fromStored(const QString& category, const StoredValues& values) {
    RecipeRecord r;
    r.category = category;
    r.name = trimSpaces(values[0].value_or(QString()));
    r.author = trimSpaces(values[1].value_or(QString()));
    r.ingredients = trimSpaces(values[2].value_or(QString()));
    r.instructions = trimSpaces(values[3].value_or(QString()));
    r.stored = values;
    return r;
}

QString RecipeRecord::fullInstructions() const {
    const QString blocks = details.text();
    if (blocks.isEmpty())
        return instructions;
    return trimSpaces(instructions).isEmpty() ? blocks
                                              : instructions + QStringLiteral("\n\n") + blocks;
}

QString withoutControls(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n' || u == u'\r' || u == u'\t')
            out += c;
        else if (u < 0x20 || (u >= 0x7F && u < 0xA0) || u == 0xFEFF || u == 0xFFFE || u == 0xFFFF)
            continue;
        else
            out += c;
    }
    return out;
}

QStringList paragraphsOf(const QString& text) {
    static const QRegularExpression numbered(
        QStringLiteral("^\\s*(?:\\d{1,3}[.)]|step\\s+\\d{1,3}\\b)"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList out;
    QString current;
    const auto flush = [&] {
        if (!current.isEmpty())
            out << current;
        current.clear();
    };
    for (const QString& line : text.split(lineBreaks())) {
        const QString t = line.trimmed();
        if (t.isEmpty()) {
            flush();
            continue;
        }
        if (numbered.match(t).hasMatch())
            flush();
        current = current.isEmpty() ? t : current + QLatin1Char(' ') + t;
    }
    flush();
    return out;
}

} // namespace kb::exchange
