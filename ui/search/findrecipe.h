#pragma once

#include "core/recipefile.h"
#include "search/searchindex.h"

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QTimer;

namespace kb {

class Database;
class Dialogs;
class xp_canvas;
class xpcmdbutton;
class xptopbuttons;

// The "Find Recipe" window: a search box, the recipes that match every word typed, best first,
// and their count. Not modal; Enter or a double click on a result goes to it in the main
// window; Escape closes the window. While it is shown it keeps the recipe file open for
// reading, so that a search per key typed does not open the file each time; hiding the
// window closes it.
class FindRecipe : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 480;
    static constexpr int kHeight = 400;
    // The most results listed; the count says how many matched in all.
    static constexpr int kShown = 200;
    // A rebuild that takes longer than this shows its progress.
    static constexpr int kProgressAfterMs = 500;

    // `databasePath` gives the recipe file's path without ".mdb" when a search runs;
    // `goTo` shows a result in the main window.
    using GoTo =
        std::function<void(const QString& category, const QString& name, std::int64_t rowid)>;
    FindRecipe(SearchIndex& index, Dialogs& dialogs, std::function<QString()> databasePath,
               GoTo goTo, QWidget* parent = nullptr);
    ~FindRecipe() override;

    // Shows the window with the focus in the search box, brings the index up to date with
    // the recipe file (showing progress when that takes a while) and searches again.
    void open();
    // Searches for what the box holds now and lists the results: words that start a word at
    // once, and once typing pauses those inside longer words too.
    void refresh();
    // How long typing must pause before words are looked for inside longer ones.
    static constexpr int kInsideAfterMs = 300;
    // Goes to the selected result (the first when none is selected).
    void goToCurrent();

    // The controls.
    xp_canvas* frame = nullptr;
    xptopbuttons* closeButton = nullptr;
    xptopbuttons* maximiseButton = nullptr; // not available
    xptopbuttons* minimiseButton = nullptr;
    QLabel* wordsLabel = nullptr;
    QLineEdit* words = nullptr;
    QListWidget* results = nullptr;
    QLabel* count = nullptr;
    QProgressBar* progress = nullptr;
    xpcmdbutton* goToButton = nullptr;
    xpcmdbutton* closeCommand = nullptr;

    // The item data of a result row: its category and its name.
    static constexpr int CategoryRole = 0x0100 + 1;
    static constexpr int NameRole = 0x0100 + 2;
    // The row id of a result; the last row, when more matched than are listed, lists more.
    static constexpr int RowIdRole = 0x0100 + 3;
    static constexpr int MoreRole = 0x0100 + 4;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    Database& database() { return m_connection.get(); }
    // Runs `work` under the command guard; a failure also drops the open file.
    void guarded(const std::function<void()>& work);
    void setCount(const QString& text);
    void list(SearchIndex::Match match);
    void addDetailHits(SearchResult& r, const QString& text);
    void ensureIndex();

    SearchIndex& m_index;
    Dialogs& m_dialogs;
    KeptConnection m_connection;
    GoTo m_goTo;
    // How many results are listed; each "more" row lists kShown more.
    int m_limit = kShown;
    QTimer* m_inside = nullptr;
};

} // namespace kb
