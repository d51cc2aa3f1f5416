#include "core/busywait.h"

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
    if (hook())
        hook()();
}

} // namespace kb
