// Writes recipes through the store exactly as the main window does, for the fault test: each
// write it prints only once the store has returned from it, so a line seen is a write the user
// was told had been saved.
#include "core/database.h"
#include "core/recipetable.h"
#include "core/store_error.h"
#include "platform/imagelist.h"
#include "store/recipebas.h"
#include "tests/support/scripted_dialogs.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSet>
#include <QTreeView>
#include <cstdio>

namespace {

const QString kCategory = QStringLiteral("Faults");

void say(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The store on a window's worth of controls that are never shown.
struct Store {
    QTreeView tv;
    QListWidget list;
    QLineEdit name, author;
    QPlainTextEdit ingredients, instructions;
    kb::ImageList images;
    kb::test::ScriptedDialogs dialogs;
    kb::RecipeBas store;

    explicit Store(const QString& folder)
        : store({&tv, &list, &name, &author, &ingredients, &instructions, &images}, dialogs) {
        store.DatabasePath = folder + QStringLiteral("/Recipe");
    }
    void type(const QString& n, const QString& a) {
        name.setText(n);
        author.setText(a);
        ingredients.setPlainText(QStringLiteral("1 cup of ") + n);
        instructions.setPlainText(QStringLiteral("Stir ") + n + QStringLiteral(".\nServe."));
    }
};

QStringList rowsOf(kb::Database& db, const QString& table) {
    QStringList rows;
    for (const QVariantList& row :
         db.Query(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table))) {
        QStringList cells;
        for (const QVariant& v : row)
            cells << (v.isNull() ? QStringLiteral("<null>") : v.toString());
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

int check(const QString& folder, const QString& expectedFile, bool dump) {
    auto db = kb::Database::OpenDatabase(folder + QStringLiteral("/Recipe"));
    const QList<QVariantList> integrity = db->Query(QStringLiteral("PRAGMA integrity_check"));
    if (integrity.size() != 1 || integrity.first().value(0).toString() != QLatin1String("ok")) {
        say(QStringLiteral("DAMAGED: integrity check failed"));
        return 1;
    }
    if (dump) {
        for (const QString& table : db->TableDefs())
            for (const QString& row : rowsOf(*db, table))
                say(table + QLatin1Char(':') + row);
        return 0;
    }
    QSet<QString> names;
    for (const QString& row : rowsOf(*db, kCategory))
        names.insert(row.section(QLatin1Char('|'), 0, 0).trimmed());
    int missing = 0;
    QFile expected(expectedFile);
    if (!expectedFile.isEmpty() && expected.open(QIODevice::ReadOnly)) {
        while (!expected.atEnd()) {
            const QString line = QString::fromUtf8(expected.readLine()).trimmed();
            if (line.startsWith(QLatin1String("ACK ")) && !names.contains(line.mid(4))) {
                say(QStringLiteral("LOST: ") + line.mid(4));
                ++missing;
            }
        }
    }
    say(QStringLiteral("OK %1 rows").arg(names.size()));
    return missing == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() < 2) {
        std::fputs("usage: fault_writer init|loop|add|update|check|dump FOLDER [ARG]\n", stderr);
        return 2;
    }
    const QString& command = args.at(0);
    const QString& folder = args.at(1);
    const QString arg = args.value(2);
    try {
        if (command == QLatin1String("init")) {
            kb::Database::CreateDatabase(folder + QStringLiteral("/Recipe"));
            auto db = kb::Database::OpenDatabase(folder + QStringLiteral("/Recipe"));
            db->AppendTableDef(kb::recipeTableDef(*db, kCategory));
            db->Close();
            Store s(folder);
            for (const char* n : {"Porridge", "Pancakes", "Pilaf"}) {
                s.type(QString::fromUtf8(n), QStringLiteral("Ann"));
                s.store.AddRecipe(kCategory);
            }
            return 0;
        }
        if (command == QLatin1String("check") || command == QLatin1String("dump"))
            return check(folder, arg, command == QLatin1String("dump"));

        Store s(folder);
        if (command == QLatin1String("loop")) {
            for (int i = 0;; ++i) {
                const QString name = arg + QString::number(i);
                s.type(name, QStringLiteral("Loop"));
                s.store.AddRecipe(kCategory);
                say(QStringLiteral("ACK ") + name);
            }
        }
        if (command == QLatin1String("add")) {
            s.type(arg, QStringLiteral("Bea"));
            s.store.AddRecipe(kCategory);
            say(QStringLiteral("SAVED"));
            return 0;
        }
        if (command == QLatin1String("update")) {
            s.type(arg, QStringLiteral("Changed"));
            s.store.UpdateRecipe(kCategory, arg);
            // The store says "Recipe UpDated" itself once the row is written.
            say(s.dialogs.messages().contains(QStringLiteral("Recipe UpDated"))
                    ? QStringLiteral("SAVED")
                    : QStringLiteral("SILENT"));
            return 0;
        }
    } catch (const kb::StoreError& e) {
        say(QStringLiteral("FAILED: ") + e.message());
        return 1;
    }
    return 2;
}
