#pragma once

#include <functional>

namespace kb {

// Told once each time a write starts waiting for another program's lock on the recipe file
// (the wait lasts up to the busy timeout); the window shows the busy pointer meanwhile. One
// hook at a time; an empty one removes it. It runs only on the application's own thread:
// waits on worker threads are not told.
void setBusyWaitHook(std::function<void()> hook);
void notifyBusyWait();

} // namespace kb
