#pragma once

#include "core/background.h"
#include "core/progress.h"
#include "exchange/recipe.h"
#include "ui/print/frmprint.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QTemporaryDir;

namespace kb {

class Dialogs;
class RecipeBas;

// The tree's commands that take recipes out of the recipe file (JSON-LD or plain text, a
// printed cookbook) and bring them in (JSON-LD, web pages, MealMaster files). Each one throws
// StoreError for the command guard to show; a cancel writes nothing.
class ExchangeCommands : public QObject {
    Q_OBJECT

  public:
    // Work on more recipes than this shows a progress window.
    static constexpr qsizetype kProgressFrom = 300;

    ExchangeCommands(RecipeBas& store, Dialogs& dialogs, const QString& appFolder,
                     QObject* parent = nullptr);
    ~ExchangeCommands() override;

    // The recipe shown (chosen in the tree), its category, or the whole file.
    void exportRecipe();
    void exportCategory();
    void exportAll();
    // Asks for a file, a category and what to do with names that can't come in as they are;
    // imports in one transaction, rebuilds the tree and shows the report, which is also saved
    // beside the file.
    void importRecipes();
    // Asks for a web address, fetches the page (with progress and Cancel) and imports its
    // recipes like a saved page's.
    void importFromWebAddress();
    // Every recipe of the chosen category, or of all, in the print preview.
    void printCookbook();

    frmprint* cookbookPreview() const { return m_preview; }

  private:
    void exportSelection(const QString& category, const QString& name, const QString& suggested);
    QString chosenCategory() const;
    // The file read on a worker thread while `window` (with Cancel) is kept answering; nothing
    // when the user cancelled.
    std::optional<exchange::ReadResult> readOffThread(const QString& file, const Progress& window);

    RecipeBas& m_store;
    Dialogs& m_dialogs;
    QString m_appFolder;
    QPointer<frmprint> m_preview;
    // Where the shown cookbook's page is, while the preview is open.
    std::unique_ptr<QTemporaryDir> m_cookbookFolder;
    // Reads of files to import; one the user cancelled finishes on its own beside a new one.
    BackgroundJobs m_reads;
};

} // namespace kb
