#include "platform/guard.h"

#include "core/app.h"
#include "core/busywait.h"
#include "core/store_error.h"
#include "platform/dialogs.h"

#include <QCursor>
#include <QGuiApplication>
#include <QTimer>
#include <exception>

namespace kb {

namespace {

// The busy pointer while a command waits for another program's lock; back to the ordinary
// one as soon as events are handled again (the next message box, or the command's end).
void showBusyWhileWaiting() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [] { QGuiApplication::restoreOverrideCursor(); });
}

void hookBusyPointer() {
    static const bool hooked = (setBusyWaitHook(showBusyWhileWaiting), true);
    (void)hooked;
}

} // namespace

void runGuarded(Dialogs& dialogs, const std::function<void()>& command) {
    hookBusyPointer();
    try {
        command();
    } catch (const StoreError& e) {
        // A cancel is the user's own wish: nothing to tell.
        if (!e.isCancel())
            dialogs.msgBox(e.message(), vbCritical, kAppTitle);
    } catch (const std::exception& e) {
        dialogs.msgBox(QStringLiteral("Something went wrong: %1").arg(QString::fromUtf8(e.what())),
                       vbCritical, kAppTitle);
    }
}

void runQuietly(const std::function<void()>& step) {
    hookBusyPointer();
    try {
        step();
    } catch (const std::exception&) {
        // Start-up passes over every failing step.
    }
}

} // namespace kb
