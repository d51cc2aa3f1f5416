#pragma once

#include "history/history.h"

#include <QList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;

namespace kb {

class Dialogs;
class RecipeBas;
class xp_canvas;
class xpcmdbutton;
class xptopbuttons;

// "Deleted Recipes": the history newest first (name, category, when, why), the chosen entry's
// four fields read-only, and a button that puts it back into its category. A skinned,
// borderless window like the print preview; closing it deletes it.
class DeletedRecipesWindow : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 520;

    DeletedRecipesWindow(RecipeBas& store, Dialogs& dialogs, QWidget* parent = nullptr);
    ~DeletedRecipesWindow() override;

    // Reads the history again.
    void reload();
    const QList<HistoryEntry>& entries() const { return m_entries; }

    xp_canvas* frame = nullptr;
    xptopbuttons* closeButton = nullptr;
    xptopbuttons* maximiseButton = nullptr;
    xptopbuttons* minimiseButton = nullptr;
    QTreeWidget* list = nullptr;
    QLineEdit* nameBox = nullptr;
    QLineEdit* authorBox = nullptr;
    QPlainTextEdit* ingredientsBox = nullptr;
    QPlainTextEdit* instructionsBox = nullptr;
    QLabel* status = nullptr;
    xpcmdbutton* putBackButton = nullptr;
    xpcmdbutton* closeCommand = nullptr;

  public slots:
    // Asks, then puts the chosen entry back into its category and reads the history again.
    void putBack();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void showChosen();
    void placeControls();

    RecipeBas& m_store;
    Dialogs& m_dialogs;
    QList<HistoryEntry> m_entries;
};

} // namespace kb
