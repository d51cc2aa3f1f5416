// The text formats of other recipe programs: MasterCook's .mxp, RezKonv and Cooklang.

#include "exchange/codepages.h"
#include "exchange/otherformats.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace kb::exchange {

namespace {

QStringList linesOf(const QByteArray& bytes) {
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    return decode(bytes, detectCodePage(bytes)).split(breaks);
}

// Lines as paragraphs: runs of empty lines made one, none at either end.
QString paragraphs(const QStringList& lines) {
    QStringList out;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() && (out.isEmpty() || out.last().isEmpty()))
            continue;
        out << line;
    }
    while (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out.join(QLatin1Char('\n'));
}

void keep(ReadResult& result, RecipeRecord r) {
    if (r.category.isEmpty())
        r.category = r.details.categories.value(0);
    if (r.name.trimmed().isEmpty()) {
        result.problems << SourceProblem{r.position,
                                         QStringLiteral("the recipe has no title, so it was not "
                                                        "read")};
        return;
    }
    result.recipes << r;
}

QStringList listOf(const QString& text, const QRegularExpression& separator) {
    QStringList out;
    for (const QString& part : text.split(separator, Qt::SkipEmptyParts))
        if (!part.trimmed().isEmpty())
            out << part.trimmed();
    return out;
}

// ---------------------------------------------------------------------------------------------
// MasterCook text export

void masterCookEntry(const QStringList& lines, int firstLine, ReadResult& result) {
    static const QRegularExpression field(
        QStringLiteral("^\\s*(Recipe By|Serving Size|Preparation Time|Categories)\\s*:\\s*(.*)$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression prepInLine(QStringLiteral("Preparation Time\\s*:\\s*(\\S.*)$"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression twoSpaces(QStringLiteral("\\s{2,}"));
    static const QRegularExpression dashes(QStringLiteral("^\\s*(?:-\\s){5,}-?\\s*$"));
    static const QRegularExpression tableRule(QStringLiteral("^-{3,}\\s+-{3,}\\s+-{3,}"));
    RecipeRecord r;
    r.position = QStringLiteral("line %1").arg(firstLine);
    qsizetype i = 0;
    while (i < lines.size() && lines[i].trimmed().isEmpty())
        ++i;
    if (i < lines.size())
        r.name = lines[i++].trimmed();
    // The fields, up to the ingredient table's rule.
    bool inCategories = false;
    for (; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (tableRule.match(line).hasMatch())
            break;
        const auto m = field.match(line);
        if (m.hasMatch()) {
            const QString key = m.captured(1).toLower();
            QString value = m.captured(2).trimmed();
            inCategories = key == QLatin1String("categories");
            if (key == QLatin1String("recipe by")) {
                r.author = value;
            } else if (key == QLatin1String("serving size")) {
                const auto p = prepInLine.match(value);
                if (p.hasMatch()) {
                    r.details.prepTime = p.captured(1).trimmed();
                    value = value.left(p.capturedStart()).trimmed();
                }
                if (!value.isEmpty() && value != QLatin1String("0"))
                    r.details.yield = value + QStringLiteral(" servings");
            } else if (key == QLatin1String("preparation time")) {
                r.details.prepTime = value;
            } else {
                r.details.categories << listOf(value, twoSpaces);
            }
            continue;
        }
        if (line.trimmed().isEmpty()) {
            inCategories = false;
            continue;
        }
        if (inCategories)
            r.details.categories << listOf(line, twoSpaces);
    }
    // The ingredients, in the columns the table's rule marks.
    QList<qsizetype> columns;
    if (i < lines.size()) {
        const QString& rule = lines[i];
        for (qsizetype c = 0; c < rule.size(); ++c)
            if (rule[c] == QLatin1Char('-') && (c == 0 || rule[c - 1] == QLatin1Char(' ')))
                columns << c;
        ++i;
    }
    QStringList ingredients;
    for (; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.trimmed().isEmpty())
            break;
        QString text;
        if (columns.size() >= 3 && line.size() > columns[2]) {
            const QString amount = line.left(columns[1]).trimmed();
            const QString measure = line.mid(columns[1], columns[2] - columns[1]).trimmed();
            text =
                QStringList{amount, measure, line.mid(columns[2]).trimmed()}.join(QLatin1Char(' '));
            text = text.simplified();
        } else {
            text = line.simplified();
        }
        if (!text.isEmpty())
            ingredients << text;
    }
    r.ingredients = ingredients.join(QLatin1Char('\n'));
    // The directions, up to the row of dashes; after it, notes.
    QStringList directions;
    QStringList after;
    bool past = false;
    for (; i < lines.size(); ++i) {
        if (!past && dashes.match(lines[i]).hasMatch()) {
            past = true;
            continue;
        }
        (past ? after : directions) << lines[i];
    }
    r.instructions = paragraphs(directions);
    static const QRegularExpression yieldLine(
        QStringLiteral("^\\s*Yield\\s*:\\s*\"?([^\"]*)\"?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList notes;
    for (const QString& line : after) {
        const auto y = yieldLine.match(line);
        if (y.hasMatch())
            r.details.yield = y.captured(1).trimmed();
        else
            notes << line;
    }
    r.details.notes = paragraphs(notes);
    if (!past)
        r.notes << QStringLiteral("the file ends before the recipe's closing line, so it may be "
                                  "incomplete");
    keep(result, r);
}

// ---------------------------------------------------------------------------------------------
// RezKonv

bool isRezKonvStart(const QString& line) {
    return line.startsWith(QLatin1String("=====")) &&
           line.contains(QLatin1String("REZKONV"), Qt::CaseInsensitive);
}

void rezKonvEntry(const QStringList& lines, int firstLine, bool ended, ReadResult& result) {
    static const QRegularExpression section(QStringLiteral("^={5,}\\s*(.*?)\\s*={5,}\\s*$"));
    RecipeRecord r;
    r.position = QStringLiteral("line %1").arg(firstLine);
    qsizetype i = 0;
    const auto field = [](const QString& t, const char* key) -> std::optional<QString> {
        const QLatin1String k(key);
        if (t.startsWith(k, Qt::CaseInsensitive))
            return t.mid(k.size()).trimmed();
        return std::nullopt;
    };
    static const QRegularExpression comma(QStringLiteral(","));
    for (; i < lines.size(); ++i) {
        const QString t = lines[i].trimmed();
        if (t.isEmpty())
            continue;
        if (auto v = field(t, "Titel:"))
            r.name = *v;
        else if (auto c = field(t, "Kategorien:"))
            r.details.categories << listOf(*c, comma);
        else if (auto m = field(t, "Menge:"))
            r.details.yield = *m;
        else if (auto q = field(t, "Quelle:"))
            r.details.source = *q;
        else
            break;
    }
    // Ingredients: from the first line after the fields to the first empty line after them;
    // "-..." lines continue the one before.
    QStringList ingredients;
    for (; i < lines.size(); ++i) {
        const QString t = lines[i].trimmed();
        if (t.isEmpty()) {
            if (ingredients.isEmpty())
                continue;
            break;
        }
        const auto s = section.match(t);
        if (s.hasMatch()) {
            if (!s.captured(1).isEmpty())
                ingredients << s.captured(1) + QLatin1Char(':');
            continue;
        }
        if (t.startsWith(QLatin1Char('-')) && !ingredients.isEmpty() &&
            lines[i].indexOf(QLatin1Char('-')) > 8) {
            QString rest = t;
            while (rest.startsWith(QLatin1Char('-')))
                rest.remove(0, 1);
            ingredients.last() += QLatin1Char(' ') + rest.trimmed();
            continue;
        }
        ingredients << t.simplified();
    }
    r.ingredients = ingredients.join(QLatin1Char('\n'));
    // Wrapped lines joined, as in MealMaster.
    r.instructions =
        paragraphsOf(lines.mid(i).join(QLatin1Char('\n'))).join(QStringLiteral("\n\n"));
    if (!ended)
        r.notes << QStringLiteral("the file ends before its end line, so it may be incomplete");
    keep(result, r);
}

// ---------------------------------------------------------------------------------------------
// Cooklang

struct CookStep {
    QString text;
    QStringList ingredients;
};

// "3%cups" as "3 cups".
QString quantity(const QString& braces) {
    const qsizetype percent = braces.indexOf(QLatin1Char('%'));
    if (percent < 0)
        return braces.trimmed();
    const QString both =
        braces.left(percent).trimmed() + QLatin1Char(' ') + braces.mid(percent + 1).trimmed();
    return both.trimmed();
}

// One step's text with its marks read: @ingredients, #cookware and ~timers.
CookStep cookStep(const QString& line) {
    CookStep step;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n) {
        const QChar c = line[i];
        if ((c == QLatin1Char('@') || c == QLatin1Char('#') || c == QLatin1Char('~')) &&
            i + 1 < n && !line[i + 1].isSpace()) {
            // A multi-word name ends with braces; a one-word name at the first non-word
            // character.
            qsizetype brace = -1;
            for (qsizetype j = i + 1; j < n; ++j) {
                const QChar d = line[j];
                if (d == QLatin1Char('{')) {
                    brace = j;
                    break;
                }
                if (d == QLatin1Char('@') || d == QLatin1Char('#') || d == QLatin1Char('~') ||
                    d == QLatin1Char('}'))
                    break;
            }
            QString name;
            QString amount;
            qsizetype end = i + 1;
            const qsizetype close = brace >= 0 ? line.indexOf(QLatin1Char('}'), brace) : -1;
            if (brace >= 0 && close >= 0) {
                name = line.mid(i + 1, brace - i - 1).trimmed();
                amount = quantity(line.mid(brace + 1, close - brace - 1));
                end = close + 1;
            } else {
                while (end < n && (line[end].isLetterOrNumber() || line[end] == QLatin1Char('_') ||
                                   line[end] == QLatin1Char('-')))
                    ++end;
                name = line.mid(i + 1, end - i - 1);
            }
            QString prep;
            if (c == QLatin1Char('@') && end < n && line[end] == QLatin1Char('(')) {
                const qsizetype closeParen = line.indexOf(QLatin1Char(')'), end);
                if (closeParen > 0) {
                    prep = line.mid(end + 1, closeParen - end - 1).trimmed();
                    end = closeParen + 1;
                }
            }
            if (c == QLatin1Char('@')) {
                QString entry = amount.isEmpty() ? name : amount + QLatin1Char(' ') + name;
                if (!prep.isEmpty())
                    entry += QStringLiteral(", ") + prep;
                step.ingredients << entry;
                step.text += name;
            } else if (c == QLatin1Char('#')) {
                step.text += name;
            } else {
                step.text += amount.isEmpty() ? name : amount;
            }
            i = end;
            continue;
        }
        step.text += c;
        ++i;
    }
    return step;
}

QString withoutComments(const QString& text) {
    static const QRegularExpression block(QStringLiteral("\\[-.*?(?:-\\]|$)"),
                                          QRegularExpression::DotMatchesEverythingOption);
    // "--" to the end of the line, but not a line of dashes ("---" around the front matter).
    static const QRegularExpression line(QStringLiteral("(?:^|(?<=\\s))--(?!-)[^\\n]*"),
                                         QRegularExpression::MultilineOption);
    QString out = text;
    out.remove(block);
    out.remove(line);
    return out;
}

} // namespace

ReadResult readMasterCookText(const QByteArray& bytes) {
    static const QRegularExpression start(QStringLiteral("\\*\\s*Exported\\s+from\\s+MasterCook"),
                                          QRegularExpression::CaseInsensitiveOption);
    ReadResult result;
    result.format = QStringLiteral("MasterCook text, ") + codePageName(detectCodePage(bytes));
    const QStringList lines = linesOf(bytes);
    qsizetype begin = -1;
    for (qsizetype n = 0; n <= lines.size(); ++n) {
        if (n < lines.size() && !start.match(lines[n]).hasMatch())
            continue;
        if (begin >= 0)
            masterCookEntry(lines.mid(begin + 1, n - begin - 1), static_cast<int>(begin + 1),
                            result);
        begin = n;
    }
    if (result.recipes.isEmpty() && result.problems.isEmpty())
        result.problems << SourceProblem{QStringLiteral("the file"),
                                         QStringLiteral("no MasterCook recipe was found in it")};
    return result;
}

ReadResult readRezKonv(const QByteArray& bytes) {
    ReadResult result;
    result.format = QStringLiteral("RezKonv, ") + codePageName(detectCodePage(bytes));
    const QStringList lines = linesOf(bytes);
    for (qsizetype n = 0; n < lines.size(); ++n) {
        if (!isRezKonvStart(lines[n]))
            continue;
        qsizetype end = n + 1;
        while (end < lines.size() && lines[end].trimmed() != QLatin1String("=====") &&
               !isRezKonvStart(lines[end]))
            ++end;
        const bool ended = end < lines.size() && lines[end].trimmed() == QLatin1String("=====");
        rezKonvEntry(lines.mid(n + 1, end - n - 1), static_cast<int>(n + 1), ended, result);
        n = ended ? end : end - 1;
    }
    if (result.recipes.isEmpty() && result.problems.isEmpty())
        result.problems << SourceProblem{QStringLiteral("the file"),
                                         QStringLiteral("no RezKonv recipe was found in it")};
    return result;
}

ReadResult readCooklang(const QByteArray& bytes, const QString& fileName) {
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    static const QRegularExpression meta(QStringLiteral("^>>\\s*([^:]+):\\s*(.*)$"));
    static const QRegularExpression frontField(QStringLiteral("^([A-Za-z][\\w .-]*):\\s*(.*)$"));
    static const QRegularExpression sectionLine(QStringLiteral("^=+\\s*(.*?)\\s*=*\\s*$"));
    static const QRegularExpression comma(QStringLiteral(","));
    ReadResult result;
    result.format = QStringLiteral("Cooklang");
    RecipeRecord r;
    r.position = QStringLiteral("the recipe");
    r.name = QFileInfo(fileName).completeBaseName();
    QStringList lines = withoutComments(decode(bytes, detectCodePage(bytes))).split(breaks);
    const auto metadata = [&r](const QString& rawKey, const QString& value) {
        const QString key = rawKey.trimmed().toLower();
        const QString v = value.trimmed();
        if (key == QLatin1String("title"))
            r.name = v;
        else if (key == QLatin1String("servings") || key == QLatin1String("yield") ||
                 key == QLatin1String("serves"))
            r.details.yield = v;
        else if (key == QLatin1String("source") || key == QLatin1String("source.url") ||
                 key == QLatin1String("url"))
            r.details.source = v;
        else if (key == QLatin1String("author") || key == QLatin1String("source.author"))
            r.author = v;
        else if (key == QLatin1String("tags"))
            r.details.keywords << listOf(
                QString(v).remove(QLatin1Char('[')).remove(QLatin1Char(']')), comma);
        else if (key == QLatin1String("course") || key == QLatin1String("category"))
            r.details.categories << v;
        else if (key == QLatin1String("prep time") || key == QLatin1String("time.prep"))
            r.details.prepTime = v;
        else if (key == QLatin1String("cook time") || key == QLatin1String("time.cook"))
            r.details.cookTime = v;
        else if (key == QLatin1String("time required") || key == QLatin1String("time") ||
                 key == QLatin1String("duration"))
            r.details.totalTime = v;
        else if (key == QLatin1String("description") || key == QLatin1String("introduction"))
            r.details.description = v;
        else if (key == QLatin1String("cuisine"))
            r.details.cuisine = v;
    };
    // Front matter between two "---" lines at the top.
    qsizetype first = 0;
    while (first < lines.size() && lines[first].trimmed().isEmpty())
        ++first;
    if (first < lines.size() && lines[first].trimmed() == QLatin1String("---")) {
        qsizetype end = first + 1;
        while (end < lines.size() && lines[end].trimmed() != QLatin1String("---"))
            ++end;
        if (end < lines.size()) {
            for (qsizetype k = first + 1; k < end; ++k) {
                const auto m = frontField.match(lines[k].trimmed());
                if (m.hasMatch())
                    metadata(m.captured(1), QString(m.captured(2)).remove(QLatin1Char('"')));
            }
            lines = lines.mid(end + 1);
        }
    }
    QStringList ingredients;
    QStringList steps;
    QStringList notes;
    QString paragraph;
    const auto flush = [&] {
        if (paragraph.trimmed().isEmpty()) {
            paragraph.clear();
            return;
        }
        const CookStep step = cookStep(paragraph.trimmed());
        for (const QString& i : step.ingredients)
            if (!ingredients.contains(i))
                ingredients << i;
        steps << step.text.simplified();
        paragraph.clear();
    };
    for (const QString& raw : lines) {
        const QString t = raw.trimmed();
        const auto m = meta.match(t);
        if (m.hasMatch()) {
            metadata(m.captured(1), m.captured(2));
            continue;
        }
        if (t.isEmpty()) {
            flush();
            continue;
        }
        if (t.startsWith(QLatin1Char('='))) {
            flush();
            const QString title = sectionLine.match(t).captured(1);
            if (!title.isEmpty()) {
                steps << title + QLatin1Char(':');
                ingredients << title + QLatin1Char(':');
            }
            continue;
        }
        if (t.startsWith(QLatin1Char('>'))) {
            flush();
            notes << t.mid(1).trimmed();
            continue;
        }
        paragraph += (paragraph.isEmpty() ? QString() : QStringLiteral(" ")) + t;
    }
    flush();
    // A section heading with no ingredients under it says nothing in the ingredient list.
    QStringList kept;
    for (qsizetype k = 0; k < ingredients.size(); ++k)
        if (!(ingredients[k].endsWith(QLatin1Char(':')) &&
              (k + 1 == ingredients.size() || ingredients[k + 1].endsWith(QLatin1Char(':')))))
            kept << ingredients[k];
    r.ingredients = kept.join(QLatin1Char('\n'));
    r.instructions = steps.join(QStringLiteral("\n\n"));
    r.details.notes = notes.join(QLatin1Char('\n'));
    if (r.ingredients.isEmpty() && r.instructions.isEmpty()) {
        result.problems << SourceProblem{QStringLiteral("the file"),
                                         QStringLiteral("it holds no steps")};
        return result;
    }
    keep(result, r);
    return result;
}

} // namespace kb::exchange
