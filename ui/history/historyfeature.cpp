#include "ui/history/historyfeature.h"

#include "platform/dialogs.h"
#include "platform/placement.h"
#include "store/recipebas.h"
#include "ui/history/deletedrecipeswindow.h"

#include <QTimer>
#include <QWidget>

namespace kb {

namespace {

struct Report {
    QString text;
    QString details;
};

// The check's own words can run to a hundred lines, which would push the backup's name and
// the OK button off the screen: the box says in brief what is damaged, and those words go
// to its details.
Report shortened(const QString& message) {
    const QString gap = QStringLiteral("\r\n\r\n");
    const qsizetype end = message.indexOf(gap);
    const QString first = end < 0 ? message : message.left(end);
    constexpr int kMostLines = 3;
    constexpr int kMostChars = 400;
    if (first.count(QLatin1Char('\n')) < kMostLines && first.size() <= kMostChars)
        return {message, {}};
    const qsizetype open = first.indexOf(QStringLiteral(" ("));
    QString brief = open > 0 ? first.left(open) : first.section(QLatin1Char('\n'), 0, 0);
    QString details = open > 0 ? first.mid(open + 2) : first;
    if (details.endsWith(QStringLiteral(").")))
        details.chop(2);
    brief += QStringLiteral(". What the check found is under Show Details.");
    return {brief + (end < 0 ? QString() : message.mid(end)), details.trimmed()};
}

} // namespace

HistoryFeature::HistoryFeature(QWidget* window, RecipeBas& store, Dialogs& dialogs,
                               QString appFolder)
    : QObject(window), m_parent(window), m_store(store), m_dialogs(dialogs),
      m_appFolder(std::move(appFolder)),
      m_backups([this](const QString& why, bool before) { backupFailed(why, before); }) {
    m_backups.setProgress([this] {
        return m_dialogs.progress(QStringLiteral("Backing up the recipe file..."), {}, false);
    });
    store.addFollower(&m_history);
    store.addFollower(&m_backups);
    // After the first paint: the timer fires once the event loop runs.
    QTimer::singleShot(0, this, &HistoryFeature::startCheck);
}

HistoryFeature::~HistoryFeature() = default;

void HistoryFeature::backUpAhead() {
    m_backups.backUpAhead(databasePath());
}

QString HistoryFeature::databasePath() const {
    return m_store.DatabasePath.isEmpty() ? m_appFolder + QStringLiteral("/Recipe")
                                          : m_store.DatabasePath;
}

DeletedRecipesWindow* HistoryFeature::deletedRecipesWindow() const {
    return m_window;
}

void HistoryFeature::showDeletedRecipes() {
    if (!m_window) {
        m_window = new DeletedRecipesWindow(m_store, m_dialogs, m_parent);
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
    if (m_checkStarted)
        return;
    m_checkStarted = true;
    const QString path = databasePath();
    // A connection of its own off the GUI thread: the window stays usable while it reads.
    runThenDeliver<std::optional<QString>>(
        m_check,
        [path]() -> std::optional<QString> {
            try {
                return damagedFileMessage(path);
            } catch (...) {
                // A check that can't run says nothing; the commands report their own failures.
                return std::nullopt;
            }
        },
        this,
        [this](std::optional<QString> message) {
            if (message) {
                const Report report = shortened(*message);
                m_dialogs.msgBoxWith(report.text, {}, report.details, vbCritical);
            }
            emit checkFinished();
        });
}

bool HistoryFeature::checkRunning() const {
    return m_check.running();
}

} // namespace kb
