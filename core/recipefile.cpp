#include "core/recipefile.h"

#include "core/app.h"
#include "core/recipetable.h"
#include "core/store_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>
#include <optional>
#include <utility>

#include <sys/stat.h>

namespace kb {

namespace {
const QString kBase = QStringLiteral("Recipe");
}

RecipeFile::RecipeFile(const QString& folder) : m_base(QDir(folder).filePath(kBase)) {}

RecipeFile RecipeFile::fromDatabasePath(const QString& databasePath) {
    RecipeFile file;
    file.m_base = withoutRecipeSuffix(databasePath);
    return file;
}

QString RecipeFile::folder() const {
    return isSet() ? folderOf(m_base) : QString();
}

QString RecipeFile::folderOf(const QString& fileInFolder) {
    return QFileInfo(fileInFolder).absolutePath();
}

QString RecipeFile::beside(const QString& name) const {
    return QDir(folder()).filePath(name);
}

QString RecipeFile::fileName() const {
    return m_base + kRecipeSuffix;
}
QString RecipeFile::journalFile() const {
    return fileName() + QStringLiteral("-journal");
}
QString RecipeFile::historyFile() const {
    return beside(kBase + QStringLiteral(".history"));
}
QString RecipeFile::indexFile() const {
    return beside(kBase + QStringLiteral(".index"));
}
QString RecipeFile::detailsFile() const {
    return beside(kBase + QStringLiteral(".details"));
}
QString RecipeFile::backupsFolder() const {
    return beside(QStringLiteral("Backups"));
}
QString RecipeFile::lockFile() const {
    return fileName() + QStringLiteral(".lock");
}

std::unique_ptr<Database> RecipeFile::open() const {
    return Database::OpenDatabase(databasePath(), kRecipeConnect);
}

void RecipeFile::withConnection(const std::function<void(Database&)>& work) const {
    std::unique_ptr<Database> db = open();
    try {
        work(*db);
    } catch (...) {
        try {
            db->Close();
        } catch (const std::exception&) {
            // What went wrong first is what the user is told.
        }
        throw;
    }
    db->Close();
}

KeptConnection::KeptConnection(std::function<QString()> databasePath)
    : m_databasePath(std::move(databasePath)) {}

KeptConnection::~KeptConnection() {
    close();
}

Database& KeptConnection::get() {
    if (!m_db)
        m_db = RecipeFile::fromDatabasePath(m_databasePath()).open();
    return *m_db;
}

void KeptConnection::run(const std::function<void()>& work) {
    try {
        work();
    } catch (...) {
        m_db.reset();
        throw;
    }
}

void KeptConnection::close() noexcept {
    if (!m_db)
        return;
    try {
        m_db->Close();
    } catch (const std::exception&) {
        // Nothing is written on a reading connection; the engine lets go of it anyway.
    }
    m_db.reset();
}

void RecipeFile::addFollower(RecipeFollower* follower) {
    if (follower && !m_followers.contains(follower))
        m_followers.append(follower);
}

void RecipeFile::removeFollower(RecipeFollower* follower) {
    m_followers.removeAll(follower);
}

void RecipeFile::tell(Database& db, const RecipeChange& change) const {
    for (RecipeFollower* f : m_followers)
        f->record(db, change);
}

bool RecipeFile::findRecipe(Recordset& rs, const QString& name, int occurrence,
                            bool missingIsEmpty) {
    const QString wanted = trimSpaces(name);
    if (!rs.FindFirst(wanted, missingIsEmpty))
        return false;
    for (int passed = 0; passed < occurrence;) {
        rs.MoveNext();
        if (rs.Eof())
            return false;
        const std::optional<QString> stored = rs.Fields(0);
        if ((stored || missingIsEmpty) && trimSpaces(stored.value_or(QString())) == wanted)
            ++passed;
    }
    return true;
}

int RecipeFile::occurrenceOf(Recordset& rs, const QString& name, std::int64_t rowid) {
    const QString wanted = trimSpaces(name);
    if (rs.RecordCount() == 0 || !rs.FindFirst(wanted, false))
        return 0;
    for (int seen = 0; !rs.Eof(); rs.MoveNext()) {
        if (trimSpaces(rs.Fields(0).value_or(QString())) != wanted)
            continue;
        if (rs.RowId() == rowid)
            return seen;
        ++seen;
    }
    return 0;
}

QStringList RecipeFile::recipeNames(Recordset& rs, bool& failed) {
    auto step = [&](auto&& fn) {
        try {
            fn();
        } catch (const std::exception&) {
            failed = true;
        }
    };
    int count = 0;
    step([&] { count = rs.RecordCount(); });
    // An empty table has no first row to move to; that is no failure of the category.
    if (count > 0)
        step([&] { rs.MoveFirst(); });
    QStringList names;
    names.reserve(count);
    for (int i = 0; i < count; ++i) {
        // Appending the space first turns a missing name into an empty one.
        step([&] { names << trimSpaces(rs.Fields(0).value_or(QString()) + QLatin1Char(' ')); });
        step([&] { rs.MoveNext(); });
    }
    return names;
}

void RecipeFile::refuseTakenName(Recordset& rs, const QString& category, const QString& name,
                                 std::int64_t except) {
    // Two recipes of one name in a category could not be told apart in the list: the second
    // would be out of reach of every command.
    const QString wanted = trimSpaces(name);
    if (rs.RecordCount() == 0)
        return;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        const QString stored = trimSpaces(rs.Fields(0).value_or(QString()));
        if (rs.RowId() != except && stored.compare(wanted, Qt::CaseInsensitive) == 0)
            throw StoreError(QStringLiteral("The category \"%1\" already has a recipe named "
                                            "\"%2\", so nothing was saved. Give this recipe "
                                            "another name, then save again.")
                                 .arg(category, stored));
    }
}

QList<bool> RecipeFile::categoriesWithRecipes(Database& db, const QStringList& tables,
                                              QStringList& unreadable) {
    QList<bool> rows(tables.size(), false);
    // One statement for many tables: each answer reads a table's first page only.
    constexpr qsizetype kPerStatement = 250;
    for (qsizetype from = 0; from < tables.size(); from += kPerStatement) {
        const qsizetype n = std::min(kPerStatement, tables.size() - from);
        QStringList parts;
        for (qsizetype i = 0; i < n; ++i) {
            // Naming the row id fails, as walking the rows would, on a table that has none.
            parts << QStringLiteral("EXISTS (SELECT rowid FROM main.%1)")
                         .arg(quotedIdentifier(tables.at(from + i)));
        }
        try {
            const QList<QVariantList> answer =
                db.Query(QStringLiteral("SELECT ") + parts.join(QLatin1String(", ")));
            for (qsizetype i = 0; i < n && !answer.isEmpty(); ++i)
                rows[from + i] = answer.first().value(i).toLongLong() != 0;
        } catch (const std::exception&) {
            // A table that can't be read fails the whole statement: ask each table alone, as
            // opening it would, and let the ones that fail show no rows.
            for (qsizetype i = 0; i < n; ++i) {
                try {
                    rows[from + i] = !db.OpenRecordset(tables.at(from + i))->Eof();
                } catch (const std::exception&) {
                    unreadable << tables.at(from + i);
                }
            }
        }
    }
    return rows;
}

std::int64_t RecipeFile::addRecipe(Database& db, Recordset& rs, const QString& category,
                                   const RecipeFields& fields) {
    refuseTakenName(rs, category, fields[0].value_or(QString()), -1);
    std::int64_t added = 0;
    write(db, {RecipeChange::Kind::Added, {category, 0}, {}, fields}, [&](RecipeChange& c) {
        rs.AddNew();
        setFields(rs, fields);
        rs.Update();
        added = c.place.rowid = rs.LastAddedRowId();
    });
    return added;
}

StoredRecipe RecipeFile::updateRecipe(Database& db, Recordset& rs, const QString& category,
                                      const RecipeFields& fields) {
    StoredRecipe was = readRecipe(rs, category);
    write(db, {RecipeChange::Kind::Edited, was.place, was.fields, fields}, [&](RecipeChange&) {
        rs.Edit();
        setFields(rs, fields);
        rs.Update();
    });
    return was;
}

StoredRecipe RecipeFile::deleteRecipe(Database& db, Recordset& rs, const QString& category) {
    StoredRecipe was = readRecipe(rs, category);
    write(db, {RecipeChange::Kind::Deleted, was.place, was.fields, {}},
          [&](RecipeChange&) { rs.Delete(); });
    return was;
}

QString RecipeFile::createCategory(Database& db, const QString& name) {
    const TableDef def = recipeTableDef(db, name);
    write(db, {RecipeChange::Kind::CategoryAdded, {def.Name(), 0}, {}, {}},
          [&](RecipeChange&) { db.AppendTableDef(def); });
    return def.Name();
}

void RecipeFile::deleteCategory(Database& db, const QString& name) {
    write(db, {RecipeChange::Kind::CategoryDeleted, {name, 0}, {}, {}},
          [&](RecipeChange&) { db.DeleteTableDef(name); });
}

void RecipeFile::write(Database& db, RecipeChange change,
                       const std::function<void(RecipeChange&)>& body) {
    // Followers read the rows before a removal or an overwrite, and the new row after an
    // addition; an import is only prepared for as a whole, its recipes are told one by one.
    const bool after = change.kind == RecipeChange::Kind::Added ||
                       change.kind == RecipeChange::Kind::CategoryAdded;
    const bool told = change.kind != RecipeChange::Kind::Import;
    const auto inside = [&] {
        if (told && !after)
            tell(db, change);
        body(change);
        if (told && after)
            tell(db, change);
    };
    if (db.InTransaction()) {
        inside();
        return;
    }
    for (RecipeFollower* f : m_followers)
        f->attach(db);
    // A backup taken here must not hold the file's write lock while it copies.
    for (RecipeFollower* f : m_followers)
        f->prepare(db, change);
    m_warning.clear();
    db.Transaction(inside);
    QStringList said = takeSideFileNotices();
    if (!db.UnconfirmedCommit().isEmpty())
        said << db.UnconfirmedCommit();
    m_warning = said.join(QLatin1Char('\n'));
    for (RecipeFollower* f : m_followers)
        f->committed(db);
}

void RecipeFile::closing() noexcept {
    if (!isSet() || m_followers.isEmpty())
        return;
    try {
        std::unique_ptr<Database> db = open();
        for (RecipeFollower* f : m_followers)
            f->closing(*db);
        db->Close();
    } catch (const std::exception&) {
        // What a follower keeps here only saves work on the next start.
    }
}

namespace {

QMutex g_noticesMutex;
QStringList g_notices;

} // namespace

void attachOwnSideFile(Database& db, const QString& schema, const QString& fileName) {
    try {
        db.AttachSideFile(schema, fileName);
        return;
    } catch (const StoreError&) {
        if (!db.IsSideFileOfAnother(fileName))
            throw;
    }
    QString aside = fileName + QStringLiteral(".from-another-recipe-file");
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = fileName + QStringLiteral(".from-another-recipe-file-%1").arg(n);
    const QString journal = fileName + QStringLiteral("-journal");
    // A journal beside it is its own: left there, it would be played into the new file.
    if (!QFile::rename(fileName, aside) ||
        (QFileInfo::exists(journal) && !QFile::rename(journal, aside + QStringLiteral("-journal"))))
        throw StoreError(
            QStringLiteral("\"%1\" belongs to another recipe file, and it could not "
                           "be put aside as \"%2\": its folder can't be written to.")
                .arg(QDir::toNativeSeparators(fileName), QDir::toNativeSeparators(aside)));
    {
        const QMutexLocker lock(&g_noticesMutex);
        g_notices << QStringLiteral("\"%1\" belongs to another recipe file (it can't be read "
                                    "with this one's key), so it was put aside, unchanged, as "
                                    "\"%2\", and a new one was begun.")
                         .arg(QDir::toNativeSeparators(fileName), QDir::toNativeSeparators(aside));
    }
    db.AttachSideFile(schema, fileName);
}

QStringList takeSideFileNotices() {
    const QMutexLocker lock(&g_noticesMutex);
    return std::exchange(g_notices, {});
}

namespace {

// The recipe file's permission bits, when it is there.
std::optional<mode_t> recipeFileMode(const QString& recipeFile) {
    struct stat recipe {};
    if (::stat(QFile::encodeName(recipeFile).constData(), &recipe) != 0)
        return std::nullopt;
    return recipe.st_mode & 0666;
}

} // namespace

void matchRecipeFileMode(const QString& recipeFile, const QString& made) {
    const std::optional<mode_t> recipe = recipeFileMode(recipeFile);
    struct stat target {};
    if (!recipe || ::stat(QFile::encodeName(made).constData(), &target) != 0)
        return;
    mode_t mode = *recipe;
    if (S_ISDIR(target.st_mode))
        mode |= (mode & 0444) >> 2;
    if ((target.st_mode & 07777) != mode)
        ::chmod(QFile::encodeName(made).constData(), mode);
}

QString writeWholeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // Where no temporary file can be made beside the target but the target itself can be
    // replaced, it is written in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return file.errorString();
    if (const auto mode = recipeFileMode(RecipeFile(QFileInfo(path).absolutePath()).fileName()))
        ::fchmod(file.handle(), *mode);
    if (file.write(bytes) != bytes.size()) {
        QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

QString withoutRecipeSuffix(const QString& fileName) {
    return fileName.endsWith(kRecipeSuffix) ? fileName.chopped(kRecipeSuffix.size()) : fileName;
}

} // namespace kb
