#include "core/busywait.h"

#include <QCoreApplication>
#include <QThread>

namespace kb {

namespace {
std::function<void()>& hook() {
    static std::function<void()> h;
    return h;
}
} // namespace

void setBusyWaitHook(std::function<void()> h) {
    hook() = std::move(h);
}

void notifyBusyWait() {
    // The hook drives the window's pointer, which only the GUI thread may touch; a connection
    // of a worker waits without telling anyone.
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return;
    if (hook())
        hook()();
}

} // namespace kb
