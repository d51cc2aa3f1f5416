#pragma once

#include "platform/imagelist.h"
#include "store/recipebas.h"

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QContextMenuEvent;
class QFrame;
class QMenu;
class QKeySequence;
class QPoint;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QModelIndex;
class QTreeView;

namespace kb {

class Dialogs;
class PrintCommand;
class xp_canvas;
class xpcmdbutton;
class xptopbuttons;

// The one application window, the form `main`: a tree of categories and recipes on the left,
// the shown recipe's four fields on the right, a strip of command buttons, and three pairs of
// buttons that come and go with the mode. Every command runs under the command guard, so a
// failure is shown as one message and the window goes on in the mode it was in.
class Main : public QWidget {
    Q_OBJECT

  public:
    // Client area of the window, in pixels.
    static constexpr int kWidth = 713;
    static constexpr int kHeight = 434;

    // `appFolder` holds Recipe.mdb and the print files: the program's own folder in use.
    Main(Dialogs& dialogs, const QString& appFolder, QWidget* parent = nullptr);
    ~Main() override;

    // The window's modes: which pair of buttons beneath the fields is shown, and whether the
    // fields take typing.
    enum class Mode { Browsing, Adding, Editing, DeletingCategory };

    // The window caption set at start-up.
    static QString captionText();

    // Start-up: the database path, the catalogue and the caption; shows no message.
    void Form_Load();
    // Shutdown: closes the database and empties the shared state, then ends the program.
    void Form_QueryUnload();

    // Ends the program after shutdown; tests replace it.
    std::function<void()> End;
    // Opens the web site; tests replace it.
    std::function<void(const QString&)> OpenUrl;

    RecipeBas& store() { return *m_store; }
    Dialogs& dialogs() { return m_dialogs; }
    const QString& appFolder() const { return m_appFolder; }

    // Adds a command beside the main window's own buttons: an entry of the tree's context menu and,
    // with a shortcut, a key that works anywhere in the window. It runs under the command
    // guard. The capabilities beside the window register theirs in installCommands().
    QAction* addTreeCommand(const QString& text, const QKeySequence& shortcut,
                            std::function<void()> run);
    // The commands in menu order, for tests and for the context menu.
    const QList<QAction*>& treeCommands() const { return m_treeCommands; }
    // The tree's context menu: one menu for the window's life, so that a screen reader finds
    // the same entries each time it opens.
    QMenu* treeMenu() const { return m_treeMenu; }
    // The keys of the window's buttons, one action per key, in the order of kButtonKeys.
    const QList<QAction*>& buttonKeys() const { return m_buttonKeys; }
    // Whether typing would be lost: while adding, any field holding text; while editing, any
    // field changed since Edit was pressed.
    bool hasUnsavedTyping() const;
    PrintCommand& printCommand() { return *m_print; }
    // Shows a recipe as a click on its node does: the node selected and in view, its category
    // open, the recipe shown. Says why instead where the tree holds no recipes or not this one.
    // `rowid`, when known, picks the row among several of one name.
    bool goToRecipe(const QString& category, const QString& name, std::int64_t rowid = 0);

    // Chooses a recipe in the tree exactly as a click on it would: opens its category, selects
    // the node of that name under it (the one of the row `rowid` among several of one name,
    // else the first), scrolls it into view and runs the click handler. False (nothing done)
    // when the tree holds no such node.
    bool showRecipeNode(const QString& category, const QString& name, std::int64_t rowid = 0);

    // The controls, by their names on the form (`delete` is spelt `delete_`).
    xp_canvas* xp_canvas1 = nullptr;
    xptopbuttons* xptopbuttons1 = nullptr; // close
    xptopbuttons* xptopbuttons2 = nullptr; // maximise, disabled
    xptopbuttons* xptopbuttons3 = nullptr; // minimise
    xpcmdbutton* xpcmdbutton1 = nullptr;   // "Del Category"
    xpcmdbutton* xpcmdbutton2 = nullptr;   // "Add Category"
    QTreeView* Tv = nullptr;
    QFrame* Line1 = nullptr;
    QWidget* Picture1 = nullptr;
    xpcmdbutton* add = nullptr;
    xpcmdbutton* delete_ = nullptr;
    xpcmdbutton* Edit = nullptr;
    xpcmdbutton* print = nullptr;
    xpcmdbutton* Website = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPlainTextEdit* Text3 = nullptr;
    QPlainTextEdit* Text4 = nullptr;
    xpcmdbutton* Save = nullptr;
    xpcmdbutton* Cancel = nullptr;
    xpcmdbutton* saveedited = nullptr;
    xpcmdbutton* canceledit = nullptr;
    xpcmdbutton* delcatagroy = nullptr;
    xpcmdbutton* cancelcata = nullptr;
    QListWidget* List1 = nullptr;
    ImageList ImageList1;

  public slots:
    void Tv_NodeClick(const QModelIndex& node);
    void add_Click();
    void Save_Click();
    void Cancel_Click();
    void Edit_Click();
    void saveedited_Click();
    void canceledit_Click();
    void delete_Click();
    void print_Click();
    void xpcmdbutton2_Click();
    void xpcmdbutton1_Click();
    void delcatagroy_Click();
    void cancelcata_Click();
    void Website_Click();
    void xptopbuttons1_Click();
    void xptopbuttons3_Click();

  signals:
    // The category-deleting mode was entered: a category may be dropped next.
    void deletingCategoryStarted();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    void installCommands();
    // The details follower, the "Recipe Card..." and "Edit Details..." commands and the double
    // click on a recipe.
    void installCardCommands();
    // Opens the tree's context menu at `global`; its commands act on the node `target` (the
    // shown selection when invalid) and the selection is as before once the menu is done.
    void showTreeMenu(const QPoint& global, const QModelIndex& target);
    void treeContextMenu(QContextMenuEvent* event, bool onViewport);
    void installButtonKeys();
    // Asks whether typing not yet saved is saved, dropped or kept; false: the window stays.
    bool mayClose();
    void connectHandlers();
    void setTabOrder();
    // The controls the store fills, as one.
    RecipeControls recipeControls();
    void lockFields(bool locked);
    void emptyFields();
    // Hides the pairs of every mode but `mode`; shows the pair of `mode`; hides it alone.
    void hidePairsExcept(Mode mode);
    void showPair(Mode mode);
    void hidePair(Mode mode);
    // Locks or opens the fields as `mode` wants; a mode that leaves them alone does nothing.
    void lockFieldsFor(Mode mode);
    void guarded(const std::function<void()>& command);

    Dialogs& m_dialogs;
    QString m_appFolder;
    std::unique_ptr<RecipeBas> m_store;
    std::unique_ptr<PrintCommand> m_print;
    bool m_unloaded = false;
    // The fields show the recipe of the last tree click, as read from the file.
    bool m_recipeShown = false;
    QList<QAction*> m_treeCommands;
    QList<QAction*> m_buttonKeys;
    QMenu* m_treeMenu = nullptr;
    // The fields as Edit found them, to tell an edit from a look.
    QStringList m_editStart;
};

} // namespace kb
