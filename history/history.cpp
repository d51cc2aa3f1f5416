#include "history/history.h"

#include "core/app.h"
#include "core/recipefile.h"
#include "core/recipetable.h"
#include "core/store_error.h"

#include <QFileInfo>
#include <QSet>

namespace kb {

namespace {

// The columns are typeless, so that every value keeps the bytes and the kind it had in the
// recipe file.
const QString kCreate = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS history.entries (id INTEGER PRIMARY KEY AUTOINCREMENT, "
    "category, name, author, ingredients, instructions, at INTEGER NOT NULL, why INTEGER NOT "
    "NULL);"
    "CREATE INDEX IF NOT EXISTS history.entries_at ON entries (at)");

bool isAttached(const Database& db) {
    for (const QVariantList& row : db.Query(QStringLiteral("PRAGMA database_list")))
        if (row.value(1).toString() == kHistorySchema)
            return true;
    return false;
}

// The first four columns of a category, as a select list (NULL where a table has fewer).
QString fourColumns(const Database& db, const QString& table) {
    const QList<QVariantList> info =
        db.Query(QStringLiteral("PRAGMA main.table_info(%1)").arg(quotedIdentifier(table)));
    QStringList columns;
    for (int i = 0; i < 4; ++i)
        columns << (i < info.size() ? quotedIdentifier(info.at(i).value(1).toString())
                                    : QStringLiteral("NULL"));
    return columns.join(QLatin1String(", "));
}

std::optional<QString> textOf(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(v.toByteArray());
    return v.toString();
}

int whyCode(RecipeChange::Kind kind) {
    switch (kind) {
    case RecipeChange::Kind::Edited:
        return static_cast<int>(HistoryEntry::Why::Edited);
    case RecipeChange::Kind::CategoryDeleted:
        return static_cast<int>(HistoryEntry::Why::CategoryDeleted);
    default:
        return static_cast<int>(HistoryEntry::Why::Deleted);
    }
}

HistoryEntry::Why whyOf(const QVariant& v) {
    const int code = v.toInt();
    if (code == static_cast<int>(HistoryEntry::Why::Edited))
        return HistoryEntry::Why::Edited;
    if (code == static_cast<int>(HistoryEntry::Why::CategoryDeleted))
        return HistoryEntry::Why::CategoryDeleted;
    return HistoryEntry::Why::Deleted;
}

// The category's name as the file spells it (names are alike whatever their letter case).
std::optional<QString> existingCategory(const Database& db, const QString& category) {
    for (const QString& t : db.TableDefs())
        if (!isExcludedTable(t) && t.compare(category, Qt::CaseInsensitive) == 0)
            return t;
    return std::nullopt;
}

// `name` when no recipe of `table` has it (as the window compares names: without surrounding
// spaces, whatever their case), else the first of "name (2)", "name (3)", ... that is free,
// within the 255 characters a name column holds.
QString freeName(Database& db, const QString& table, const QString& name) {
    const QList<QVariantList> info =
        db.Query(QStringLiteral("PRAGMA main.table_info(%1)").arg(quotedIdentifier(table)));
    if (info.isEmpty())
        return name;
    QSet<QString> taken;
    for (const QVariantList& row : db.Query(
             QStringLiteral("SELECT %1 FROM main.%2")
                 .arg(quotedIdentifier(info.first().value(1).toString()), quotedIdentifier(table))))
        taken.insert(trimSpaces(row.value(0).toString()).toCaseFolded());
    if (!taken.contains(name.toCaseFolded()))
        return name;
    constexpr qsizetype kNameColumn = 255;
    for (int n = 2;; ++n) {
        const QString number = QStringLiteral(" (%1)").arg(n);
        QString candidate = trimSpaces(name.left(kNameColumn - number.size())) + number;
        if (!taken.contains(candidate.toCaseFolded()))
            return candidate;
    }
}

} // namespace

QString historyFileOf(const QString& databasePath) {
    return RecipeFile::fromDatabasePath(databasePath).historyFile();
}

QString whyText(HistoryEntry::Why why) {
    switch (why) {
    case HistoryEntry::Why::Edited:
        return QStringLiteral("edited");
    case HistoryEntry::Why::CategoryDeleted:
        return QStringLiteral("category deleted");
    case HistoryEntry::Why::Deleted:
        break;
    }
    return QStringLiteral("deleted");
}

void attachHistory(Database& db) {
    if (isAttached(db))
        return;
    attachOwnSideFile(db, kHistorySchema, historyFileOf(db.FileName()));
    if (db.Query(QStringLiteral("SELECT 1 FROM history.sqlite_master WHERE name = 'entries'"))
            .isEmpty()) {
        db.Transaction([&] {
            for (const QString& sql : kCreate.split(QLatin1Char(';')))
                db.Execute(sql);
        });
    }
}

HistoryFollower::HistoryFollower(Clock clock) : m_clock(std::move(clock)) {
    if (!m_clock)
        m_clock = [] { return QDateTime::currentDateTimeUtc(); };
}

void HistoryFollower::attach(Database& db) {
    attachHistory(db);
}

void HistoryFollower::record(Database& db, const RecipeChange& change) {
    const bool whole = change.kind == RecipeChange::Kind::CategoryDeleted;
    if (!whole && change.kind != RecipeChange::Kind::Deleted &&
        change.kind != RecipeChange::Kind::Edited)
        return;
    // A category that is not there is the change's own failure to report, in its own words.
    if (db.Query(QStringLiteral("SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND name "
                                "= ?1 COLLATE NOCASE"),
                 {change.place.category})
            .isEmpty())
        return;
    const QDateTime now = m_clock();
    const qint64 at = now.toMSecsSinceEpoch();
    const QVariantList binds{change.place.category, at, whyCode(change.kind)};
    // Copied inside the engine: the values reach the history with their bytes untouched, and a
    // category of ten thousand recipes costs one statement.
    const QString copy =
        QStringLiteral("INSERT INTO history.entries (category, name, author, ingredients, "
                       "instructions, at, why) SELECT ?1, %1, ?2, ?3 FROM main.%2")
            .arg(fourColumns(db, change.place.category), quotedIdentifier(change.place.category));
    if (whole) {
        db.Execute(copy + QStringLiteral(" ORDER BY rowid"), binds);
    } else if (db.Execute(copy + QStringLiteral(" WHERE rowid = ?4"),
                          QVariantList(binds) << QVariant::fromValue<qint64>(change.place.rowid)) ==
               0) {
        // The row was not found by its id: keep the values the store read from it.
        QVariantList values{change.place.category};
        for (int i = 0; i < 4; ++i) {
            const auto& v = change.before[static_cast<size_t>(i)];
            values << (v ? QVariant(*v) : QVariant());
        }
        values << at << whyCode(change.kind);
        db.Execute(QStringLiteral("INSERT INTO history.entries (category, name, author, "
                                  "ingredients, instructions, at, why) VALUES (?1, ?2, ?3, ?4, "
                                  "?5, ?6, ?7)"),
                   values);
    }
    pruneHistory(db, now);
}

void pruneHistory(Database& db, const QDateTime& now) {
    const qint64 cutoff = now.addDays(-kHistoryDays).toMSecsSinceEpoch();
    db.Execute(QStringLiteral("DELETE FROM history.entries WHERE at < ?1 AND id < (SELECT "
                              "coalesce(min(id), 0) FROM (SELECT id FROM history.entries ORDER "
                              "BY id DESC LIMIT ?2))"),
               {cutoff, kHistoryKeptAlways});
}

QList<HistoryEntry> listHistory(Database& db) {
    attachHistory(db);
    QList<HistoryEntry> out;
    const QList<QVariantList> rows = db.Query(
        QStringLiteral("SELECT id, category, name, at, why FROM history.entries ORDER BY id DESC"));
    out.reserve(rows.size());
    for (const QVariantList& r : rows) {
        HistoryEntry e;
        e.id = r.value(0).toLongLong();
        e.recipe.place.category = r.value(1).toString();
        e.recipe.fields[0] = textOf(r.value(2));
        e.when = QDateTime::fromMSecsSinceEpoch(r.value(3).toLongLong(), Qt::UTC);
        e.why = whyOf(r.value(4));
        out.append(std::move(e));
    }
    return out;
}

std::optional<HistoryEntry> historyEntry(Database& db, std::int64_t id) {
    attachHistory(db);
    const QList<QVariantList> rows =
        db.Query(QStringLiteral("SELECT id, category, name, author, ingredients, instructions, "
                                "at, why FROM history.entries WHERE id = ?1"),
                 {QVariant::fromValue<qint64>(id)});
    if (rows.isEmpty())
        return std::nullopt;
    const QVariantList& r = rows.first();
    HistoryEntry e;
    e.id = r.value(0).toLongLong();
    e.recipe.place.category = r.value(1).toString();
    for (int i = 2; i < 6; ++i)
        e.recipe.fields[static_cast<size_t>(i - 2)] = textOf(r.value(i));
    e.when = QDateTime::fromMSecsSinceEpoch(r.value(6).toLongLong(), Qt::UTC);
    e.why = whyOf(r.value(7));
    return e;
}

QList<HistoryEntry> listHistory(const RecipeFile& file) {
    std::unique_ptr<Database> db = file.open();
    QList<HistoryEntry> out = listHistory(*db);
    db->Close();
    return out;
}

std::optional<HistoryEntry> historyEntry(const RecipeFile& file, std::int64_t id) {
    std::unique_ptr<Database> db = file.open();
    std::optional<HistoryEntry> out = historyEntry(*db, id);
    db->Close();
    return out;
}

HistoryEntry putBack(RecipeFile& file, std::int64_t id, QString* cameBackAs) {
    std::unique_ptr<Database> db = file.open();
    attachHistory(*db);
    const std::optional<HistoryEntry> entry = historyEntry(*db, id);
    if (!entry)
        throw StoreError(QStringLiteral("That recipe is no longer in the history."));
    QString backAs;
    // One change for the followers: the day's first backup is taken before it, and the index
    // learns of the file as committed.
    file.write(
        *db,
        {RecipeChange::Kind::Added, {entry->recipe.place.category, 0}, {}, entry->recipe.fields},
        [&](RecipeChange& c) {
            std::optional<QString> table = existingCategory(*db, entry->recipe.place.category);
            if (!table)
                table = file.createCategory(*db, entry->recipe.place.category);
            c.place.category = *table;
            // A recipe of its name came in since: this one comes back under a
            // numbered name, as an import names it, so that both stay within reach.
            const QString name = freeName(*db, *table, entry->recipe.name());
            backAs = name;
            if (name != entry->recipe.name()) {
                c.before = entry->recipe.fields;
                c.after[0] = name;
            }
            // A new row at the end, its values copied inside the engine.
            const std::int64_t added = db->Execute(
                QStringLiteral("INSERT INTO main.%1 (%2) SELECT %3, author, "
                               "ingredients, instructions FROM history.entries WHERE id "
                               "= ?1")
                    .arg(quotedIdentifier(*table), fourColumns(*db, *table),
                         name == entry->recipe.name() ? QStringLiteral("name")
                                                      : QStringLiteral("?2")),
                name == entry->recipe.name() ? QVariantList{QVariant::fromValue<qint64>(id)}
                                             : QVariantList{QVariant::fromValue<qint64>(id), name});
            // Another window or command put it back meanwhile: say so, not "Put back".
            if (added != 1)
                throw StoreError(QStringLiteral("That recipe is no longer in the history: "
                                                "it was put back or removed meanwhile, so "
                                                "nothing was changed."));
            c.place.rowid = db->LastInsertId();
            db->Execute(QStringLiteral("DELETE FROM history.entries WHERE id = ?1"),
                        {QVariant::fromValue<qint64>(id)});
        });
    db->Close();
    if (cameBackAs)
        *cameBackAs = backAs;
    return *entry;
}

} // namespace kb
