// Loaded into the companion with LD_PRELOAD: stops it (SIGSTOP) right after the Nth call
// of linkat, renameat2, fsync or pwrite that succeeded, as QUORVEL_TEST_PAUSE=FUNCTION:N
// asks, so that a test can send a signal at that very point of writing or naming the
// outputs.

#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

using Linkat = int(int, const char*, int, const char*, int) noexcept;
using Renameat2 = int(int, const char*, int, const char*, unsigned) noexcept;
using Fsync = int(int) noexcept;
using Pwrite = ssize_t(int, const void*, size_t, off_t);

// Plain pointers rather than function-local statics, whose guards would need the C++
// library that the companion carries inside itself.
Linkat* nextLinkat = nullptr;
Renameat2* nextRenameat2 = nullptr;
Fsync* nextFsync = nullptr;
Pwrite* nextPwrite = nullptr;
int linkatCalls = 0;
int renameat2Calls = 0;
int fsyncCalls = 0;
int pwriteCalls = 0;

// Counts a call of `function` that succeeded and stops the process at the one asked for.
void Count(const char* function, int& calls) noexcept {
    const char* asked = std::getenv("QUORVEL_TEST_PAUSE");
    const std::size_t length = std::strlen(function);
    if (asked && std::strncmp(asked, function, length) == 0 && asked[length] == ':' &&
        ++calls == std::atoi(asked + length + 1)) {
        ::raise(SIGSTOP);
    }
}

}  // namespace

extern "C" int linkat(int fromFolder, const char* from, int toFolder, const char* to,
                      int flags) noexcept {
    if (!nextLinkat) nextLinkat = reinterpret_cast<Linkat*>(::dlsym(RTLD_NEXT, "linkat"));
    const int result = nextLinkat(fromFolder, from, toFolder, to, flags);
    if (result == 0) Count("linkat", linkatCalls);
    return result;
}

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to,
                         unsigned flags) noexcept {
    if (!nextRenameat2) {
        nextRenameat2 = reinterpret_cast<Renameat2*>(::dlsym(RTLD_NEXT, "renameat2"));
    }
    const int result = nextRenameat2(fromFolder, from, toFolder, to, flags);
    if (result == 0) Count("renameat2", renameat2Calls);
    return result;
}

extern "C" int fsync(int fd) noexcept {
    if (!nextFsync) nextFsync = reinterpret_cast<Fsync*>(::dlsym(RTLD_NEXT, "fsync"));
    const int result = nextFsync(fd);
    if (result == 0) Count("fsync", fsyncCalls);
    return result;
}

extern "C" ssize_t pwrite(int fd, const void* bytes, size_t count, off_t offset) {
    if (!nextPwrite) nextPwrite = reinterpret_cast<Pwrite*>(::dlsym(RTLD_NEXT, "pwrite"));
    const ssize_t result = nextPwrite(fd, bytes, count, offset);
    if (result >= 0) Count("pwrite", pwriteCalls);
    return result;
}
