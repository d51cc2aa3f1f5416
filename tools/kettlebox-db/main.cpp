// kettlebox-db: makes a first recipe file for the program, which never creates one itself.

#include "core/database.h"
#include "core/recipetable.h"
#include "core/store_error.h"
#include "tools/kettlebox-db/sample_recipes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

int usage(QTextStream& err) {
    err << "usage: kettlebox-db init [--sample] [FOLDER]\n"
           "  Makes a new, empty recipe file Recipe.mdb in FOLDER (the current folder by\n"
           "  default). --sample fills it with a few categories and recipes.\n"
           "  An existing Recipe.mdb is never overwritten.\n";
    return 2;
}

void fillSample(const QString& path) {
    auto db = kb::Database::OpenDatabase(path);
    QString category;
    std::unique_ptr<kb::Recordset> rs;
    for (const kb::SampleRecipe& r : kb::sampleRecipes()) {
        if (r.category != category) {
            category = r.category;
            db->AppendTableDef(kb::recipeTableDef(*db, category));
            rs = db->OpenRecordset(category);
        }
        rs->AddNew();
        rs->SetField(0, kb::storedValue(r.name));
        rs->SetField(1, kb::storedValue(r.author));
        rs->SetField(2, kb::storedValue(r.ingredients));
        rs->SetField(3, kb::storedValue(r.instructions));
        rs->Update();
    }
    rs.reset();
    db->Close();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.takeFirst() != QLatin1String("init"))
        return usage(err);
    bool sample = false;
    QString folder = QStringLiteral(".");
    bool folderGiven = false;
    for (const QString& a : args) {
        if (a == QLatin1String("--sample"))
            sample = true;
        else if (a.startsWith(QLatin1Char('-')) || folderGiven)
            return usage(err);
        else {
            folder = a;
            folderGiven = true;
        }
    }
    const QDir dir(folder);
    if (!dir.exists()) {
        err << "kettlebox-db: the folder \"" << QDir::toNativeSeparators(folder)
            << "\" does not exist.\n";
        return 1;
    }
    const QString target = dir.absoluteFilePath(QStringLiteral("Recipe"));
    if (QFileInfo::exists(target + QLatin1String(".mdb"))) {
        err << "kettlebox-db: \"" << QDir::toNativeSeparators(target + QLatin1String(".mdb"))
            << "\" already exists; it was left as it is.\n";
        return 1;
    }
    // The file is filled under a name of its own and moved in place only when it is complete.
    const QString work = dir.absoluteFilePath(
        QStringLiteral(".Recipe-init-%1").arg(QCoreApplication::applicationPid()));
    try {
        kb::Database::CreateDatabase(work);
        if (sample)
            fillSample(work);
    } catch (const kb::StoreError& e) {
        QFile::remove(work + QLatin1String(".mdb"));
        err << "kettlebox-db: " << e.message() << "\n";
        return 1;
    }
    if (!QFile::rename(work + QLatin1String(".mdb"), target + QLatin1String(".mdb"))) {
        QFile::remove(work + QLatin1String(".mdb"));
        err << "kettlebox-db: \"" << QDir::toNativeSeparators(target + QLatin1String(".mdb"))
            << "\" already exists or can't be written; it was left as it is.\n";
        return 1;
    }
    out << "Made " << QDir::toNativeSeparators(target + QLatin1String(".mdb"))
        << (sample ? " with sample recipes.\n" : ".\n");
    return 0;
}
