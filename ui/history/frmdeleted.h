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
class frmdeleted : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 520;

    frmdeleted(RecipeBas& store, Dialogs& dialogs, QWidget* parent = nullptr);
    ~frmdeleted() override;

    // Reads the history again.
    void Reload();
    const QList<HistoryEntry>& entries() const { return m_entries; }

    xp_canvas* frame = nullptr;
    xptopbuttons* closeButton = nullptr;
    xptopbuttons* maximiseButton = nullptr;
    xptopbuttons* minimiseButton = nullptr;
    QTreeWidget* List = nullptr;
    QLineEdit* NameBox = nullptr;
    QLineEdit* AuthorBox = nullptr;
    QPlainTextEdit* IngredientsBox = nullptr;
    QPlainTextEdit* InstructionsBox = nullptr;
    QLabel* Status = nullptr;
    xpcmdbutton* PutBack = nullptr;
    xpcmdbutton* CloseForm = nullptr;

  public slots:
    void PutBack_Click();

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
