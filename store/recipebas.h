#pragma once

#include "core/database.h"
#include "core/recipefields.h"
#include "core/recipefile.h"

#include <QObject>
#include <QString>
#include <memory>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTreeView;

namespace kb {

class Dialogs;
class ImageList;

// The main window's controls that the store fills and reads.
struct RecipeControls {
    QTreeView* Tv = nullptr;
    QListWidget* List1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPlainTextEdit* Text3 = nullptr;
    QPlainTextEdit* Text4 = nullptr;
    const ImageList* ImageList1 = nullptr;
};

// The tree's pictures, by their numbers in the image list.
enum TreePicture : int {
    kRootPicture = 1,
    kCategoryPicture = 2,
    kSelectedPicture = 3, // a category or recipe while it is the selected node
    kRecipePicture = 4,
};

// The four fields as one, for the store and the form alike: locked against typing or open
// for it, and emptied.
void lockRecipeFields(const RecipeControls& c, bool locked);
void emptyRecipeFields(const RecipeControls& c);
// Throws a StoreError when the name field holds nothing but spaces.
void requireRecipeName(const RecipeControls& c);

// All work on the recipe file, and the state the main window shares with it. Every operation
// opens the file, works and closes it again. A failure returned to the caller is thrown as a
// StoreError; steps that run under a skipping policy pass over their failures.
class RecipeBas {
  public:
    RecipeBas(const RecipeControls& controls, Dialogs& dialogs);
    ~RecipeBas();
    RecipeBas(const RecipeBas&) = delete;
    RecipeBas& operator=(const RecipeBas&) = delete;

    // The file's path without ".mdb".
    QString DatabasePath;
    QString SelectedRecipe;
    QString RecipeCategory;
    QString SelectedCategory;
    QString NewCategoryName;
    // Which of the category's recipes named SelectedRecipe is chosen, from 0 in stored order:
    // a file may hold two of one name, and each node stands for its own row.
    int SelectedOccurrence = 0;

    std::unique_ptr<Database> RecipeDatabase;
    std::unique_ptr<Recordset> RecipeRecordset;

    void OpenRecipeDatabase();
    // Never fails; harmless when nothing is open.
    void CloseRecipeDatabase();

    // The whole tree: root, categories and their recipes. A category's recipes are read when
    // it is first shown open.
    void LoadCatalogue();
    // Root and categories only.
    void LoadCategoryTree();

    // `occurrence` picks among rows of one name, as SelectedOccurrence does.
    void ShowRecipe(const QString& category, const QString& name, int occurrence = 0);
    // Refuses, as UpdateRecipe does for a new name, a name that another recipe of the
    // category has (without surrounding spaces, letter case aside).
    void AddRecipe(const QString& category);
    void UpdateRecipe(const QString& category, const QString& name, int occurrence = 0);
    void DeleteRecipe(const QString& category, const QString& name, int occurrence = 0);
    // Which of the rows named `name` the row `rowid` is, from 0; 0 when it is none of them.
    int occurrenceOf(const QString& category, const QString& name, std::int64_t rowid);

    void CreateCategory();
    void DeleteCategory(const QString& category);

    const RecipeControls& controls() const { return m_c; }

    // The recipe file at DatabasePath, with the side files that follow every write (history,
    // search index).
    RecipeFile& file();
    void addFollower(RecipeFollower* follower) { m_file.addFollower(follower); }
    const QList<RecipeFollower*>& followers() const { return m_file.followers(); }
    // Tells every follower that the program is done with the file; never fails.
    void closeFollowers() noexcept;
    // Tells the user when the last write was made but the disk did not confirm it.
    void sayUnconfirmed();

    static inline const QString kRootKey = QStringLiteral("AB");
    static inline const QString kRootText = QStringLiteral("Kettlebox Recipe");

  private:
    // The recipe names of a category as the tree lists them, in stored order.
    // `failed` is set when a row could not be read.
    QStringList namesOf(Recordset& rs, bool& failed);
    QStringList readCategory(const QString& table);
    void openCategory(const QString& category);
    // Opens the category and finds the recipe's row as the update and the delete do; every
    // failure goes to the caller. True when the row was found.
    bool openAndFind(const QString& category, const QString& name, int occurrence = 0);
    // The recipe to write is not in the file any more: rebuilds the tree and throws.
    [[noreturn]] void goneElsewhere(const QString& category, const QString& name);
    // Says which categories a tree load could not list, once for each; `complete` when the
    // load tried every table, so that a table mended since may be reported again later.
    void reportUnreadable(const QStringList& tables, bool complete);
    RecipeFields boxValues() const;

    RecipeControls m_c;
    Dialogs& m_dialogs;
    RecipeFile m_file;
    QStringList m_reportedUnreadable;
    // Categories whose names could not all be read when opened, not yet said.
    QStringList m_lateUnreadable;
    // Carries the message about them past the opening.
    QObject m_context;
};

} // namespace kb
