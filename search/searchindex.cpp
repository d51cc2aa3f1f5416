#include "search/searchindex.h"

#include "core/app.h"
#include "core/recipefile.h"
#include "core/recipetable.h"
#include "core/store_error.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutexLocker>
#include <QSet>
#include <QtEndian>
#include <algorithm>
#include <utility>

namespace kb {

namespace {

// Raised when the layout of the index file changes; an index of another version is rebuilt.
constexpr int kVersion = 1;

// A recipe's document number in the full-text table: its category's number above its row id,
// so one category's recipes are one range and no join is needed to find them.
constexpr int kRowBits = 40;
constexpr std::int64_t kRowLimit = std::int64_t{1} << kRowBits;

std::int64_t docidOf(std::int64_t category, std::int64_t rowid) {
    return (category << kRowBits) | rowid;
}

const QString kCreateRecipes = QStringLiteral(
    "CREATE VIRTUAL TABLE search.recipes USING fts4(name, author, ingredients, instructions, "
    "tokenize=unicode61 \"remove_diacritics=1\")");

// The first four columns of a category, by position (a table made elsewhere may name them
// otherwise or have fewer); NULL stands in for a missing one.
QStringList recipeColumns(const Database& db, const QString& category) {
    QStringList cols;
    for (const QVariantList& row :
         db.Query(QStringLiteral("PRAGMA main.table_info(%1)").arg(quotedIdentifier(category)))) {
        if (cols.size() == 4)
            break;
        cols << quotedIdentifier(row.at(1).toString());
    }
    while (cols.size() < 4)
        cols << QStringLiteral("NULL");
    return cols;
}

QString charsOf(const QStringList& cols) {
    QStringList parts;
    for (const QString& c : cols)
        parts << QStringLiteral("coalesce(length(%1),0)").arg(c);
    return parts.join(QLatin1Char('+'));
}

// The fingerprint of one category: its rows, the highest row id and the length of all its text.
// A program that changes the file without the index moves at least one of them, short of an
// edit that keeps every length.
struct Fingerprint {
    std::int64_t rows = 0;
    std::int64_t maxRowid = 0;
    std::int64_t chars = 0;
    bool operator==(const Fingerprint&) const = default;
};

Fingerprint fingerprintOf(const Database& db, const QString& category) {
    const QStringList cols = recipeColumns(db, category);
    const QVariantList r = db.Query(QStringLiteral("SELECT count(*), coalesce(max(rowid),0), "
                                                   "CAST(total(%1) AS INTEGER) FROM main.%2")
                                        .arg(charsOf(cols), quotedIdentifier(category)))
                               .value(0);
    return {r.value(0).toLongLong(), r.value(1).toLongLong(), r.value(2).toLongLong()};
}

std::int64_t rowChars(const Database& db, const QString& category, std::int64_t rowid) {
    const QStringList cols = recipeColumns(db, category);
    return db
        .Query(QStringLiteral("SELECT %1 FROM main.%2 WHERE rowid = ?1")
                   .arg(charsOf(cols), quotedIdentifier(category)),
               {QVariant::fromValue<qint64>(rowid)})
        .value(0)
        .value(0)
        .toLongLong();
}

std::int64_t valuesChars(const Database& db, const RecipeFields& values) {
    QVariantList binds;
    for (const std::optional<QString>& v : values)
        binds << (v ? QVariant(*v) : QVariant());
    return db
        .Query(QStringLiteral("SELECT coalesce(length(?1),0)+coalesce(length(?2),0)+"
                              "coalesce(length(?3),0)+coalesce(length(?4),0)"),
               binds)
        .value(0)
        .value(0)
        .toLongLong();
}

QStringList categoriesOf(const Database& db) {
    QStringList out;
    for (const QString& t : db.TableDefs())
        if (!isExcludedTable(t))
            out << t;
    return out;
}

bool isAttached(const Database& db) {
    for (const QVariantList& row : db.Query(QStringLiteral("PRAGMA database_list")))
        if (row.value(1).toString() == SearchIndex::kSchema)
            return true;
    return false;
}

bool isBuilt(const Database& db) {
    const QList<QVariantList> r =
        db.Query(QStringLiteral("SELECT value FROM search.meta WHERE key = 'built'"));
    return !r.isEmpty() && r.at(0).value(0).toLongLong() == kVersion;
}

// The index's number for `category`; 0 when the index does not know it.
std::int64_t categoryId(const Database& db, const QString& category) {
    return db.Query(QStringLiteral("SELECT id FROM search.categories WHERE name = ?1"), {category})
        .value(0)
        .value(0)
        .toLongLong();
}

void insertRecipe(Database& db, std::int64_t docid, const RecipeFields& values) {
    QVariantList binds{QVariant::fromValue<qint64>(docid)};
    for (const std::optional<QString>& v : values)
        binds << (v ? QVariant(*v) : QVariant());
    db.Execute(QStringLiteral("INSERT INTO search.recipes(docid, name, author, ingredients, "
                              "instructions) VALUES (?1, ?2, ?3, ?4, ?5)"),
               binds);
}

void deleteRecipe(Database& db, std::int64_t docid) {
    db.Execute(QStringLiteral("DELETE FROM search.recipes WHERE docid = ?1"),
               {QVariant::fromValue<qint64>(docid)});
}

QVariant v64(std::int64_t v) {
    return QVariant::fromValue<qint64>(v);
}

// Appends the words of `text` (letters and digits; anything else separates them) to `words`.
void appendWords(const QString& text, QStringList& words) {
    QString word;
    for (const QChar c : text) {
        if (c.isLetterOrNumber() || c.isMark()) {
            word += c;
        } else if (!word.isEmpty()) {
            words << word;
            word.clear();
        }
    }
    if (!word.isEmpty())
        words << word;
}

} // namespace

QString searchQuery(const QString& text) {
    // Lower case keeps a typed OR, AND, NOT or NEAR from being read as an operator.
    const QStringList parts = text.toLower().split(QLatin1Char('"'));
    QStringList terms;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QStringList words;
        appendWords(parts.at(i), words);
        if (i % 2 == 1) { // inside quotes (an unclosed quote runs to the end)
            if (!words.isEmpty())
                terms << QLatin1Char('"') + words.join(QLatin1Char(' ')) + QLatin1Char('"');
        } else {
            for (const QString& w : words)
                terms << w + QLatin1Char('*');
        }
    }
    return terms.join(QLatin1Char(' '));
}

QStringList searchTerms(const QString& text) {
    const QStringList parts = text.toLower().split(QLatin1Char('"'));
    QStringList terms;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QStringList words;
        appendWords(parts.at(i), words);
        if (i % 2 == 1) {
            if (!words.isEmpty())
                terms << words.join(QLatin1Char(' '));
        } else {
            terms << words;
        }
    }
    return terms;
}

namespace {

QString likePattern(const QString& term) {
    QString p = term;
    p.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    p.replace(QLatin1Char('%'), QLatin1String("\\%"));
    p.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + p + QLatin1Char('%');
}

// A short piece of the first field that holds the first term, with the terms marked, for a
// recipe that the full-text match (word starts only) did not find.
QString innerSnippet(const QStringList& fields, const QStringList& terms) {
    constexpr qsizetype kAround = 40;
    for (const QString& field : fields) {
        const QString flat = field.simplified();
        const qsizetype at = flat.indexOf(terms.value(0), 0, Qt::CaseInsensitive);
        if (at < 0)
            continue;
        const qsizetype from = std::max<qsizetype>(0, at - kAround);
        const qsizetype to = std::min(flat.size(), at + terms.value(0).size() + kAround);
        QString piece = flat.mid(from, to - from);
        for (const QString& t : terms) {
            for (qsizetype i = piece.indexOf(t, 0, Qt::CaseInsensitive); i >= 0;
                 i = piece.indexOf(t, i + t.size() + 2, Qt::CaseInsensitive)) {
                piece.insert(i + t.size(), SearchIndex::kMarkClose);
                piece.insert(i, SearchIndex::kMarkOpen);
            }
        }
        return (from > 0 ? QStringLiteral("\u2026") : QString()) + piece +
               (to < flat.size() ? QStringLiteral("\u2026") : QString());
    }
    return {};
}

} // namespace

QString SearchIndex::fileFor(const QString& databasePath) {
    return QFileInfo(databasePath).absolutePath() + QStringLiteral("/Recipe.index");
}

SearchIndex::SearchIndex(QString indexFile) : m_file(std::move(indexFile)) {}

void SearchIndex::attach(Database& db) {
    if (isAttached(db))
        return;
    const QString file = m_file.isEmpty() ? fileFor(db.FileName()) : m_file;
    // The log of an index that is gone, or put aside below, would be played into its successor.
    const auto forgetLog = [&] {
        releaseKeeper();
        QFile::remove(file + QStringLiteral("-wal"));
        QFile::remove(file + QStringLiteral("-shm"));
    };
    if (!QFile::exists(file))
        forgetLog();
    try {
        db.AttachSideFile(kSchema, file);
    } catch (const StoreError&) {
        // The index holds nothing that the recipe file does not: one that can't be read (made
        // by something else, or damaged) is put aside and made again, so that it never stops
        // a recipe from being saved.
        if (isAttached(db))
            db.Query(QStringLiteral("DETACH DATABASE search"));
        if (!QFile::exists(file))
            throw;
        releaseKeeper();
        const QString aside = file + QStringLiteral(".unreadable");
        QFile::remove(aside);
        if (!QFile::rename(file, aside))
            throw;
        forgetLog();
        db.AttachSideFile(kSchema, file);
    }
    const bool made =
        db.Query(QStringLiteral("SELECT count(*) FROM search.sqlite_master WHERE name = 'meta'"))
            .value(0)
            .value(0)
            .toLongLong() == 0;
    // The index follows each change in a transaction of its own after the recipe file has
    // committed. With a write-ahead log those commits cost no sync, and a sudden stop loses only
    // the last of them, never part of one: an index that lost some is stale by its fingerprint
    // and made again, never trusted wrongly. Where the log can't be used (no shared memory on
    // the file system), the rollback journal stays, synced as the recipe file is.
    try {
        db.Query(QStringLiteral("PRAGMA search.journal_mode = WAL"));
    } catch (const StoreError&) {
        // Another connection has it open in the old mode; the next attach tries again.
    }
    db.Query(QStringLiteral("PRAGMA search.synchronous = NORMAL"));
    db.Query(QStringLiteral("PRAGMA search.journal_size_limit = 4194304"));
    keep(db, file);
    if (made)
        db.Transaction(
            [&] {
                db.Execute(QStringLiteral(
                    "CREATE TABLE search.meta (key TEXT PRIMARY KEY, value INTEGER)"));
                db.Execute(QStringLiteral("CREATE TABLE search.categories (id INTEGER PRIMARY "
                                          "KEY, name TEXT NOT NULL UNIQUE, rows INTEGER, "
                                          "maxrowid INTEGER, chars INTEGER)"));
                db.Execute(kCreateRecipes);
            },
            kSchema);
}

SearchIndex::~SearchIndex() = default;

void SearchIndex::keep(const Database& db, const QString& file) {
    const QMutexLocker lock(&m_keeperMutex);
    if (m_keeper)
        return;
    // Each command opens and closes its own connection, and the last connection of a file
    // with a log folds the log in as it closes, with the syncs the log was to save. One
    // connection held for as long as this index is used keeps that for the end. Without it
    // the index works the same, only at that cost.
    try {
        auto keeper = RecipeFile::fromDatabasePath(withoutRecipeSuffix(db.FileName())).open();
        keeper->AttachSideFile(kSchema, file);
        keeper->Query(QStringLiteral("SELECT count(*) FROM search.sqlite_master"));
        m_keeper = std::move(keeper);
    } catch (const StoreError&) {
    }
}

void SearchIndex::releaseKeeper() {
    const QMutexLocker lock(&m_keeperMutex);
    m_keeper.reset();
}

void SearchIndex::prepare(Database& /*db*/, const RecipeChange& /*change*/) {
    m_deferred.clear();
}

SearchIndex::Step SearchIndex::stepOf(const Database& db, const RecipeChange& change) const {
    Step s{change, 0, 0};
    const QString& cat = change.place.category;
    using Kind = RecipeChange::Kind;
    switch (change.kind) {
    case Kind::Added:
        s.chars = rowChars(db, cat, change.place.rowid);
        break;
    case Kind::Edited:
        s.chars = valuesChars(db, change.after) - rowChars(db, cat, change.place.rowid);
        break;
    case Kind::Deleted:
        s.chars = -rowChars(db, cat, change.place.rowid);
        s.maxRowid =
            db.Query(QStringLiteral("SELECT coalesce(max(rowid),0) FROM main.%1 WHERE rowid <> ?1")
                         .arg(quotedIdentifier(cat)),
                     {v64(change.place.rowid)})
                .value(0)
                .value(0)
                .toLongLong();
        break;
    default:
        break;
    }
    return s;
}

void SearchIndex::record(Database& db, const RecipeChange& change) {
    // An index not yet built is built whole when it is next opened; until then there is
    // nothing to keep up to date.
    if (!isBuilt(db))
        return;
    // The index is derived from the recipe file: it follows each change once the recipe file
    // has committed, in a transaction of its own, so that the commit a user waits for touches
    // one file. Until then it is stale by its fingerprint, never trusted wrongly. (A failed
    // write of the full-text table in a transaction that also made or dropped a table of the
    // recipe file used to bring the engine down.)
    // Nobody else has written since the index was last found current (the write lock is ours
    // now), so after this write it is current again without reading the file.
    if (m_deferred.isEmpty())
        m_deferTrust = seen(db) == m_current;
    m_deferred.append(stepOf(db, change));
}

void SearchIndex::apply(Database& db, const Step& step) {
    const RecipeChange& change = step.change;
    const QString& cat = change.place.category;
    using Kind = RecipeChange::Kind;
    if (change.kind == Kind::CategoryAdded) {
        db.Execute(QStringLiteral("INSERT OR REPLACE INTO search.categories(name, rows, maxrowid, "
                                  "chars) VALUES (?1, 0, 0, 0)"),
                   {cat});
        return;
    }
    const std::int64_t id = categoryId(db, cat);
    // A category the index does not know means the file was changed elsewhere: the
    // fingerprint already differs, and the rebuild on opening puts it right.
    if (id == 0)
        return;
    if (change.kind == Kind::CategoryDeleted) {
        db.Execute(QStringLiteral("DELETE FROM search.recipes WHERE docid >= ?1 AND docid < ?2"),
                   {v64(docidOf(id, 0)), v64(docidOf(id + 1, 0))});
        db.Execute(QStringLiteral("DELETE FROM search.categories WHERE id = ?1"), {v64(id)});
        return;
    }
    const std::int64_t rowid = change.place.rowid;
    const bool indexed = rowid >= 0 && rowid < kRowLimit;
    const std::int64_t docid = docidOf(id, rowid);
    switch (change.kind) {
    case Kind::Added:
        if (indexed)
            insertRecipe(db, docid, change.after);
        db.Execute(QStringLiteral("UPDATE search.categories SET rows = rows + 1, maxrowid = "
                                  "max(maxrowid, ?2), chars = chars + ?3 WHERE id = ?1"),
                   {v64(id), v64(rowid), v64(step.chars)});
        break;
    case Kind::Edited:
        if (indexed) {
            deleteRecipe(db, docid);
            insertRecipe(db, docid, change.after);
        }
        db.Execute(QStringLiteral("UPDATE search.categories SET chars = chars + ?2 WHERE id = ?1"),
                   {v64(id), v64(step.chars)});
        break;
    case Kind::Deleted:
        if (indexed)
            deleteRecipe(db, docid);
        db.Execute(QStringLiteral("UPDATE search.categories SET rows = rows - 1, maxrowid = ?2, "
                                  "chars = chars + ?3 WHERE id = ?1"),
                   {v64(id), v64(step.maxRowid), v64(step.chars)});
        break;
    default:
        break;
    }
}

SearchIndex::Seen SearchIndex::seen(const Database& db) {
    const QString file = QFileInfo(db.FileName()).absoluteFilePath();
    return {file, FileStamp::of(file)};
}

SearchIndex::Seen SearchIndex::remembered(const Database& db) {
    Seen s{QFileInfo(db.FileName()).absoluteFilePath(), {}};
    for (const QVariantList& r : db.Query(QStringLiteral(
             "SELECT key, value FROM search.meta WHERE key IN ('size', 'modified', 'changed')"))) {
        const QString key = r.at(0).toString();
        const qint64 value = r.at(1).toLongLong();
        if (key == QLatin1String("size"))
            s.stamp.size = value;
        else if (key == QLatin1String("modified"))
            s.stamp.modified = value;
        else
            s.stamp.changed = value;
    }
    return s;
}

void SearchIndex::remember(Database& db, const Seen& seen) {
    const FileStamp& st = seen.stamp;
    for (const auto& [key, value] :
         {std::pair{"size", st.size}, {"modified", st.modified}, {"changed", st.changed}})
        db.Execute(QStringLiteral("INSERT OR REPLACE INTO search.meta VALUES (?1, ?2)"),
                   {QString::fromLatin1(key), v64(value)});
}

void SearchIndex::committed(Database& db) {
    if (m_deferred.isEmpty())
        return;
    const QList<Step> steps = std::exchange(m_deferred, {});
    // The recipe file has its change whatever happens here: an index that can't follow is
    // stale by its fingerprint and rebuilt when next opened.
    try {
        Seen after;
        db.Transaction(
            [&] {
                for (const Step& s : steps)
                    apply(db, s);
                after = seen(db);
            },
            kSchema);
        if (m_deferTrust)
            m_current = after;
    } catch (const StoreError&) {
    }
}

void SearchIndex::closing(Database& db) {
    // Only a file untouched since this index last found it current, and only what is news.
    if (!m_current.stamp.valid() || m_current == m_remembered || !(seen(db) == m_current))
        return;
    attach(db);
    db.Transaction([&] { remember(db, m_current); }, kSchema);
    m_remembered = m_current;
}

bool SearchIndex::isCurrent(Database& db, const Progress& progress) {
    attach(db);
    if (!isBuilt(db))
        return false;
    // Checking the fingerprint reads every recipe; a file untouched since is still current.
    const Seen now = seen(db);
    const bool known = now.stamp.valid();
    if (known && now == m_current)
        return true;
    if (known && now == remembered(db)) {
        m_current = m_remembered = now;
        return true;
    }
    QHash<QString, Fingerprint> stored;
    for (const QVariantList& r :
         db.Query(QStringLiteral("SELECT name, rows, maxrowid, chars FROM search.categories")))
        stored.insert(r.at(0).toString(),
                      {r.at(1).toLongLong(), r.at(2).toLongLong(), r.at(3).toLongLong()});
    const QStringList categories = categoriesOf(db);
    if (categories.size() != stored.size())
        return false;
    for (qsizetype i = 0; i < categories.size(); ++i) {
        const auto it = stored.constFind(categories.at(i));
        if (it == stored.constEnd() || !(*it == fingerprintOf(db, categories.at(i))))
            return false;
        reportProgress(progress, i + 1, categories.size());
    }
    m_current = now;
    // Only the index file is written, so the recipe file stays as it was found.
    try {
        db.Transaction([&] { remember(db, now); }, kSchema);
        m_remembered = now;
    } catch (const StoreError&) {
        // What is kept only saves the next start this check: no failure of the search.
    }
    return true;
}

void SearchIndex::rebuild(Database& db, const Progress& progress) {
    attach(db);
    // The rebuild only reads the recipe file, so this is how it is when the index is whole.
    const Seen now = seen(db);
    const QStringList categories = categoriesOf(db);
    // The full-text table's merges want more than the default cache.
    db.Query(QStringLiteral("PRAGMA search.cache_size = -65536"));
    db.Transaction([&] {
        db.Execute(QStringLiteral("DELETE FROM search.meta"));
        db.Execute(QStringLiteral("DELETE FROM search.categories"));
        // Dropping the table is far quicker than deleting every document from it.
        db.Execute(QStringLiteral("DROP TABLE search.recipes"));
        db.Execute(kCreateRecipes);
        std::int64_t id = 0;
        for (const QString& c : categories) {
            ++id;
            const Fingerprint f = fingerprintOf(db, c);
            db.Execute(QStringLiteral("INSERT INTO search.categories(id, name, rows, maxrowid, "
                                      "chars) VALUES (?1, ?2, ?3, ?4, ?5)"),
                       {v64(id), c, v64(f.rows), v64(f.maxRowid), v64(f.chars)});
            const QStringList cols = recipeColumns(db, c);
            db.Execute(QStringLiteral("INSERT INTO search.recipes(docid, name, author, "
                                      "ingredients, instructions) SELECT (?1 << %1) | rowid, %2 "
                                      "FROM main.%3 WHERE rowid >= 0 AND rowid < ?2")
                           .arg(kRowBits)
                           .arg(cols.join(QLatin1Char(',')), quotedIdentifier(c)),
                       {v64(id), v64(kRowLimit)});
            reportProgress(progress, id, categories.size());
        }
        // One segment per level makes every later query cheaper.
        db.Execute(QStringLiteral("INSERT INTO search.recipes(recipes) VALUES ('optimize')"));
        db.Execute(QStringLiteral("INSERT INTO search.meta VALUES ('built', ?1)"), {kVersion});
        remember(db, now);
    });
    m_current = m_remembered = now;
}

bool SearchIndex::ensureCurrent(Database& db, const Progress& progress) {
    if (isCurrent(db, progress))
        return false;
    rebuild(db, progress);
    return true;
}

SearchResult SearchIndex::search(Database& db, const QString& text, int limit, Match match) {
    attach(db);
    SearchResult result;
    const QString query = searchQuery(text);
    if (query.isEmpty())
        return result;
    // The rank of a recipe: per word or phrase, the first of the four fields it occurs in,
    // the name counting most.
    static constexpr int kWeights[4] = {1000, 100, 10, 1};
    struct Ranked {
        std::int64_t docid;
        int score;
    };
    QList<Ranked> ranked;
    QSet<std::int64_t> wordStarts;
    // Every word found as the start of a word: these rank first.
    constexpr int kWordStartRank = 100000;
    for (const QVariantList& r :
         db.Query(QStringLiteral("SELECT docid, matchinfo(recipes, 'b') FROM search.recipes "
                                 "WHERE recipes MATCH ?1"),
                  {query})) {
        const QByteArray bits = r.at(1).toByteArray();
        int score = kWordStartRank;
        for (qsizetype p = 0; p + 4 <= bits.size(); p += 4) {
            const quint32 cols = qFromUnaligned<quint32>(bits.constData() + p);
            for (int c = 0; c < 4; ++c)
                if (cols & (1u << c)) {
                    score += kWeights[c];
                    break;
                }
        }
        ranked.append({r.at(0).toLongLong(), score});
        wordStarts.insert(r.at(0).toLongLong());
    }
    // Then those where a word is found only inside a longer one, as in a compound word.
    const QStringList terms = match == Match::Anywhere ? searchTerms(text) : QStringList();
    if (!terms.isEmpty()) {
        QStringList all;
        QStringList scores;
        QVariantList binds;
        for (qsizetype i = 0; i < terms.size(); ++i) {
            binds << likePattern(terms.at(i));
            QStringList in;
            for (const char* column : {"name", "author", "ingredients", "instructions"})
                in << QStringLiteral("%1 LIKE ?%2 ESCAPE '\\'")
                          .arg(QLatin1String(column))
                          .arg(i + 1);
            all << QLatin1Char('(') + in.join(QStringLiteral(" OR ")) + QLatin1Char(')');
            scores << QStringLiteral("CASE WHEN %1 THEN %5 WHEN %2 THEN %6 WHEN %3 THEN %7 "
                                     "WHEN %4 THEN %8 ELSE 0 END")
                          .arg(in.at(0), in.at(1), in.at(2), in.at(3))
                          .arg(kWeights[0])
                          .arg(kWeights[1])
                          .arg(kWeights[2])
                          .arg(kWeights[3]);
        }
        for (const QVariantList& r :
             db.Query(QStringLiteral("SELECT docid, %1 FROM search.recipes WHERE %2")
                          .arg(scores.join(QLatin1Char('+')), all.join(QStringLiteral(" AND "))),
                      binds)) {
            const std::int64_t docid = r.at(0).toLongLong();
            if (!wordStarts.contains(docid))
                ranked.append({docid, static_cast<int>(r.at(1).toLongLong())});
        }
    }
    result.total = static_cast<int>(ranked.size());
    const qsizetype shown = std::min<qsizetype>(limit, ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + shown, ranked.end(),
                      [](const Ranked& a, const Ranked& b) {
                          return a.score != b.score ? a.score > b.score : a.docid < b.docid;
                      });
    if (shown == 0)
        return result;

    QHash<std::int64_t, QString> categories;
    for (const QVariantList& r : db.Query(QStringLiteral("SELECT id, name FROM search.categories")))
        categories.insert(r.at(0).toLongLong(), r.at(1).toString());
    QStringList ids;
    QStringList startIds;
    QHash<std::int64_t, qsizetype> place;
    for (qsizetype i = 0; i < shown; ++i) {
        const std::int64_t docid = ranked.at(i).docid;
        ids << QString::number(docid);
        if (wordStarts.contains(docid))
            startIds << QString::number(docid);
        place.insert(docid, i);
    }
    result.hits.resize(shown);
    for (const QVariantList& r :
         db.Query(QStringLiteral("SELECT docid, name, author, ingredients, instructions FROM "
                                 "search.recipes WHERE docid IN (%1)")
                      .arg(ids.join(QLatin1Char(','))))) {
        const std::int64_t docid = r.at(0).toLongLong();
        SearchHit& h = result.hits[place.value(docid)];
        h.recipe.place = {categories.value(docid >> kRowBits), docid & (kRowLimit - 1)};
        const QStringList texts{r.at(1).toString(), r.at(2).toString(), r.at(3).toString(),
                                r.at(4).toString()};
        for (size_t i = 0; i < h.recipe.fields.size(); ++i)
            h.recipe.fields[i] = texts.at(static_cast<qsizetype>(i));
        h.score = ranked.at(place.value(docid)).score;
        if (!wordStarts.contains(docid))
            h.snippet = innerSnippet(texts, terms);
    }
    if (startIds.isEmpty())
        return result;
    const QString snippet = QStringLiteral("snippet(recipes, '%1', '%2', '\u2026', -1, 12)")
                                .arg(kMarkOpen)
                                .arg(kMarkClose);
    for (const QVariantList& r :
         db.Query(QStringLiteral("SELECT docid, %1 FROM search.recipes WHERE recipes "
                                 "MATCH ?1 AND docid IN (%2)")
                      .arg(snippet, startIds.join(QLatin1Char(','))),
                  {query}))
        result.hits[place.value(r.at(0).toLongLong())].snippet = r.at(1).toString().simplified();
    return result;
}

} // namespace kb
