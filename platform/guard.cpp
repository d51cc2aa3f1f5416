#include "platform/guard.h"

#include "core/app.h"
#include "core/store_error.h"
#include "platform/dialogs.h"

#include <exception>

namespace kb {

void runGuarded(Dialogs& dialogs, const std::function<void()>& command) {
    try {
        command();
    } catch (const StoreError& e) {
        dialogs.msgBox(e.message(), vbCritical, kAppTitle);
    } catch (const std::exception& e) {
        dialogs.msgBox(QStringLiteral("Something went wrong: %1").arg(QString::fromUtf8(e.what())),
                       vbCritical, kAppTitle);
    }
}

void runQuietly(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception&) {
        // Start-up passes over every failing step.
    }
}

} // namespace kb
