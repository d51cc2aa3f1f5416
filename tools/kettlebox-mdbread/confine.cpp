#include "tools/kettlebox-mdbread/confine.h"

#include <cerrno>
#include <fcntl.h>
#include <initializer_list>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace kb::mdbread {

namespace {

// Allowed whatever their arguments.
constexpr int kPlain[] = {
    SCMP_SYS(read),         SCMP_SYS(pread64),        SCMP_SYS(readv),     SCMP_SYS(lseek),
    SCMP_SYS(fstat),        SCMP_SYS(munmap),         SCMP_SYS(mremap),    SCMP_SYS(brk),
    SCMP_SYS(madvise),      SCMP_SYS(close),          SCMP_SYS(exit),      SCMP_SYS(exit_group),
    SCMP_SYS(rt_sigreturn), SCMP_SYS(rt_sigprocmask), SCMP_SYS(getpid),    SCMP_SYS(gettid),
    SCMP_SYS(futex),        SCMP_SYS(clock_gettime),  SCMP_SYS(getrandom),
};

bool allow(scmp_filter_ctx ctx, int call) {
    return seccomp_rule_add(ctx, SCMP_ACT_ALLOW, call, 0) == 0;
}

bool build(scmp_filter_ctx ctx) {
    for (const int call : kPlain)
        if (!allow(ctx, call))
            return false;
    // Output goes to the pipe and to standard error only.
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        if (seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(write), 1,
                             SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(fd))) != 0 ||
            seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(writev), 1,
                             SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(fd))) != 0)
            return false;
    }
    // Memory, but never executable: nothing read from the file can become code.
    const auto noExec = SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0);
    if (seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(mmap), 1, noExec) != 0 ||
        seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(mprotect), 1, noExec) != 0)
        return false;
    // The size of what is open (fstat as the C library spells it), never a path's.
    if (seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(newfstatat), 1,
                         SCMP_A3(SCMP_CMP_MASKED_EQ, AT_EMPTY_PATH, AT_EMPTY_PATH)) != 0)
        return false;
    // abort() signals this very process.
    if (seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(tgkill), 1,
                         SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(::getpid()))) != 0)
        return false;
    // Descriptor flags (stdio asks for them); never a duplicate or a new descriptor.
    for (const int cmd : {F_GETFD, F_GETFL})
        if (seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(fcntl), 1,
                             SCMP_A1(SCMP_CMP_EQ, static_cast<scmp_datum_t>(cmd))) != 0)
            return false;
    return true;
}

} // namespace

void closeInheritedDescriptors() {
    if (::close_range(3, ~0U, 0) == 0)
        return;
    // Kernels before 5.9: one by one, as far as this process may number them.
    const long most = ::sysconf(_SC_OPEN_MAX);
    for (long fd = 3; fd < (most > 0 ? most : 1024); ++fd)
        ::close(static_cast<int>(fd));
}

Confinement confine() {
    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
#if defined(__SANITIZE_ADDRESS__)
    // The leak check at exit stops the process's threads through ptrace, which the filter
    // forbids: it runs now instead, and not again.
    __lsan_do_leak_check();
#endif
    // Anything not allowed fails as forbidden rather than killing: the library then reports a
    // failure the program can word, and a call we missed can't take a good file down with it.
    scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ERRNO(EPERM));
    if (!ctx)
        return Confinement::NoFilter;
    const bool loaded = build(ctx) && seccomp_load(ctx) == 0;
    seccomp_release(ctx);
    return loaded ? Confinement::Full : Confinement::NoFilter;
}

} // namespace kb::mdbread
