#include "exchange/importer.h"

#include "core/app.h"
#include "core/database.h"
#include "core/recipefile.h"
#include "core/recipetable.h"
#include "core/store_error.h"
#include "details/details.h"
#include "exchange/archive.h"
#include "exchange/jsonld.h"
#include "exchange/mealmaster.h"
#include "exchange/otherformats.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <map>
#include <memory>

namespace kb::exchange {

namespace {

QString quotedName(const QString& s) {
    return QLatin1Char('"') + s + QLatin1Char('"');
}

// Why a name can't be stored as it is, or an empty string.
QString nameProblem(const QString& name) {
    if (name.isEmpty())
        return QStringLiteral("it has no name");
    for (const QChar c : name)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') ||
            c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return QStringLiteral("its name runs over several lines or holds control characters");
    if (name.size() > kMaxNameLength)
        return QStringLiteral("its name is longer than the %1 characters a name can have")
            .arg(kMaxNameLength);
    return {};
}

// The name made storable; the whole original is kept by the caller where it was changed.
QString storableName(const QString& name) {
    if (name.isEmpty())
        return QStringLiteral("Untitled recipe");
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        const bool breakOrControl = c == QLatin1Char('\n') || c == QLatin1Char('\r') ||
                                    c.category() == QChar::Other_Control ||
                                    c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
        out += breakOrControl ? QLatin1Char(' ') : c;
    }
    out = out.simplified();
    if (out.isEmpty())
        return QStringLiteral("Untitled recipe");
    // Room for a numbering suffix is left.
    if (out.size() > kMaxNameLength - 8)
        out = trimSpaces(out.left(kMaxNameLength - 10)) + QStringLiteral("...");
    return out;
}

// A category a table can be made for, or why not.
QString categoryProblem(const QString& name, const QStringList& existing) {
    if (isExcludedTable(name))
        return QStringLiteral("\"%1\" is the name of a system table").arg(name);
    try {
        Database::checkNewTableName(name, existing);
    } catch (const StoreError& e) {
        return e.message();
    }
    return {};
}

QString existingCategory(const QStringList& tables, const QString& name) {
    for (const QString& t : tables)
        if (t == name)
            return t;
    for (const QString& t : tables)
        if (t.compare(name, Qt::CaseInsensitive) == 0)
            return t;
    return {};
}

// A recipe as the four texts that tell it apart, without the spaces the stored format adds.
// Line ends as the program writes them: CR LF, whatever the file had.
QString withCrLf(const QString& text) {
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    out.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return out;
}

// Two recipes are alike whatever line ends their texts have.
QString recipeKey(const RecipeFields& values) {
    QString key;
    for (const auto& v : values)
        key += withCrLf(trimSpaces(v.value_or(QString()))) + QChar(0x1F);
    return key;
}

// NUL and other control characters taken out of every text (line breaks aside), exact values
// included; what was taken out is said.
void cleanRecord(RecipeRecord& r, QStringList& reasons) {
    bool changed = false;
    for (QString* text : {&r.author, &r.ingredients, &r.instructions}) {
        const QString clean = withoutControls(*text);
        changed = changed || clean != *text;
        *text = clean;
    }
    if (r.stored) {
        for (auto& v : *r.stored) {
            if (!v)
                continue;
            const QString clean = withoutControls(*v);
            changed = changed || clean != *v;
            *v = clean;
        }
    }
    if (changed)
        reasons << QStringLiteral("control characters in its texts were taken out");
}

// The texts of details from a file, cleaned as the recipe's own texts are.
void cleanDetails(Details& d) {
    for (QString* text : {&d.yield, &d.source, &d.notes})
        *text = withoutControls(*text);
    for (QString& tag : d.tags)
        tag = withoutControls(tag).simplified();
    d.tags.removeAll(QString());
}

QString positionIn(const QString& source, const QString& position) {
    QString file = QFileInfo(source).fileName();
    if (position.isEmpty())
        return file;
    return file.isEmpty() ? position : file + QLatin1String(", ") + position;
}

} // namespace

Importer::Importer(ImportOptions options) : m_options(std::move(options)) {}

ReadResult readRecipeBytes(const QByteArray& bytes, const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    QByteArray head = bytes.left(4096);
    if (head.startsWith("\xEF\xBB\xBF")) // a UTF-8 byte order mark says nothing of the kind
        head.remove(0, 3);
    head = head.trimmed();
    const QByteArray lowerHead = head.toLower();
    if (isZip(bytes))
        return readRecipeArchive(bytes);
    if (isGzip(bytes))
        return readPaprikaRecipe(bytes);
    if (suffix == QLatin1String("cook"))
        return readCooklang(bytes, fileName);
    const bool html = suffix == QLatin1String("html") || suffix == QLatin1String("htm") ||
                      suffix == QLatin1String("xhtml") || lowerHead.startsWith("<!doctype html") ||
                      lowerHead.contains("<html") || lowerHead.contains("<script");
    if (!html && (lowerHead.startsWith("<?xml") || lowerHead.startsWith("<!doctype") ||
                  lowerHead.startsWith('<'))) {
        if (auto xml = readRecipeXml(bytes))
            return *xml;
    }
    if (html || lowerHead.startsWith("<!doctype") || lowerHead.startsWith('<'))
        return readHtml(bytes);
    if (head.startsWith('{') || head.startsWith('[') || suffix == QLatin1String("json") ||
        suffix == QLatin1String("jsonld")) {
        if (isOwnJsonLdList(bytes))
            return readJsonLd(bytes);
        if (auto app = readAppJson(bytes))
            return *app;
        return readJsonLd(bytes);
    }
    if (looksLikeMealMaster(bytes))
        return readMealMaster(bytes);
    if (head.contains("Exported from") && head.contains("MasterCook"))
        return readMasterCookText(bytes);
    if (lowerHead.contains("rezkonv"))
        return readRezKonv(bytes);
    ReadResult result;
    result.problems << SourceProblem{
        QStringLiteral("the file"),
        QStringLiteral("it is not a recipe file of a known kind (schema.org JSON-LD, a web "
                       "page, MealMaster, MasterCook, Paprika, RecipeML, Gourmet, KRecipes, "
                       "RezKonv, Cooklang, Mealie, Tandoor or Nextcloud Cookbook)")};
    return result;
}

ReadResult readRecipeFile(const QString& fileName) {
    ReadResult result;
    const QFileInfo info(fileName);
    if (info.isDir())
        return readCookbookFolder(fileName);
    // Devices, pipes and sockets have no end or no size to check: only files are read.
    if (info.exists() && !info.isFile()) {
        result.problems << SourceProblem{QStringLiteral("the file"),
                                         QStringLiteral("it is not a regular file (a device, a "
                                                        "pipe or a socket), so it was not read")};
        return result;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        result.problems << SourceProblem{
            QStringLiteral("the file"),
            QStringLiteral("it can't be read (%1)").arg(file.errorString())};
        return result;
    }
    // Our own list, with its photos, may be larger than any other recipe file: it is read one
    // recipe a line, never parsed whole.
    const qint64 limit = isOwnJsonLdList(file.peek(4096)) ? kMaxOwnExportBytes : kMaxImportBytes;
    // The size is checked on what is read too: a file may grow while it is read.
    const QByteArray bytes = file.size() > limit ? QByteArray() : file.read(limit + 1);
    if (file.size() > limit || bytes.size() > limit) {
        result.problems << SourceProblem{
            QStringLiteral("the file"),
            QStringLiteral("it is larger than %1 MB, far too large for a recipe file")
                .arg(limit >> 20)};
        return result;
    }
    return readRecipeBytes(bytes, fileName);
}

void Importer::addFile(const QString& fileName) {
    addRecords(fileName, readRecipeFile(fileName));
}

void Importer::addRecords(const QString& source, const ReadResult& read) {
    m_report.sources << QDir::toNativeSeparators(source) +
                            (read.format.isEmpty()
                                 ? QString()
                                 : QStringLiteral(" (") + read.format + QLatin1Char(')'));
    for (const SourceProblem& p : read.problems) {
        m_report.lines << ReportLine{
            ReportLine::Kind::Skipped, source, p.position, {}, {}, p.reason};
        ++m_report.skipped;
    }
    if (read.recipes.isEmpty()) {
        // Nothing found is a failure, said in words, never "0 recipes came in".
        QString reason = read.noRecipeReason;
        if (reason.isEmpty() && read.problems.size() == 1)
            reason = read.problems.first().reason;
        if (reason.isEmpty() && !read.problems.isEmpty())
            reason = QStringLiteral("%1 could not be read")
                         .arg(counted(read.problems.size(), QStringLiteral("part"),
                                      QStringLiteral("parts")));
        if (reason.isEmpty())
            reason = read.format.startsWith(QLatin1String("JSON"))
                         ? QStringLiteral("it holds schema.org data, but no Recipe")
                         : QStringLiteral("it holds nothing that is a recipe");
        m_nothingFound << QStringLiteral("no recipe was found in %1: %2")
                              .arg(QDir::toNativeSeparators(source), reason);
        if (read.problems.isEmpty()) {
            m_report.lines << ReportLine{
                ReportLine::Kind::Skipped, source, QStringLiteral("the file"), {}, {}, reason};
            ++m_report.skipped;
        }
    }
    for (const RecipeRecord& r : read.recipes)
        m_records << Pending{source, r};
    for (const QString& c : read.categories)
        if (!m_listedCategories.contains(c))
            m_listedCategories << c;
}

ImportReport Importer::run(RecipeFile& file) {
    std::unique_ptr<Database> db;
    try {
        db = file.open();
    } catch (const StoreError& e) {
        ImportReport report = m_report;
        report.failure = e.message();
        return report;
    }
    ImportReport report = run(file, *db);
    db->Close();
    return report;
}

ImportReport Importer::run(RecipeFile& file, Database& db) {
    ImportReport report = m_report;
    report.into = m_options.category.isEmpty()
                      ? QStringLiteral("each recipe's own category (\"%1\" for those without one)")
                            .arg(kDefaultCategory)
                      : QStringLiteral("the category \"%1\"").arg(m_options.category);
    if (m_records.isEmpty() && m_listedCategories.isEmpty() && !m_nothingFound.isEmpty()) {
        report.failure = m_nothingFound.join(QLatin1Char('\n'));
        return report;
    }
    const QStringList tablesBefore = db.TableDefs();
    // The details are written in the same transaction as the recipes; the file they go into
    // is attached before it begins.
    for (const Pending& p : m_records) {
        if (p.record.details.isEmpty())
            continue;
        try {
            attachDetails(db);
        } catch (const StoreError& e) {
            report.failure = e.message();
            return report;
        }
        break;
    }

    if (!m_options.category.isEmpty() &&
        existingCategory(tablesBefore, m_options.category).isEmpty()) {
        const QString problem = categoryProblem(m_options.category, tablesBefore);
        if (!problem.isEmpty()) {
            report.failure = QStringLiteral("The recipes can't go into the category \"%1\": %2")
                                 .arg(m_options.category, problem);
            return report;
        }
    }

    QList<ReportLine> lines;
    qsizetype imported = 0;
    qsizetype changed = 0;
    qsizetype skipped = 0;
    qsizetype alreadyThere = 0;
    QStringList created;
    struct Target {
        std::unique_ptr<Recordset> rs;
        // Names there before the import, and added by it, case-folded: the window tells no
        // two names apart that differ only in their letter case.
        QSet<QString> before;
        QSet<QString> added;
        QSet<QString> recipes;          // every recipe there, before and added, as recipeKey
        QHash<QString, int> nextNumber; // the next suffix to try for a name, so that many
                                        // recipes of one name don't try every number each
    };
    std::map<QString, Target> targets;
    QStringList tables = tablesBefore;

    // The table for `name`, made if new.
    const auto openTarget = [&](const QString& name) -> Target& {
        const QString actual = existingCategory(tables, name);
        auto it = targets.find(actual.isEmpty() ? name : actual);
        if (it != targets.end())
            return it->second;
        if (actual.isEmpty()) {
            file.createCategory(db, name);
            tables << name;
            created << name;
        }
        const QString table = actual.isEmpty() ? name : actual;
        Target t;
        t.rs = db.OpenRecordset(table);
        if (t.rs->FieldCount() < 4)
            throw StoreError(QStringLiteral("The category \"%1\" is not a recipe table: it has "
                                            "fewer than four columns.")
                                 .arg(table));
        for (; !t.rs->Eof(); t.rs->MoveNext()) {
            const RecipeFields row = readFields(*t.rs);
            t.before.insert(trimSpaces(row[0].value_or(QString())).toCaseFolded());
            t.recipes.insert(recipeKey(row));
        }
        return targets.emplace(table, std::move(t)).first->second;
    };

    const qsizetype total = m_records.size();
    try {
        if (m_options.beforeWrite && (total > 0 || !m_listedCategories.isEmpty()))
            m_options.beforeWrite();
        // Work a follower does on the file as it was (a backup) happens once, before the
        // import's transaction takes its lock.
        file.write(
            db, {RecipeChange::Kind::Import, {m_options.category, 0}, {}, {}}, [&](RecipeChange&) {
                if (m_options.category.isEmpty())
                    for (const QString& c : m_listedCategories)
                        if (existingCategory(tables, c).isEmpty() &&
                            categoryProblem(c, tables).isEmpty())
                            openTarget(c);
                qsizetype done = 0;
                for (const Pending& p : m_records) {
                    if (++done % 100 == 0 && !reportProgress(m_options.progress, done, total))
                        throw StoreError::cancelled();
                    RecipeRecord r = p.record;
                    QStringList reasons = r.notes;
                    const QString where = p.record.position;
                    cleanRecord(r, reasons);
                    Details kept = takeDetails(r.details, reasons);
                    cleanDetails(kept);

                    // The category.
                    QString category = m_options.category;
                    if (category.isEmpty()) {
                        // Our own export names its tables exactly; others' spaces around a
                        // category are not part of its name.
                        const QString own = r.stored ? r.category : r.category.trimmed();
                        category = own.isEmpty() ? kDefaultCategory : own;
                        if (existingCategory(tables, category).isEmpty()) {
                            const QString problem = categoryProblem(category, tables);
                            if (!problem.isEmpty()) {
                                reasons << QStringLiteral("its category \"%1\" can't be a category "
                                                          "name (%2), so it went into \"%3\"")
                                               .arg(r.category, problem, kDefaultCategory);
                                category = kDefaultCategory;
                            }
                        }
                    }
                    Target& target = openTarget(category);
                    category = target.rs->Name();

                    // The name.
                    QString name = trimSpaces(r.name);
                    const QString original = name;
                    bool renamed = false;
                    // Exact values from a file are held to the same name rules as any other;
                    // only a missing name, which an old recipe file can hold, is kept as it was.
                    if (r.stored && !name.isEmpty() && !nameProblem(name).isEmpty())
                        r.stored.reset();
                    if (!r.stored) {
                        const QString problem = nameProblem(name);
                        if (!problem.isEmpty()) {
                            if (m_options.names == NamePolicy::Report) {
                                lines << ReportLine{ReportLine::Kind::Skipped,
                                                    p.source,
                                                    where,
                                                    category,
                                                    original,
                                                    problem + QStringLiteral(", and names that "
                                                                             "need changing are "
                                                                             "reported, not "
                                                                             "changed")};
                                ++skipped;
                                continue;
                            }
                            name = storableName(name);
                            renamed = true;
                            reasons << problem;
                            if (!original.isEmpty() && original != name)
                                r.instructions = QStringLiteral("Full name:\n") + original +
                                                 (r.instructions.isEmpty()
                                                      ? QString()
                                                      : QStringLiteral("\n\n") + r.instructions);
                        }
                    }
                    // The very same recipe is not brought in twice.
                    const QString key =
                        r.stored && !renamed
                            ? recipeKey(*r.stored)
                            : recipeKey({name, r.author, r.ingredients, r.fullInstructions()});
                    if (target.recipes.contains(key)) {
                        lines << ReportLine{
                            ReportLine::Kind::AlreadyThere, p.source, where, category, original,
                            QStringLiteral("already there")};
                        ++alreadyThere;
                        continue;
                    }
                    const bool duplicate =
                        target.before.contains(name.toCaseFolded()) ||
                        (!r.stored && target.added.contains(name.toCaseFolded()));
                    if (duplicate) {
                        if (m_options.names == NamePolicy::Report) {
                            lines << ReportLine{
                                ReportLine::Kind::Skipped,
                                p.source,
                                where,
                                category,
                                original,
                                QStringLiteral("a recipe of that name is already in "
                                               "the category")};
                            ++skipped;
                            continue;
                        }
                        const QString base = name.isEmpty() ? storableName(name) : name;
                        int& next = target.nextNumber[base];
                        for (int n = std::max(next, 2);; ++n) {
                            const QString candidate = QStringLiteral("%1 (%2)").arg(base).arg(n);
                            if (!target.before.contains(candidate.toCaseFolded()) &&
                                !target.added.contains(candidate.toCaseFolded())) {
                                name = candidate;
                                next = n + 1;
                                break;
                            }
                        }
                        renamed = true;
                        reasons << QStringLiteral(
                            "a recipe of that name was already in the category");
                    }

                    RecipeFields values;
                    if (r.stored && !renamed) {
                        values = *r.stored;
                    } else {
                        values = {storedValue(name), storedValue(r.author),
                                  storedValue(withCrLf(r.ingredients)),
                                  storedValue(withCrLf(r.fullInstructions()))};
                    }
                    target.rs->AddNew();
                    setFields(*target.rs, values);
                    target.rs->Update();
                    if (!file.followers().isEmpty())
                        file.tell(db, {RecipeChange::Kind::Added,
                                       {category, target.rs->LastAddedRowId()},
                                       {},
                                       values});
                    if (!kept.isEmpty())
                        storeDetails(db, category, nameOf(values), kept);
                    target.added.insert(name.toCaseFolded());
                    target.recipes.insert(recipeKey(values));
                    ++imported;
                    ReportLine line{
                        ReportLine::Kind::Imported, p.source, where, category, name, {}};
                    if (!reasons.isEmpty()) {
                        line.kind = ReportLine::Kind::Changed;
                        line.reason = (renamed && original != name
                                           ? QStringLiteral("imported as %1 (was %2): ")
                                                 .arg(quotedName(name), quotedName(original))
                                           : QString()) +
                                      reasons.join(QStringLiteral("; "));
                        ++changed;
                    }
                    lines << line;
                }
                reportProgress(m_options.progress, total, total);
                // The recordsets go before the transaction ends.
                targets.clear();
            });
        report.warning = file.takeWarning();
    } catch (const StoreError& e) {
        if (e.isCancel())
            report.cancelled = true;
        else
            report.failure = e.message();
        return report;
    }
    report.lines << lines;
    report.imported = imported;
    report.changed = changed;
    report.skipped += skipped;
    report.alreadyThere = alreadyThere;
    report.createdCategories = created;
    return report;
}

QString ImportReport::summary() const {
    if (cancelled)
        return QStringLiteral("The import was cancelled. Nothing was imported: the recipe file is "
                              "as it was before.");
    if (!failure.isEmpty())
        return QStringLiteral("Nothing was imported: the recipe file is as it was before.\n") +
               failure;
    QString s = recipesCounted(imported) + QStringLiteral(" came in");
    if (changed)
        s += QStringLiteral(", %1 of them changed").arg(changed);
    if (alreadyThere)
        s += QStringLiteral("; %1 already there").arg(alreadyThere);
    s += QStringLiteral("; %1 skipped.").arg(skipped);
    if (!warning.isEmpty())
        s += QLatin1Char('\n') + warning;
    return s;
}

QString ImportReport::text() const {
    QStringList out;
    out << QStringLiteral("Kettlebox import report, ") +
               QDateTime::currentDateTime().toString(Qt::ISODate);
    for (const QString& s : sources)
        out << QStringLiteral("Read: ") + s;
    if (!into.isEmpty())
        out << QStringLiteral("Into: ") + into;
    for (const QString& c : createdCategories)
        out << QStringLiteral("New category: ") + c;
    out << QString() << summary();
    const auto section = [&](ReportLine::Kind kind, const QString& heading) {
        QStringList block;
        for (const ReportLine& l : lines) {
            if (l.kind != kind)
                continue;
            QString line =
                QStringLiteral("  ") + positionIn(l.source, l.position) + QLatin1String(": ");
            if (!l.name.isEmpty() || !l.category.isEmpty())
                line += quotedName(l.name) + QStringLiteral(" in ") + quotedName(l.category);
            if (!l.reason.isEmpty())
                line +=
                    (l.name.isEmpty() && l.category.isEmpty() ? QString() : QStringLiteral(": ")) +
                    l.reason;
            block << line;
        }
        if (!block.isEmpty())
            out << QString() << heading << block;
    };
    if (!cancelled && failure.isEmpty()) {
        section(ReportLine::Kind::Skipped, QStringLiteral("Skipped, and why:"));
        section(ReportLine::Kind::AlreadyThere,
                QStringLiteral("Already there, so not brought in again:"));
        section(ReportLine::Kind::Changed, QStringLiteral("Came in changed, and why:"));
        section(ReportLine::Kind::Imported, QStringLiteral("Came in as they were:"));
    } else {
        section(ReportLine::Kind::Skipped, QStringLiteral("Could not be read:"));
    }
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString reportFileName(const QString& fileName) {
    return fileName + QStringLiteral(".import-report.txt");
}

void saveReport(const ImportReport& report, const QString& fileName) {
    const QString target = reportFileName(fileName);
    QByteArray bytes = report.text().toUtf8();
    bytes.replace("\n", "\r\n");
    const QString failed = writeWholeFile(target, bytes);
    if (!failed.isEmpty())
        throw StoreError(QStringLiteral("The import report could not be saved as \"%1\" (%2).")
                             .arg(QDir::toNativeSeparators(target), failed));
}

} // namespace kb::exchange
