#include "exchange/recipe.h"

#include "core/app.h"
#include "core/store_error.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

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
    return text().isEmpty() && photo.isEmpty() && photos.isEmpty() && !servings && !rating &&
           !exact;
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

std::optional<double> servingsIn(const QString& yield) {
    static const QRegularExpression number(QStringLiteral("(\\d+(?:[.,]\\d+)?)"));
    const auto m = number.match(yield);
    if (!m.hasMatch())
        return std::nullopt;
    const double n = m.captured(1).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
    if (!std::isfinite(n) || n <= 0 || n > 10000)
        return std::nullopt;
    return n;
}

Details takeDetails(RecipeDetails& d, QStringList& notes) {
    // A file from elsewhere may name any number of tags: the first ones are kept.
    constexpr qsizetype kMaxTags = 100;
    Details out;
    if (d.exact) {
        out = *d.exact;
        d.exact.reset();
    } else {
        out.servings = d.servings ? d.servings : servingsIn(d.yield);
        out.yield = d.yield.trimmed();
        d.yield.clear();
        // A time in words that can't be read as minutes stays text rather than be lost.
        const auto minutes = [](QString& text) {
            const std::optional<int> m = minutesFrom(text);
            if (!m)
                return 0;
            text.clear();
            return *m;
        };
        out.prepMinutes = minutes(d.prepTime);
        out.cookMinutes = minutes(d.cookTime);
        out.totalMinutes = minutes(d.totalTime);
        out.source = d.source.trimmed();
        d.source.clear();
        // The first category is the recipe's own; the others and the keywords are its tags.
        out.tags = tagsFrom((d.categories.mid(1) + d.keywords).join(QLatin1Char(',')));
        if (out.tags.size() > kMaxTags) {
            notes << QStringLiteral("only its first %1 tags were kept").arg(kMaxTags);
            out.tags = out.tags.mid(0, kMaxTags);
        }
        d.categories = d.categories.mid(0, 1);
        d.keywords.clear();
        if (d.rating)
            out.rating = std::clamp(static_cast<int>(std::lround(*d.rating)), 0, kMaxRating);
        d.rating.reset();
        out.notes = d.notes.trimmed();
        d.notes.clear();
        d.servings.reset();
    }
    QList<QByteArray> images = d.photos;
    if (!d.photo.isEmpty())
        images.prepend(d.photo);
    d.photo.clear();
    d.photos.clear();
    for (const QByteArray& bytes : images) {
        if (out.photos.size() >= kMaxPhotos) {
            notes << QStringLiteral("only its first %1 photos were kept").arg(kMaxPhotos);
            break;
        }
        try {
            out.photos << photoFromBytes(bytes);
        } catch (const StoreError& e) {
            notes << QStringLiteral("a photo was left out: ") + e.message();
        }
    }
    // A photo kept makes its file name or address a mere reminder of it.
    if (!out.photos.isEmpty())
        d.image.clear();
    return out;
}

RecipeDetails fromDetails(const Details& d) {
    RecipeDetails out;
    out.servings = d.servings;
    out.yield = d.yield;
    out.prepTime = minutesText(d.prepMinutes);
    out.cookTime = minutesText(d.cookMinutes);
    out.totalTime = minutesText(d.totalMinutes);
    out.source = d.source;
    out.keywords = d.tags;
    if (d.rating > 0)
        out.rating = d.rating;
    out.notes = d.notes;
    for (const kb::Photo& p : d.photos)
        out.photos << p.data;
    return out;
}

RecipeRecord RecipeRecord::fromStored(const StoredRecipe& recipe) {
    RecipeRecord r;
    r.category = recipe.place.category;
    r.name = recipe.name();
    r.author = recipe.author();
    r.ingredients = recipe.ingredients();
    r.instructions = recipe.instructions();
    r.stored = recipe.fields;
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
        const bool lineBreakOrTab = u == u'\n' || u == u'\r' || u == u'\t';
        const bool control =
            u < 0x20 || (u >= 0x7F && u < 0xA0) || u == 0xFEFF || u == 0xFFFE || u == 0xFFFF;
        if (lineBreakOrTab || !control)
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
