#include "history/backups.h"

#include "core/recipefile.h"
#include "core/recipelock.h"
#include "core/store_error.h"
#include "history/history.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace kb {

namespace {

const QRegularExpression& backupName() {
    static const QRegularExpression re(
        QStringLiteral("^Recipe-(\\d{8}-\\d{6})(?:-(\\d+))?\\.mdb$"));
    return re;
}

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

const QString kDetails = QStringLiteral("details");

// The copy of the details taken with a backup of the recipe file, beside it.
QString companionOf(const QString& mdbFile) {
    return withoutRecipeSuffix(mdbFile) + QStringLiteral(".details");
}

QString detailsFileOf(const QString& databasePath) {
    return RecipeFile::fromDatabasePath(databasePath).detailsFile();
}

// Attaches the details beside the open recipe file when there are any; true when attached.
bool attachDetailsIfThere(Database& db) {
    for (const QVariantList& row : db.Query(QStringLiteral("PRAGMA database_list")))
        if (row.value(1).toString() == kDetails)
            return true;
    const QString file = detailsFileOf(withoutRecipeSuffix(db.FileName()));
    if (!QFileInfo::exists(file))
        return false;
    db.AttachSideFile(kDetails, file);
    return true;
}

// A name for a new backup taken at `now` that no backup has yet.
QString newBackupName(const QDir& dir, const QDateTime& now) {
    const QString stamp = now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = QStringLiteral("Recipe-%1").arg(stamp) + kRecipeSuffix;
    for (int n = 2; QFileInfo::exists(dir.filePath(name)); ++n)
        name = QStringLiteral("Recipe-%1-%2").arg(stamp).arg(n) + kRecipeSuffix;
    return dir.filePath(name);
}

QDir ensureBackupsFolder(const QString& databasePath) {
    const QString folder = backupsFolderOf(databasePath);
    if (!QDir().mkpath(folder))
        throw StoreError(QStringLiteral("the folder \"%1\" can't be made.").arg(shown(folder)));
    matchRecipeFileMode(recipeFileOf(databasePath), folder);
    return QDir(folder);
}

FileCheck quickCheck(const Database& db, const QString& schema) {
    const QList<QVariantList> rows = db.Query(QStringLiteral("PRAGMA %1.quick_check").arg(schema));
    QStringList problems;
    for (const QVariantList& r : rows)
        if (r.value(0).toString() != QLatin1String("ok"))
            problems << r.value(0).toString();
    if (problems.isEmpty())
        return {true, QStringLiteral("ok")};
    return {false, QStringLiteral("damaged: ") + problems.mid(0, 3).join(QLatin1String("; "))};
}

// Copies a file as it is, flushed to the disk, under `to` (replaced).
void copyFile(const QString& from, const QString& to, const Progress& progress) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        throw StoreError(
            QStringLiteral("\"%1\" can't be read: %2.").arg(shown(from), in.errorString()));
    QFile::remove(to);
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly))
        throw StoreError(
            QStringLiteral("\"%1\" can't be written: %2.").arg(shown(to), out.errorString()));
    const qint64 total = in.size();
    qint64 done = 0;
    QByteArray chunk;
    while (!(chunk = in.read(4 << 20)).isEmpty()) {
        if (out.write(chunk) != chunk.size()) {
            out.remove();
            throw StoreError(
                QStringLiteral("\"%1\" can't be written: %2.").arg(shown(to), out.errorString()));
        }
        done += chunk.size();
        reportProgress(progress, done, total);
    }
    if (!out.flush() || ::fsync(out.handle()) != 0) {
        out.remove();
        throw StoreError(QStringLiteral("\"%1\" can't be written.").arg(shown(to)));
    }
    // A copy is no more open than what it copies.
    matchRecipeFileMode(from, to);
}

} // namespace

QString recipeFileOf(const QString& databasePath) {
    return databasePath + kRecipeSuffix;
}

QString backupsFolderOf(const QString& databasePath) {
    return QFileInfo(databasePath).absolutePath() + QStringLiteral("/Backups");
}

QString recipeLockFileOf(const QString& databasePath) {
    return recipeLockPath(QFileInfo(databasePath).absolutePath());
}

QList<BackupInfo> listBackups(const QString& databasePath) {
    QList<BackupInfo> out;
    const QDir dir(backupsFolderOf(databasePath));
    for (const QFileInfo& fi :
         dir.entryInfoList({QStringLiteral("Recipe-*") + kRecipeSuffix}, QDir::Files)) {
        const QRegularExpressionMatch m = backupName().match(fi.fileName());
        if (!m.hasMatch())
            continue;
        BackupInfo b;
        b.path = fi.absoluteFilePath();
        b.when = QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
        b.size = fi.size();
        if (b.when.isValid())
            out.append(b);
    }
    // Newest first; two of the same second by their serial (the file name sorts so).
    std::sort(out.begin(), out.end(), [](const BackupInfo& a, const BackupInfo& b) {
        if (a.when != b.when)
            return a.when > b.when;
        const QString na = QFileInfo(a.path).fileName(), nb = QFileInfo(b.path).fileName();
        return na.size() != nb.size() ? na.size() > nb.size() : na > nb;
    });
    return out;
}

FileCheck checkRecipeFile(const QString& mdbFile) {
    bool opened = false;
    try {
        auto db = Database::OpenDatabase(withoutRecipeSuffix(mdbFile));
        opened = true;
        FileCheck result = quickCheck(*db, QStringLiteral("main"));
        db->Close();
        result.opened = true;
        return result;
    } catch (const StoreError& e) {
        return {false, e.message(), opened};
    }
}

std::optional<QString> damagedFileMessage(const QString& databasePath) {
    const QString file = recipeFileOf(databasePath);
    const FileCheck check = checkRecipeFile(file);
    if (check.clean || !check.opened)
        return std::nullopt;
    QString text =
        QStringLiteral("The recipe file \"%1\" is damaged: some of its recipes may be lost or "
                       "unreadable (%2).\r\n\r\n")
            .arg(shown(file), check.detail);
    if (const std::optional<BackupInfo> b = newestCleanBackup(databasePath))
        text += QStringLiteral("The newest backup that is in good order is \"%1\", made %2. To "
                               "put it in place of the damaged file, close Kettlebox and "
                               "run:\r\n\r\nkettlebox-db restore \"%1\" \"%3\"")
                    .arg(shown(b->path), b->when.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                         shown(QFileInfo(databasePath).absolutePath()));
    else
        text += QStringLiteral("No backup in good order was found in \"%1\". Make a copy of the "
                               "file before changing anything.")
                    .arg(shown(backupsFolderOf(databasePath)));
    return text;
}

FileCheck checkHistoryFile(const QString& databasePath) {
    if (!QFileInfo::exists(historyFileOf(databasePath)))
        return {true, QStringLiteral("ok (no history yet)")};
    try {
        auto db = Database::OpenDatabase(databasePath);
        db->AttachSideFile(kHistorySchema, historyFileOf(databasePath));
        FileCheck result = quickCheck(*db, kHistorySchema);
        db->Close();
        return result;
    } catch (const StoreError& e) {
        return {false, e.message()};
    }
}

std::optional<BackupInfo> newestCleanBackup(const QString& databasePath) {
    for (const BackupInfo& b : listBackups(databasePath))
        if (checkRecipeFile(b.path).clean)
            return b;
    return std::nullopt;
}

QString makeBackup(Database& db, const Progress& progress, const QDateTime& now, bool prune) {
    const QString databasePath = withoutRecipeSuffix(db.FileName());
    const QDir dir = ensureBackupsFolder(databasePath);
    // Copies left by a backup that was killed are of no use to anyone.
    for (const QFileInfo& fi : dir.entryInfoList({QStringLiteral(".partial-*") + kRecipeSuffix},
                                                 QDir::Files | QDir::Hidden)) {
        bool ok = false;
        const pid_t pid = fi.completeBaseName().mid(9).toInt(&ok);
        if (ok && pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) {
            QFile::remove(fi.absoluteFilePath());
            QFile::remove(fi.absoluteFilePath() + QStringLiteral("-journal"));
            QFile::remove(companionOf(fi.absoluteFilePath()));
        }
    }
    // Under a name the listing ignores until the copy is complete and checks clean.
    const QString temp = dir.filePath(
        QStringLiteral(".partial-%1").arg(QCoreApplication::applicationPid()) + kRecipeSuffix);
    const QString tempDetails = companionOf(temp);
    // The details go with the recipes they belong to: both copies are of one committed state,
    // taken again when another program wrote between the two.
    const bool withDetails = attachDetailsIfThere(db);
    for (int attempt = 0;; ++attempt) {
        const std::int64_t before =
            withDetails ? db.DataVersion(QStringLiteral("main")) + db.DataVersion(kDetails) : 0;
        db.BackupTo(temp, progress);
        if (!withDetails)
            break;
        try {
            db.BackupSideFileTo(kDetails, tempDetails);
        } catch (const StoreError&) {
            QFile::remove(temp);
            throw;
        }
        constexpr int kAttempts = 3;
        if (db.DataVersion(QStringLiteral("main")) + db.DataVersion(kDetails) == before ||
            attempt + 1 == kAttempts)
            break;
    }
    const FileCheck check = checkRecipeFile(temp);
    if (!check.clean) {
        QFile::remove(temp);
        QFile::remove(tempDetails);
        throw StoreError(QStringLiteral("the copy did not check clean (%1).").arg(check.detail));
    }
    QString target = newBackupName(dir, now);
    // The details first: the listing goes by the recipe file's copy alone.
    if ((withDetails && !QFile::rename(tempDetails, companionOf(target))) ||
        !QFile::rename(temp, target)) {
        QFile::remove(temp);
        QFile::remove(tempDetails);
        QFile::remove(companionOf(target));
        throw StoreError(QStringLiteral("\"%1\" can't be written.").arg(shown(target)));
    }
    if (prune)
        pruneBackups(databasePath, now);
    return target;
}

QString backupRecipeFile(const QString& databasePath, const Progress& progress, bool prune) {
    auto db = Database::OpenDatabase(databasePath);
    QString path = makeBackup(*db, progress, QDateTime::currentDateTime(), prune);
    db->Close();
    return path;
}

void pruneBackups(const QString& databasePath, const QDateTime& now) {
    const QList<BackupInfo> all = listBackups(databasePath);
    QSet<QString> keep;
    QSet<QDate> daysSeen;
    const QDate firstDay = now.date().addDays(-(kBackupDays - 1));
    for (qsizetype i = 0; i < all.size(); ++i) {
        const BackupInfo& b = all.at(i);
        if (i < kBackupsKeptNewest)
            keep.insert(b.path);
        const QDate day = b.when.date();
        if (day >= firstDay && !daysSeen.contains(day)) {
            daysSeen.insert(day);
            keep.insert(b.path);
        }
    }
    for (const BackupInfo& b : all)
        if (!keep.contains(b.path)) {
            QFile::remove(b.path);
            QFile::remove(companionOf(b.path));
        }
}

QString restoreBackup(const QString& backupFile, const QString& databasePath,
                      const Progress& progress) {
    // Held for the whole restore, so that the program can't start on a half-replaced file and
    // no other program writes into the file being replaced.
    const RecipeFileLock lock(QFileInfo(databasePath).absolutePath(),
                              RecipeFileLock::Mode::Replace);
    if (!QFileInfo::exists(backupFile))
        throw StoreError(QStringLiteral("\"%1\" does not exist.").arg(shown(backupFile)));
    const FileCheck check = checkRecipeFile(backupFile);
    if (!check.clean)
        throw StoreError(QStringLiteral("\"%1\" does not check clean, so it was not restored: %2")
                             .arg(shown(backupFile), check.detail));

    const QString target = recipeFileOf(databasePath);
    const QString journal = target + QLatin1String("-journal");
    QString saved;
    if (QFileInfo::exists(target)) {
        try {
            // Not pruned now: the backup being restored may be the day's oldest.
            saved = backupRecipeFile(databasePath, {}, false);
        } catch (const StoreError&) {
            // A damaged file can't be copied through the engine: keep it as it is on disk,
            // with a journal a crash may have left.
            const QDir dir = ensureBackupsFolder(databasePath);
            saved = newBackupName(dir, QDateTime::currentDateTime());
            copyFile(target, saved, {});
            if (QFileInfo::exists(journal))
                copyFile(journal, saved + QLatin1String("-journal"), {});
        }
    }
    const QString temp =
        QFileInfo(target).absolutePath() + QStringLiteral("/.Recipe-restoring") + kRecipeSuffix;
    copyFile(backupFile, temp, progress);
    // The restored file keeps the access the replaced one had.
    if (!saved.isEmpty())
        matchRecipeFileMode(saved, temp);
    if (!checkRecipeFile(temp).clean) {
        QFile::remove(temp);
        throw StoreError(QStringLiteral("The copy of \"%1\" did not check clean; nothing was "
                                        "changed.")
                             .arg(shown(backupFile)));
    }
    // The details taken with the backup go back with it; a backup made before there were
    // details leaves the present ones, which belong to recipes by name, as they are.
    const QString details = detailsFileOf(databasePath);
    if (QFileInfo::exists(companionOf(backupFile))) {
        const QString tempDetails = companionOf(temp);
        try {
            copyFile(companionOf(backupFile), tempDetails, {});
        } catch (const StoreError&) {
            QFile::remove(temp);
            throw;
        }
        if (!QFile::remove(details) && QFileInfo::exists(details)) {
            QFile::remove(temp);
            QFile::remove(tempDetails);
            throw StoreError(QStringLiteral("\"%1\" can't be replaced; nothing was changed.")
                                 .arg(shown(details)));
        }
        if (std::rename(QFile::encodeName(tempDetails).constData(),
                        QFile::encodeName(details).constData()) != 0) {
            QFile::remove(temp);
            QFile::remove(tempDetails);
            throw StoreError(QStringLiteral("\"%1\" can't be replaced; the recipe file was not "
                                            "restored.")
                                 .arg(shown(details)));
        }
    }
    // A journal left beside the old file would be played into the restored one.
    QFile::remove(journal);
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) !=
        0) {
        QFile::remove(temp);
        throw StoreError(
            QStringLiteral("\"%1\" can't be replaced; nothing was changed.").arg(shown(target)));
    }
    return saved;
}

BackupFollower::BackupFollower(FailureFn onFailure, Clock clock)
    : m_onFailure(std::move(onFailure)), m_clock(std::move(clock)) {
    if (!m_clock)
        m_clock = [] { return QDateTime::currentDateTime(); };
}

BackupFollower::~BackupFollower() = default;

void BackupFollower::attach(Database&) {}

void BackupFollower::backUpAhead(const QString& databasePath) {
    finishAhead();
    const QString file = recipeFileOf(databasePath);
    const FileStamp before = FileStamp::of(file);
    if (!before.valid() || (m_ahead && m_ahead->stamp == before && QFile::exists(m_ahead->path)))
        return;
    m_ahead.reset();
    // The work done and its total, for the progress shown should the delete have to wait.
    auto counts = std::make_shared<Counts>();
    m_aheadDone = counts;
    auto made = std::make_shared<std::optional<Ahead>>();
    m_made = made;
    m_running.start([databasePath, file, before, now = m_clock(), counts, made] {
        try {
            auto db = Database::OpenDatabase(databasePath);
            const QString path = makeBackup(
                *db,
                [counts](std::int64_t done, std::int64_t total) {
                    counts->done = done;
                    counts->total = total;
                    return true;
                },
                now);
            db->Close();
            // A write by another program meanwhile: the copy is kept, but it is not the
            // file as the delete will find it.
            if (FileStamp::of(file) == before)
                *made = Ahead{before, path};
        } catch (const std::exception&) {
            // The delete then backs up by itself, and says so if that fails too.
        }
    });
}

bool BackupFollower::aheadRunning() const {
    return m_running.running();
}

void BackupFollower::finishAhead() {
    if (!m_made)
        return;
    if (aheadRunning() && m_progress) {
        const Progress progress = m_progress();
        while (!m_running.wait(std::chrono::milliseconds(30)))
            reportProgress(progress, m_aheadDone->done, m_aheadDone->total);
    }
    m_running.wait();
    m_ahead = std::move(*m_made);
    m_made.reset();
}

void BackupFollower::prepare(Database& db, const RecipeChange& change) {
    finishAhead();
    const bool beforeCategoryDelete = change.kind == RecipeChange::Kind::CategoryDeleted;
    // Before every import as before every category delete, whatever the day has had.
    const bool always = beforeCategoryDelete || change.kind == RecipeChange::Kind::Import;
    const QDate today = m_clock().date();
    if (beforeCategoryDelete && m_ahead && m_ahead->stamp == FileStamp::of(db.FileName()) &&
        QFile::exists(m_ahead->path)) {
        // The copy made while the user chose the category is of the file as it is now.
        m_ahead.reset();
        m_lastDaily = today;
        return;
    }
    if (!always) {
        if (m_lastDaily == today)
            return;
        const QList<BackupInfo> all = listBackups(withoutRecipeSuffix(db.FileName()));
        if (!all.isEmpty() && all.first().when.date() == today) {
            m_lastDaily = today;
            return;
        }
    }
    backUp(db, always);
    m_lastDaily = today;
}

void BackupFollower::record(Database&, const RecipeChange&) {}

void BackupFollower::backUp(Database& db, bool always) {
    try {
        makeBackup(db, m_progress ? m_progress() : Progress(), m_clock());
    } catch (const StoreError& e) {
        if (m_onFailure)
            m_onFailure(e.message(), always);
    }
}

} // namespace kb
