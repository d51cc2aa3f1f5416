#include "access/convert.h"

#include "access/header.h"
#include "core/app.h"
#include "core/database.h"
#include "core/recipefields.h"
#include "core/recipefile.h"
#include "core/recipelock.h"
#include "core/recipetable.h"
#include "core/store_error.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kb::access {

namespace {

const QString kPlaceholder = QStringLiteral("zzzNothing");
const char* const kColumnNames[4] = {"name", "author", "ingredients", "instructions"};

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString rowLabel(const SourceTable& t, qsizetype row) {
    const QString name = trimSpaces(t.rows[row][0].text);
    return name.isEmpty()
               ? QStringLiteral("\"%1\", recipe %2").arg(t.name).arg(row + 1)
               : QStringLiteral("\"%1\", recipe %2 (\"%3\")").arg(t.name).arg(row + 1).arg(name);
}

QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    if (!h.addData(&f))
        return {};
    return h.result();
}

void syncPath(const QString& path, bool directory) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          (directory ? O_DIRECTORY : 0) | O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw StoreError(QStringLiteral("\"%1\" could not be written to disk.").arg(native(path)));
    const int rc = ::fsync(fd);
    ::close(fd);
    if (rc != 0 && !directory)
        throw StoreError(QStringLiteral("\"%1\" could not be written to disk.").arg(native(path)));
}

void removeWork(const QString& work) {
    QFile::remove(work);
    QFile::remove(work + QStringLiteral("-journal"));
}

// A conversion stopped by force leaves its work file behind; the next one clears it away.
void removeStaleWork(const QDir& dir) {
    const QStringList stale =
        dir.entryList({QStringLiteral(".Recipe-import-*"), QStringLiteral(".Recipe-kept-*")},
                      QDir::Files | QDir::Hidden);
    for (const QString& name : stale) {
        const QString pid = name.section(QLatin1Char('-'), 2, 2).section(QLatin1Char('.'), 0, 0);
        bool ok = false;
        const int p = pid.toInt(&ok);
        if (ok && p > 0 && (::kill(p, 0) == 0 || errno != ESRCH))
            continue;
        removeWork(dir.filePath(name));
    }
}

// Keeps the original as `kept`: a hard link where the filesystem has them, else a copy that is
// compared with it byte for byte. Both end with the kept file's bytes equal to `hash`.
void keepOriginal(const QString& original, const QString& kept, const QByteArray& hash,
                  bool hardLinks) {
    const QByteArray from = QFile::encodeName(original);
    const QByteArray to = QFile::encodeName(kept);
    if (hardLinks && ::link(from.constData(), to.constData()) == 0) {
        syncPath(QFileInfo(kept).absolutePath(), true);
        return;
    }
    const QString tmp = QFileInfo(kept).absoluteDir().filePath(
        QStringLiteral(".Recipe-kept-%1.tmp").arg(QCoreApplication::applicationPid()));
    QFile::remove(tmp);
    if (!QFile::copy(original, tmp)) {
        QFile::remove(tmp);
        throw StoreError(QStringLiteral("The original file could not be kept as \"%1\": the "
                                        "folder can't be written to or the disk is full.")
                             .arg(native(kept)));
    }
    syncPath(tmp, false);
    if (fileHash(tmp) != hash) {
        QFile::remove(tmp);
        throw StoreError(QStringLiteral("The copy of the original file differs from it, so it "
                                        "was not kept as \"%1\".")
                             .arg(native(kept)));
    }
    // link+unlink never replaces a file that appeared meanwhile; rename where links fail.
    const QByteArray t = QFile::encodeName(tmp);
    if (::link(t.constData(), to.constData()) == 0)
        ::unlink(t.constData());
    else if (errno == EEXIST || ::rename(t.constData(), to.constData()) != 0) {
        QFile::remove(tmp);
        throw StoreError(
            QStringLiteral("The original file could not be kept as \"%1\".").arg(native(kept)));
    }
    syncPath(QFileInfo(kept).absolutePath(), true);
}

// kKeptName, or a numbered name when that already holds something else.
QString keptPathFor(const QDir& dir, const QByteArray& hash, bool& alreadyThere) {
    alreadyThere = false;
    for (int n = 1; n < 1000; ++n) {
        const QString name = n == 1 ? QString::fromLatin1(kKeptName)
                                    : QStringLiteral("Recipe.access (%1)").arg(n) + kRecipeSuffix;
        QString path = dir.filePath(name);
        if (!QFileInfo::exists(path))
            return path;
        if (fileHash(path) == hash) {
            alreadyThere = true;
            return path;
        }
    }
    throw StoreError(QStringLiteral("There is no free name to keep the original file under."));
}

RecipeFields storedRow(const Row& r) {
    RecipeFields out;
    for (size_t c = 0; c < out.size() && c < static_cast<size_t>(r.size()); ++c)
        out[c] = storedValue(r[static_cast<qsizetype>(c)].text);
    return out;
}

void writeCategories(const QString& work, const SourceFile& file,
                     const QList<PlannedCategory>& plan, const Progress& progress) {
    auto db = Database::OpenDatabase(withoutRecipeSuffix(work));
    qsizetype done = 0;
    // One transaction for the whole import: the work file is synced once, after it is checked.
    db->Transaction([&] {
        for (const PlannedCategory& p : plan) {
            db->AppendTableDef(recipeTableDef(*db, p.name));
            const SourceTable& t = file.tables[p.source];
            if (!t.rows.isEmpty()) {
                auto rs = db->OpenRecordset(p.name);
                for (const Row& r : t.rows) {
                    rs->AddNew();
                    setFields(*rs, storedRow(r));
                    rs->Update();
                }
                rs->Close();
            }
            reportProgress(progress, 80 + 15 * ++done / std::max<qsizetype>(1, plan.size()), 100);
        }
    });
    db->Close();
}

// Reads the new file back: every category there, every row as it was meant to be written.
void checkWritten(const QString& work, const SourceFile& file, const QList<PlannedCategory>& plan,
                  const QStringList& existing) {
    auto db = Database::OpenDatabase(withoutRecipeSuffix(work));
    const QStringList tables = db->TableDefs();
    const auto bad = [&](const QString& what) {
        return StoreError(
            QStringLiteral("The new recipe file did not read back as written (%1), so the old "
                           "file was left as it is.")
                .arg(what));
    };
    for (const QString& e : existing)
        if (!tables.contains(e))
            throw bad(QStringLiteral("the category \"%1\" is missing").arg(e));
    for (const PlannedCategory& p : plan) {
        if (!tables.contains(p.name))
            throw bad(QStringLiteral("the category \"%1\" is missing").arg(p.name));
        const SourceTable& t = file.tables[p.source];
        auto rs = db->OpenRecordset(p.name);
        if (rs->RecordCount() != t.rows.size())
            throw bad(QStringLiteral("\"%1\" has a different number of recipes").arg(p.name));
        if (t.rows.isEmpty())
            continue;
        rs->MoveFirst();
        for (const Row& r : t.rows) {
            if (readFields(*rs) != storedRow(r))
                throw bad(QStringLiteral("a recipe of \"%1\" differs").arg(p.name));
            rs->MoveNext();
        }
    }
    db->Close();
}

Report runImport(const QString& accessFile, const QString& folder, bool inPlace,
                 const ImportOptions& options) {
    const QDir dir(QFileInfo(folder).absoluteFilePath());
    const QString target = RecipeFile(dir.absolutePath()).fileName();
    const QString source = QFileInfo(accessFile).absoluteFilePath();
    Report report;
    report.source = native(source);
    report.target = native(target);

    const HeaderInfo header = readHeader(source);
    if (!header.isAccess())
        throw StoreError(
            QStringLiteral("\"%1\" is not an Access database.").arg(native(accessFile)));
    if (header.encrypted)
        throw StoreError(QStringLiteral("The old recipe file \"%1\" can't be read: it is "
                                        "encrypted, which no reader here can undo. It was left "
                                        "as it is.")
                             .arg(native(accessFile)));
    if (!dir.exists())
        throw StoreError(QStringLiteral("The folder \"%1\" does not exist.").arg(native(folder)));
    removeStaleWork(dir);
    const QByteArray hash = inPlace ? fileHash(source) : QByteArray();
    if (inPlace && hash.isEmpty())
        throw StoreError(
            QStringLiteral("The old recipe file \"%1\" can't be read.").arg(native(source)));

    // Reading is the first four fifths of the work.
    const Progress reading = [&options](std::int64_t done, std::int64_t total) {
        return reportProgress(options.progress, done * 80 / std::max<std::int64_t>(1, total), 100);
    };
    const SourceFile file = readAccessFile(source, options.helper, options.limits, reading);

    // From here to the rename no window has the file open and no other program writes to it,
    // so that nothing written meanwhile is lost with the file it went into.
    const RecipeFileLock lock(dir.absolutePath(), options.inWindow
                                                      ? RecipeFileLock::Mode::ReplaceInWindow
                                                      : RecipeFileLock::Mode::Replace);
    const QString work =
        dir.filePath(QStringLiteral(".Recipe-import-%1").arg(QCoreApplication::applicationPid()) +
                     kRecipeSuffix);
    removeWork(work);
    QStringList existing;
    try {
        if (!inPlace && QFileInfo::exists(target)) {
            if (readHeader(target).isAccess())
                throw StoreError(QStringLiteral("\"%1\" is itself an old Access file; bring it in "
                                                "first with \"kettlebox-db import-access %1\".")
                                     .arg(native(target)));
            if (options.beforeReplace)
                options.beforeReplace(withoutRecipeSuffix(target));
            // Copied by the engine: a change a crash left half-done is undone first, and the
            // copy is of the file as last committed.
            auto db = Database::OpenDatabase(withoutRecipeSuffix(target));
            db->BackupTo(work);
            db->Close();
            db = Database::OpenDatabase(withoutRecipeSuffix(work));
            existing = db->TableDefs();
            db->Close();
        } else {
            Database::CreateDatabase(withoutRecipeSuffix(work));
        }
        const QList<PlannedCategory> plan = planCategories(file, existing, report);
        writeCategories(work, file, plan, options.progress);
        checkWritten(work, file, plan, existing);
        // The converted file is no more open than the file it replaces.
        matchRecipeFileMode(inPlace ? source : target, work);
        syncPath(work, false);

        if (inPlace) {
            if (fileHash(source) != hash)
                throw StoreError(QStringLiteral("\"%1\" changed while it was being read, so it "
                                                "was left as it is.")
                                     .arg(native(source)));
            bool alreadyThere = false;
            const QString kept = keptPathFor(dir, hash, alreadyThere);
            if (!alreadyThere)
                keepOriginal(source, kept, hash, options.hardLinks);
            report.keptAs = native(kept);
        }
        if (!inPlace && !QFileInfo::exists(target)) {
            // A new file: link+unlink so that a file that appeared meanwhile is not replaced.
            if (::link(QFile::encodeName(work).constData(),
                       QFile::encodeName(target).constData()) == 0)
                ::unlink(QFile::encodeName(work).constData());
            else if (errno == EEXIST || ::rename(QFile::encodeName(work).constData(),
                                                 QFile::encodeName(target).constData()) != 0)
                throw StoreError(
                    QStringLiteral("\"%1\" could not be written.").arg(native(target)));
        } else if (::rename(QFile::encodeName(work).constData(),
                            QFile::encodeName(target).constData()) != 0) {
            throw StoreError(QStringLiteral("\"%1\" could not be replaced: %2.")
                                 .arg(native(target), QString::fromLocal8Bit(strerror(errno))));
        }
        syncPath(dir.absolutePath(), true);
    } catch (...) {
        removeWork(work);
        throw;
    }
    reportProgress(options.progress, 100, 100);
    return report;
}

} // namespace

QString adjustedName(const QString& name, const QStringList& taken) {
    QString base;
    for (const QChar ch : name)
        base += (QStringLiteral(".!`[]").contains(ch) || ch.category() == QChar::Other_Control)
                    ? QChar(QLatin1Char('_'))
                    : ch;
    if (base.startsWith(QLatin1Char(' ')))
        base[0] = QLatin1Char('_');
    if (base.isEmpty() || base.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))
        base.prepend(QLatin1Char('_'));
    for (int n = 1; n < 10000; ++n) {
        const QString suffix = n == 1 ? QString() : QStringLiteral(" (%1)").arg(n);
        QString candidate = base.left(64 - suffix.size()) + suffix;
        try {
            Database::checkNewTableName(candidate, taken);
            return candidate;
        } catch (const StoreError&) {
        }
    }
    throw StoreError(QStringLiteral("No category name could be found for \"%1\".").arg(name));
}

QList<PlannedCategory> planCategories(const SourceFile& file, const QStringList& existing,
                                      Report& report) {
    QList<PlannedCategory> plan;
    QStringList taken = existing;
    for (qsizetype i = 0; i < file.tables.size(); ++i) {
        const SourceTable& t = file.tables[i];
        if (isExcludedTable(t.name) || t.isSystem())
            continue;
        if (t.status != 0) {
            report.problems << QStringLiteral("\"%1\" was not brought in: %2.")
                                   .arg(t.name, t.status == 1
                                                    ? QStringLiteral("its page map is missing")
                                                    : QStringLiteral("its columns can't be read"));
            report.complete = false;
            continue;
        }
        if (t.name == kPlaceholder && t.rows.isEmpty() && existing.contains(kPlaceholder))
            continue; // the placeholder is there already
        PlannedCategory p;
        p.source = i;
        p.name = adjustedName(t.name, taken);
        p.renamed = p.name != t.name;
        taken << p.name;
        plan << p;
        if (p.renamed)
            report.renames << QStringLiteral("\"%1\" is now \"%2\"").arg(t.name, p.name);
        report.categories << QStringLiteral("%1 (%2 %3)")
                                 .arg(p.name)
                                 .arg(t.rows.size())
                                 .arg(t.rows.size() == 1 ? QStringLiteral("recipe")
                                                         : QStringLiteral("recipes"));
        report.recipes += t.rows.size();

        if (t.storedRows != t.rows.size()) {
            report.problems << QStringLiteral("\"%1\": the file says it holds %2 recipes, %3 "
                                              "were read.")
                                   .arg(t.name)
                                   .arg(t.storedRows)
                                   .arg(t.rows.size());
            report.complete = false;
        }
        if (t.columns < 4)
            report.problems << QStringLiteral("\"%1\" has only %2 of the four columns; the "
                                              "others were left empty.")
                                   .arg(t.name)
                                   .arg(t.columns);
        if (!t.rows.isEmpty())
            for (int c = 0; c < 4; ++c)
                if (t.rows.first()[c].notText)
                    report.problems << QStringLiteral("\"%1\": its %2 column holds no text; it "
                                                      "was left empty.")
                                           .arg(t.name, QLatin1String(kColumnNames[c]));
        for (qsizetype r = 0; r < t.rows.size(); ++r) {
            for (int c = 0; c < 4; ++c) {
                const Value& v = t.rows[r][c];
                if (v.cut) {
                    report.problems << QStringLiteral("%1: the %2 may be cut short (it is "
                                                      "longer than can be read).")
                                           .arg(rowLabel(t, r), QLatin1String(kColumnNames[c]));
                    report.complete = false;
                }
                if (v.text.contains(QLatin1String("??")))
                    report.problems << QStringLiteral("%1: in the %2, \"??\" may stand for a "
                                                      "character that was lost.")
                                           .arg(rowLabel(t, r), QLatin1String(kColumnNames[c]));
            }
        }
    }
    return plan;
}

QString Report::text() const {
    QString s = QStringLiteral("Kettlebox Recipe: recipes brought in from an old Access file\n\n");
    s += QStringLiteral("From: %1\nInto: %2\n").arg(source, target);
    if (!keptAs.isEmpty())
        s += QStringLiteral("The original is kept unchanged as: %1\n").arg(keptAs);
    s += QStringLiteral("\n%1 categories, %2 recipes%3\n")
             .arg(categories.size())
             .arg(recipes)
             .arg(complete ? QString() : QStringLiteral(" (not all came in whole; see below)"));
    for (const QString& c : categories)
        s += QStringLiteral("  %1\n").arg(c);
    if (!renames.isEmpty()) {
        s += QStringLiteral("\nRenamed, because the old names are not allowed:\n");
        for (const QString& r : renames)
            s += QStringLiteral("  %1\n").arg(r);
    }
    if (!problems.isEmpty()) {
        s += QStringLiteral("\nTo look at:\n");
        for (const QString& p : problems)
            s += QStringLiteral("  %1\n").arg(p);
    }
    return s;
}

Report convertInPlace(const QString& folder, const ImportOptions& options) {
    const QString file = RecipeFile(folder).fileName();
    Report report = runImport(file, folder, true, options);
    // The conversion is done; a report that can't be saved is not a reason to undo it.
    writeWholeFile(QDir(folder).filePath(QLatin1String(kReportName)),
                   report.text().replace(QLatin1Char('\n'), QLatin1String("\r\n")).toUtf8());
    return report;
}

Report importInto(const QString& accessFile, const QString& folder, const ImportOptions& options) {
    const QFileInfo a(accessFile);
    const QFileInfo t(RecipeFile(folder).fileName());
    if (t.exists() && a.exists() && a.canonicalFilePath() == t.canonicalFilePath())
        return convertInPlace(folder, options);
    return runImport(accessFile, folder, false, options);
}

} // namespace kb::access
