// The benchmark's own fsync and fdatasync: this executable's definitions come before the C
// library's for every library it loads, so each one the engine or the program makes is counted
// on its way to the kernel.

#include "bench/bench_fsync.h"

#include <atomic>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
std::atomic<long> g_syncs{0};
}

long kbbench::syncCount() {
    return g_syncs.load();
}

extern "C" {

int fsync(int fd) {
    g_syncs.fetch_add(1);
    return static_cast<int>(syscall(SYS_fsync, fd));
}

int fdatasync(int fd) {
    g_syncs.fetch_add(1);
    return static_cast<int>(syscall(SYS_fdatasync, fd));
}

} // extern "C"
