#pragma once

#include <cstdint>
#include <functional>

namespace kb {

// How long work tells whoever waits on it how far it is: `done` of `total` (a total of 0 while
// it is not known). The answer is false once the user asked to stop; work that can be stopped
// stops where that is safe, work that can't goes on and ignores it. The window's progress
// dialog and the command line's progress line each give one.
using Progress = std::function<bool(std::int64_t done, std::int64_t total)>;

// Tells `progress` when there is one; without one the work simply goes on.
inline bool reportProgress(const Progress& progress, std::int64_t done, std::int64_t total) {
    return !progress || progress(done, total);
}

} // namespace kb
