#include "libcfaults.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>

namespace {

constexpr size_t kFirstWriteBytes = 100; // what the part-way fault lets through
constexpr size_t kShortWriteBytes = 7;

std::atomic<int> g_fault{int(LibcFault::None)};
std::atomic<int> g_fsyncCalls{0};
std::atomic<int> g_renameCalls{0};
std::atomic<int> g_writeCalls{0};

LibcFault Armed()
{
    return LibcFault(g_fault.load());
}

template <typename F>
F Next(const char *name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

bool IsRegularFile(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

void ArmLibcFault(LibcFault fault)
{
    g_fsyncCalls = 0;
    g_renameCalls = 0;
    g_writeCalls = 0;
    g_fault = int(fault);
}

LibcCalls DisarmLibcFault()
{
    g_fault = int(LibcFault::None);
    return LibcCalls{g_fsyncCalls.load(), g_renameCalls.load(), g_writeCalls.load()};
}

extern "C" int fsync(int fd)
{
    static const auto real = Next<int (*)(int)>("fsync");
    if (Armed() != LibcFault::None) {
        ++g_fsyncCalls;
        if (Armed() == LibcFault::FsyncFails) {
            errno = EIO;
            return -1;
        }
        if (Armed() == LibcFault::FsyncKills)
            ::raise(SIGKILL);
    }
    return real(fd);
}

extern "C" int rename(const char *from, const char *to) noexcept
{
    static const auto real = Next<int (*)(const char *, const char *)>("rename");
    if (Armed() != LibcFault::None) {
        ++g_renameCalls;
        if (Armed() == LibcFault::RenameFails) {
            errno = EIO;
            return -1;
        }
    }
    return real(from, to);
}

extern "C" ssize_t write(int fd, const void *data, size_t size)
{
    static const auto real = Next<ssize_t (*)(int, const void *, size_t)>("write");
    const LibcFault fault = Armed();
    if ((fault == LibcFault::WriteStopsPartWay || fault == LibcFault::WriteShortAndEintr) && IsRegularFile(fd)) {
        const int call = g_writeCalls++;
        if (fault == LibcFault::WriteStopsPartWay) {
            if (call > 0) {
                errno = ENOSPC;
                return -1;
            }
            return real(fd, data, std::min(size, kFirstWriteBytes));
        }
        if (call % 2 == 0) {
            errno = EINTR;
            return -1;
        }
        return real(fd, data, std::min(size, kShortWriteBytes));
    }
    if (fault != LibcFault::None && IsRegularFile(fd))
        ++g_writeCalls;
    return real(fd, data, size);
}
