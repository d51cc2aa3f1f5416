#pragma once

#include "tests/support/files.h"

#include "platform/imagelist.h"
#include "store/recipebas.h"
#include "tests/support/scripted_dialogs.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTreeView>
#include <memory>
#include <optional>

struct sqlite3;

namespace kb::test {

// A recipe row as stored, a missing value as std::nullopt.
using Row = QList<std::optional<QString>>;

// Runs SQL on a recipe file through a connection of its own, keyed with the passphrase, as
// another program would.
void rawExec(const QString& fileName, const QString& sql);
// Makes an empty recipe file.
void makeRecipeFile(const QString& fileName);

// A fresh recipe file in a temporary folder, the main window's controls and a store on them.
class StoreFixture {
  public:
    StoreFixture();
    ~StoreFixture();

    QString fileName() const { return base + QStringLiteral(".mdb"); }
    void exec(const QString& sql) const { rawExec(fileName(), sql); }
    // A category table made as the program makes it.
    void makeCategory(const QString& name) const;
    void addRow(const QString& category, const Row& row) const;
    void addRecipe(const QString& category, const QString& name) const {
        addRow(category, {name + QLatin1Char(' '), QStringLiteral("A "), QStringLiteral("I "),
                          QStringLiteral("S ")});
    }
    QList<Row> rows(const QString& category) const;

    // The tree as lines: the root, then "  category", then "    recipe", in tree order. Closed
    // categories are read as opening them would.
    QStringList tree() const;
    QModelIndex root() const { return tv.model()->index(0, 0); }
    int topLevelCount() const { return tv.model()->rowCount(); }
    QModelIndex category(const QString& name) const;
    void setBoxes(const QString& t1, const QString& t2, const QString& t3, const QString& t4);
    QStringList boxes() const;

    QTemporaryDir dir;
    QString base;
    QTreeView tv;
    QListWidget list;
    QLineEdit text1;
    QLineEdit text2;
    QPlainTextEdit text3;
    QPlainTextEdit text4;
    ImageList images;
    ScriptedDialogs dialogs;
    std::unique_ptr<RecipeBas> store;
};

// Holds the file's write lock from another connection until destroyed, so that a write of ours
// fails. An exclusive lock, as another program holds while it commits, keeps out readers too,
// and those wait for it up to the busy timeout.
class WriteLock {
  public:
    explicit WriteLock(const QString& fileName, bool exclusive = false);
    ~WriteLock();
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

  private:
    ::sqlite3* m_db = nullptr;
};

} // namespace kb::test
