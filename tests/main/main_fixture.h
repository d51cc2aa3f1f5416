#pragma once

#include <QModelIndex>

#include "tests/support/scripted_dialogs.h"
#include "ui/main/mainform.h"

#include <QList>
#include <QPair>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace kb::test {

// A recipe as its four stored columns.
struct Recipe {
    QString name, author, ingredients, instructions;
};

// The real main window over a recipe file in a temporary program folder, with scripted dialogs
// and with the end of the program and the web site recorded instead of carried out.
class MainFixture {
  public:
    MainFixture();
    ~MainFixture();

    QString folder() const { return m_dir.path(); }
    QString fileName() const { return m_dir.filePath(QStringLiteral("Recipe.mdb")); }

    // Makes the recipe file with these categories and recipes (in stored order).
    void makeFile(const QList<QPair<QString, QList<Recipe>>>& categories);
    // The stored names of a category, in stored order; throws if it is not there.
    QStringList storedNames(const QString& category) const;
    QList<Recipe> storedRecipes(const QString& category) const;
    QStringList tables() const;

    // Creates the form, runs its start-up and shows it.
    Main& start();
    Main& form() { return *m_form; }
    RecipeBas& store() { return m_form->store(); }

    // The tree as lines: "Kettlebox Recipe", "  Soups", "    Tomato Soup". Closed categories
    // are read as opening them would.
    QStringList tree() const;
    // A node by its text, under a parent of that text when given.
    QModelIndex node(const QString& text, const QString& parent = {}) const;
    bool isOpen(const QString& text) const;
    // Clicks a node with the mouse, as the user does.
    void clickNode(const QModelIndex& item);
    void clickNode(const QString& text, const QString& parent = {});
    // Clicks a push button with the mouse; fails the test if the user could not see it.
    bool press(QWidget* button);

    // Which of the six pair buttons are visible, in the order Save, Cancel, saveedited,
    // canceledit, delcatagroy, cancelcata.
    QList<bool> pairs() const;
    // True when all four fields are read-only (false when all are editable); fails on a mix.
    bool fieldsLocked() const;
    QStringList fields() const;
    void type(const QString& t1, const QString& t2, const QString& t3, const QString& t4);

    ScriptedDialogs dialogs;
    int ended = 0;
    QStringList opened;

  private:
    QTemporaryDir m_dir;
    std::unique_ptr<Main> m_form;
};

// The pair-button patterns of the four modes.
inline const QList<bool> kBrowsing = {false, false, false, false, false, false};
inline const QList<bool> kAdding = {true, true, false, false, false, false};
inline const QList<bool> kEditing = {false, false, true, true, false, false};
inline const QList<bool> kDeletingCategory = {false, false, false, false, true, true};

// A small collection: two categories of two recipes, as most tests start with.
QList<QPair<QString, QList<Recipe>>> sampleCollection();

} // namespace kb::test
