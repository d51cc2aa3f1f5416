// kb-pagecheck [--list] [folder] | --show PAGE: reads every saved page of the folder
// (<site>/<name>.testhtml.gz with the answer <name>.json beside it) as the import does, and says
// how many came in whole: the name, every ingredient line and every step of the answer there, and
// no entity or tag left in any field. Pages whose answer is not in their own schema.org data are
// counted apart.

#include "exchange/htmlscan.h"
#include "exchange/htmltext.h"
#include "exchange/jsonld.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>

using namespace kb::exchange;

namespace {

// Texts compared as a reader would: letters and digits only, in lower case, fractions and
// quotes in one spelling.
QString comparable(const QString& s) {
    QString out;
    for (const QChar c : s.normalized(QString::NormalizationForm_KD))
        if (c.isLetterOrNumber())
            out += c.toLower();
    return out;
}

QStringList stringsOf(const QJsonValue& v) {
    QStringList out;
    if (v.isString())
        out << v.toString();
    for (const auto& e : v.toArray())
        out << stringsOf(e);
    return out;
}

// What of `wanted` is not in `have` (each a line, or the whole of it as one text).
QStringList missing(const QStringList& wanted, const QString& have) {
    QStringList out;
    for (const QString& w : wanted) {
        const QString key = comparable(w);
        if (!key.isEmpty() && !have.contains(key))
            out << w;
    }
    return out;
}

QString joined(const QStringList& lines) {
    QString all;
    for (const QString& l : lines)
        all += comparable(l) + QLatin1Char('|');
    return all;
}

bool leftovers(const QString& text) {
    static const QRegularExpression entity(
        QStringLiteral("&(?:[a-zA-Z][a-zA-Z0-9]{1,31}|#[0-9]{1,7}|#[xX][0-9a-fA-F]{1,6});"));
    static const QRegularExpression tag(QStringLiteral("</?[a-zA-Z][a-zA-Z0-9]*(?:\\s[^<>]*)?/?>"));
    return entity.match(text).hasMatch() || tag.match(text).hasMatch();
}

QByteArray gunzip(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("gzip"), {QStringLiteral("-dc"), file});
    p.waitForFinished(60'000);
    return p.readAllStandardOutput();
}

// All the text of a page's schema.org data, to tell whether an answer could come from it.
QString schemaText(const QByteArray& page) {
    const PageScan scan = scanPage(page);
    QString all;
    for (const ScriptBlock& b : scan.jsonLd)
        all += htmlToText(htmlToText(QString::fromUtf8(b.text)));
    all += QString::fromUtf8(QJsonDocument(scan.items).toJson());
    return comparable(htmlToText(all));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool list = args.removeAll(QStringLiteral("--list")) > 0;
    QTextStream out(stdout);
    if (args.size() == 2 && args.first() == QLatin1String("--show")) {
        // One page, as the import reads it.
        const QString file = args.last();
        QFile f(file);
        const QByteArray page = file.endsWith(QLatin1String(".gz"))
                                    ? gunzip(file)
                                    : (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray());
        const ReadResult read = readHtml(page);
        for (const RecipeRecord& r : read.recipes)
            out << r.position << "\n[" << r.name << "] by [" << r.author << "] in [" << r.category
                << "]\n--\n"
                << r.ingredients << "\n--\n"
                << r.instructions << "\n\n";
        for (const SourceProblem& p : read.problems)
            out << p.position << ": " << p.reason << "\n";
        return 0;
    }
    const QString folder = args.isEmpty() ? QStringLiteral(KB_PAGES_DIR) : args.first();
    if (!QDir(folder).exists()) {
        out << "No saved pages in " << folder << "\n";
        return 2;
    }
    QStringList answers;
    QDirIterator it(folder, {QStringLiteral("*.json")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        answers << it.next();
    std::sort(answers.begin(), answers.end());

    int pages = 0;
    int whole = 0;
    int notInData = 0;
    int dirty = 0;
    int found = 0;
    QMap<QString, QStringList> failures; // kind: pages
    for (const QString& answerFile : answers) {
        QString pageFile = answerFile;
        pageFile.replace(QRegularExpression(QStringLiteral("\\.json$")),
                         QStringLiteral(".testhtml.gz"));
        if (!QFile::exists(pageFile))
            continue;
        QFile f(answerFile);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject answer = QJsonDocument::fromJson(f.readAll()).object();
        const QByteArray page = gunzip(pageFile);
        ++pages;
        const QString name = QDir(folder).relativeFilePath(pageFile);
        const PageRead read = readPage(page);

        bool clean = true;
        for (const RecipeRecord& r : read.result.recipes)
            if (leftovers(r.name) || leftovers(r.author) || leftovers(r.ingredients) ||
                leftovers(r.fullInstructions()))
                clean = false;
        if (!clean) {
            ++dirty;
            failures[QStringLiteral("an entity or tag left in a field")] << name;
        }

        const QString title = answer.value(QLatin1String("title")).toString();
        const QStringList ingredients = stringsOf(answer.value(QLatin1String("ingredients")));
        const QStringList steps = stringsOf(answer.value(QLatin1String("instructions_list")));
        if (!read.recipes.isEmpty())
            ++found;
        if (read.recipes.isEmpty()) {
            const QString reason = read.result.problems.isEmpty()
                                       ? QStringLiteral("?")
                                       : read.result.problems.first().reason;
            // A page whose data holds no Recipe at all does not hold the answer.
            const bool inData =
                !reason.startsWith(QLatin1String("it holds schema.org data, but no")) &&
                !reason.startsWith(QLatin1String("it holds no recipe data"));
            if (!inData) {
                ++notInData;
                failures[QStringLiteral("not in the page's schema.org data: ") + reason] << name;
            } else {
                failures[QStringLiteral("no recipe found: ") + reason] << name;
            }
            continue;
        }
        // The recipe of the answer: the one of that name, or the first.
        const SchemaRecipe* best = &read.recipes.first();
        for (const SchemaRecipe& r : read.recipes)
            if (comparable(r.name) == comparable(title))
                best = &r;
        QStringList problems;
        QStringList lost;
        if (comparable(best->name) != comparable(title)) {
            problems << QStringLiteral("name");
            lost << title;
        }
        const QStringList lostIngredients = missing(ingredients, joined(best->ingredients));
        if (!lostIngredients.isEmpty())
            problems << QStringLiteral("ingredients");
        const QStringList lostSteps = missing(steps, joined(best->steps).remove(QLatin1Char('|')));
        if (!lostSteps.isEmpty())
            problems << QStringLiteral("instructions");
        lost << lostIngredients << lostSteps;
        if (problems.isEmpty()) {
            if (clean)
                ++whole;
            continue;
        }
        // Judged only where the page's own data holds what was missed.
        const QString data = schemaText(page);
        const bool inData = std::all_of(lost.begin(), lost.end(), [&](const QString& l) {
            return data.contains(comparable(l));
        });
        if (!inData) {
            ++notInData;
            failures[QStringLiteral("not in the page's schema.org data: ") +
                     problems.join(QStringLiteral(", "))]
                << name + (list ? QStringLiteral("\n      ") + lost.first() : QString());
            continue;
        }
        failures[problems.join(QStringLiteral(", ")) + QStringLiteral(" differ")]
            << name + (list ? QStringLiteral("\n      ") + lost.join(QStringLiteral("\n      "))
                            : QString());
    }
    const int judged = pages - notInData;
    out << "Pages: " << pages << "\n";
    out << "Gave a recipe: " << found << "\n";
    out << "Answer in the page's schema.org data: " << judged << "\n";
    out << "Whole: " << whole << " of " << judged << " ("
        << QString::number(judged ? 100.0 * whole / judged : 0, 'f', 1) << " %)\n";
    out << "With an entity or tag left in a field: " << dirty << "\n";
    for (auto f = failures.begin(); f != failures.end(); ++f) {
        out << "\n" << f.key() << ": " << f.value().size() << "\n";
        if (list)
            for (const QString& p : f.value())
                out << "  " << p << "\n";
    }
    return 0;
}
