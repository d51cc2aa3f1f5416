// kettlebox-db init: makes a first recipe file for the program, which never creates one itself.

#include "core/database.h"
#include "core/recipefile.h"
#include "core/recipetable.h"
#include "core/store_error.h"
#include "tools/kettlebox-db/commands.h"
#include "tools/kettlebox-db/sample_recipes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kb::cli {

namespace {

void fillSample(const QString& path) {
    auto db = Database::OpenDatabase(path);
    QString category;
    std::unique_ptr<Recordset> rs;
    for (const SampleRecipe& r : sampleRecipes()) {
        if (r.category != category) {
            category = r.category;
            db->AppendTableDef(recipeTableDef(*db, category));
            rs = db->OpenRecordset(category);
        }
        rs->AddNew();
        setFields(*rs, {storedValue(r.name), storedValue(r.author), storedValue(r.ingredients),
                        storedValue(r.instructions)});
        rs->Update();
    }
    rs.reset();
    db->Close();
}

// Makes `path` and the folders above it that are missing, each for its owner alone: it is
// about to hold the recipes.
bool makeFolder(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    if (info.exists())
        return false;
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !makeFolder(parent))
        return false;
    return QDir().mkdir(info.absoluteFilePath(),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner) ||
           QFileInfo(path).isDir(); // made by someone else meanwhile
}

} // namespace

int runInit(Context& ctx) {
    if (helpAsked(ctx, QStringLiteral("init")))
        return kExitOk;
    bool sample = false;
    QString folder;
    bool folderGiven = false;
    for (const QString& a : ctx.args) {
        if (a == QLatin1String("--sample"))
            sample = true;
        else if (a.startsWith(QLatin1Char('-')) || folderGiven)
            return usageError(ctx, QStringLiteral("init"));
        else {
            folder = a;
            folderGiven = true;
        }
    }
    if (folderGiven) {
        folder = QDir::cleanPath(QDir().absoluteFilePath(folder));
        if (!makeFolder(folder))
            return fail(ctx, QStringLiteral("the folder \"%1\" can't be made.")
                                 .arg(QDir::toNativeSeparators(folder)));
    }
    const QString path = existingFolder(ctx, folder);
    if (path.isEmpty())
        return kExitFailed;
    const QDir dir(path);
    const QString target = dir.absoluteFilePath(QStringLiteral("Recipe"));
    const QString targetFile = QDir::toNativeSeparators(target + kRecipeSuffix);
    if (QFileInfo::exists(target + kRecipeSuffix))
        return fail(ctx,
                    QStringLiteral("\"%1\" already exists; it was left as it is.").arg(targetFile));
    // The file is filled under a name of its own and moved in place only when it is complete.
    const QString work = dir.absoluteFilePath(
        QStringLiteral(".Recipe-init-%1").arg(QCoreApplication::applicationPid()));
    try {
        Database::CreateDatabase(work);
        if (sample)
            fillSample(work);
    } catch (const StoreError& e) {
        QFile::remove(work + kRecipeSuffix);
        return fail(ctx, e.message());
    }
    if (!QFile::rename(work + kRecipeSuffix, target + kRecipeSuffix)) {
        QFile::remove(work + kRecipeSuffix);
        return fail(ctx, QStringLiteral("\"%1\" already exists or can't be written; it was left as "
                                        "it is.")
                             .arg(targetFile));
    }
    ctx.out << "Made " << targetFile << (sample ? " with sample recipes.\n" : ".\n");
    return kExitOk;
}

} // namespace kb::cli
