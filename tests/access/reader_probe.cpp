// A stand-in for the reader that reports, as the names of refused tables, every way out of
// its confinement that it found open: a descriptor it inherited, privileges it could gain, and
// after confine() a file it could open or write, a socket, a new process, executable memory.
// A clean run is an empty file: no table at all.

#include "tools/kettlebox-mdbread/confine.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

void put32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

void emit(char tag, const std::string& payload) {
    std::string r(1, tag);
    put32(r, static_cast<std::uint32_t>(payload.size()));
    r += payload;
    std::fwrite(r.data(), 1, r.size(), stdout);
}

std::vector<std::string> inheritedDescriptors() {
    std::vector<std::string> out;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return {"no /proc/self/fd"};
    while (const dirent* e = ::readdir(dir)) {
        const int fd = std::atoi(e->d_name);
        if (e->d_name[0] != '.' && fd > 2 && fd != ::dirfd(dir))
            out.push_back("descriptor " + std::string(e->d_name) + " inherited");
    }
    ::closedir(dir);
    return out;
}

bool noNewPrivileges() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return false;
    char line[256];
    bool set = false;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "NoNewPrivs:", 11) == 0)
            set = std::atoi(line + 11) == 1;
    std::fclose(f);
    return set;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 64;
    std::vector<std::string> found = inheritedDescriptors();
    if (!noNewPrivileges())
        found.emplace_back("privileges can be gained");
    const std::string file = argv[1];
    const int held = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);

    if (kb::mdbread::confine() == kb::mdbread::Confinement::NoFilter) {
        found.emplace_back("no filter");
    } else {
        // What the reader needs still works: its open file, and a large allocation.
        char byte = 0;
        if (held < 0 || ::pread(held, &byte, 1, 0) != 1)
            found.emplace_back("its own file can't be read");
        const size_t big = size_t{64} << 20;
        void* block = std::malloc(big);
        if (!block)
            found.emplace_back("no memory");
        else
            std::memset(block, 1, big);
        std::free(block);

        const std::string written = file + ".written";
        const int w = ::open(written.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (w >= 0)
            found.emplace_back("a file can be written");
        if (::open("/etc/passwd", O_RDONLY | O_CLOEXEC) >= 0)
            found.emplace_back("another file can be read");
        struct stat about {};
        if (::stat("/etc/passwd", &about) == 0)
            found.emplace_back("another file can be looked at");
        if (::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0) >= 0)
            found.emplace_back("the network can be reached");
        if (::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0) >= 0)
            found.emplace_back("a local socket can be made");
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        if (child > 0)
            found.emplace_back("a process can be started");
        char* const noArgs[] = {nullptr};
        // Returns only when refused; the filter refuses with EPERM, a missing program not.
        ::execve("/bin/true", noArgs, noArgs);
        if (errno != EPERM)
            found.emplace_back("a program can be run");
        void* code = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE | PROT_EXEC,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (code != MAP_FAILED)
            found.emplace_back("memory can be made executable");
        if (::dup(STDOUT_FILENO) >= 0)
            found.emplace_back("a descriptor can be copied");
    }

    std::fwrite("KBMDB01\n", 1, 8, stdout);
    emit('V', std::string(1, '\x04'));
    for (size_t i = 0; i < found.size(); ++i) {
        std::string p;
        put32(p, static_cast<std::uint32_t>(i));
        put32(p, 0);
        put32(p, 0xffffffffU);
        p += std::string("\0\0\1", 3); // no columns, refused
        p += found[i];
        emit('T', p);
    }
    std::string end;
    put32(end, static_cast<std::uint32_t>(found.size()));
    emit('Z', end);
    return std::fflush(stdout) == 0 ? 0 : 2;
}
