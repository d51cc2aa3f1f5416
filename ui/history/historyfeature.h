#pragma once

#include "core/background.h"
#include "history/backups.h"
#include "history/history.h"

#include <QObject>
#include <QPointer>
#include <memory>

class QWidget;

namespace kb {

class Dialogs;
class RecipeBas;
class DeletedRecipesWindow;

// What the main window gains beside its own buttons: the history and backups following
// every write of the store, the "Deleted Recipes" window, and a check of the recipe file after
// start-up. A child of the main window; made before the first write.
class HistoryFeature : public QObject {
    Q_OBJECT

  public:
    HistoryFeature(QWidget* window, RecipeBas& store, Dialogs& dialogs, QString appFolder);
    ~HistoryFeature() override;

    // Opens the window, or raises it when it is open.
    void showDeletedRecipes();
    DeletedRecipesWindow* deletedRecipesWindow() const;

    // Starts the check of the recipe file on a worker thread; its message, if any, comes on the
    // window's thread when it is done.
    void startCheck();
    bool checkRunning() const;

    // A backup of the recipe file started now, ahead of a Delete a Category that may follow.
    void backUpAhead();
    bool backupRunning() const { return m_backups.aheadRunning(); }

  signals:
    void checkFinished();

  private:
    void backupFailed(const QString& why, bool always);
    QString databasePath() const;

    QWidget* m_parent;
    RecipeBas& m_store;
    Dialogs& m_dialogs;
    QString m_appFolder;
    HistoryFollower m_history;
    BackupFollower m_backups;
    bool m_saidDailyFailure = false;
    QPointer<DeletedRecipesWindow> m_window;
    BackgroundJob m_check;
    bool m_checkStarted = false;
};

} // namespace kb
