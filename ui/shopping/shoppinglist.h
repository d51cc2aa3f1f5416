#pragma once

#include "core/recipefile.h"
#include "kitchen/shopping.h"
#include "kitchen/shoppingstore.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSizeGrip;
class QTreeWidget;
class QTreeWidgetItem;

namespace kb {

class Database;
class Dialogs;
class frmprint;
class xp_canvas;
class xpcmdbutton;
class xptopbuttons;

// The "Shopping List" window: the recipes on the list with their factors, and their
// ingredient lines merged, grouped by aisle, ticked off by click or Space. Everything the
// cook changes is kept at once in the list's side file. Not modal, resizable; while shown it
// keeps the recipe file open.
class ShoppingList : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 620;
    static constexpr int kHeight = 520;

    // `databasePath` gives the recipe file's path without ".mdb"; `appFolder` is where the page
    // to print is written.
    ShoppingList(Dialogs& dialogs, std::function<QString()> databasePath, QString appFolder,
                 QWidget* parent = nullptr);
    ~ShoppingList() override;

    // Shows the window, read afresh from the files.
    void open();
    // Puts a recipe on the list (or adds `factor` to its factor) and shows the window.
    void addRecipe(const QString& category, const QString& name, double factor = 1);
    // Reads the list and merges it again.
    void reload();

    void printList();
    void exportList();
    void emptyList();
    void removeRecipe();

    // The merged lines as shown, in order (for tests and the print).
    const QList<kitchen::ShoppingLine>& lines() const { return m_lines; }

    // The controls.
    xp_canvas* frame = nullptr;
    xptopbuttons* closeButton = nullptr;
    xptopbuttons* maximiseButton = nullptr;
    xptopbuttons* minimiseButton = nullptr;
    QTreeWidget* recipes = nullptr;
    QDoubleSpinBox* factor = nullptr;
    xpcmdbutton* removeButton = nullptr;
    QComboBox* measures = nullptr;
    QTreeWidget* items = nullptr;
    QComboBox* aisle = nullptr;
    QLabel* status = nullptr;
    xpcmdbutton* printButton = nullptr;
    xpcmdbutton* exportButton = nullptr;
    xpcmdbutton* emptyButton = nullptr;
    xpcmdbutton* closeCommand = nullptr;
    QSizeGrip* grip = nullptr;

    // Item data of a line: its key.
    static constexpr int KeyRole = 0x0100 + 1;
    // Item data of a recipe row: its id on the list.
    static constexpr int IdRole = 0x0100 + 2;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    Database& database() { return m_connection.get(); }
    void guarded(const std::function<void()>& work);
    void fillRecipes();
    void fillItems();
    void recipeChosen();
    void lineChosen();
    void lineChanged(QTreeWidgetItem* item);
    void factorChanged(double value);
    void aisleChosen(int index);
    void measuresChosen(int index);

    Dialogs& m_dialogs;
    KeptConnection m_connection;
    QString m_appFolder;
    QList<kitchen::ListedRecipe> m_listed;
    QList<kitchen::ShoppingLine> m_lines;
    kitchen::System m_system = kitchen::System::AsWritten;
    bool m_filling = false;
    QPointer<frmprint> m_preview;
};

} // namespace kb
