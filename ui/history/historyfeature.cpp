#include "ui/history/historyfeature.h"

#include "platform/dialogs.h"
#include "platform/placement.h"
#include "store/recipebas.h"
#include "ui/history/frmdeleted.h"

#include <QThread>
#include <QTimer>
#include <QWidget>

namespace kb {

HistoryFeature::HistoryFeature(QWidget* window, RecipeBas& store, Dialogs& dialogs,
                               QString appFolder)
    : QObject(window), m_parent(window), m_store(store), m_dialogs(dialogs),
      m_appFolder(std::move(appFolder)),
      m_backups([this](const QString& why, bool before) { backupFailed(why, before); }) {
    m_backups.setProgress([this] {
        std::shared_ptr<Progress> shown(
            m_dialogs.progress(QStringLiteral("Backing up the recipe file..."), {}, false));
        return ProgressFn([shown](std::int64_t done, std::int64_t total) {
            return shown->setProgress(done, total);
        });
    });
    store.addFollower(&m_history);
    store.addFollower(&m_backups);
    // After the first paint: the timer fires once the event loop runs.
    QTimer::singleShot(0, this, &HistoryFeature::startCheck);
}

HistoryFeature::~HistoryFeature() {
    if (m_check) {
        m_check->wait();
        delete m_check;
    }
}

void HistoryFeature::backUpAhead() {
    m_backups.backUpAhead(databasePath());
}

QString HistoryFeature::databasePath() const {
    return m_store.DatabasePath.isEmpty() ? m_appFolder + QStringLiteral("/Recipe")
                                          : m_store.DatabasePath;
}

frmdeleted* HistoryFeature::deletedRecipesWindow() const {
    return m_window;
}

void HistoryFeature::showDeletedRecipes() {
    if (!m_window) {
        m_window = new frmdeleted(m_store, m_dialogs, m_parent);
        placeOver(m_window, m_parent);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

// A failed backup is said once, and the command goes on. Before a category is deleted it is
// said every time: that is the change a backup is there for.
void HistoryFeature::backupFailed(const QString& why, bool always) {
    // The daily backup's failure is said once; one before a category delete or an import
    // each time.
    if (!always) {
        if (m_saidDailyFailure)
            return;
        m_saidDailyFailure = true;
    }
    m_dialogs.msgBox(QStringLiteral("The backup of the recipe file could not be made: %1\r\n"
                                    "The change goes on without it.")
                         .arg(why),
                     vbExclamation);
}

void HistoryFeature::startCheck() {
    if (m_check)
        return;
    const QString path = databasePath();
    auto result = std::make_shared<std::optional<QString>>();
    // A connection of its own on a worker thread: the window stays usable while it reads.
    m_check = QThread::create([path, result] {
        try {
            *result = damagedFileMessage(path);
        } catch (...) {
            // A check that can't run says nothing; the commands report their own failures.
        }
    });
    connect(m_check, &QThread::finished, this, [this, result] {
        if (*result)
            m_dialogs.msgBox(**result, vbCritical);
        emit checkFinished();
    });
    m_check->start(QThread::LowPriority);
}

bool HistoryFeature::checkRunning() const {
    return m_check && !m_check->isFinished();
}

} // namespace kb
