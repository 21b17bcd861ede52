#include "platform/DesktopServices.h"

#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace quorvel::platform {
namespace {

// Where the module may be: beside the program, where the build leaves it, then in the
// program's own library folder, as installed. Only these whole paths are tried; a bare
// name would send the dynamic loader along its search path, where an empty element means
// the current folder.
std::vector<std::string> ModulePaths() {
    char program[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", program, sizeof program);
    if (length <= 0 || std::size_t(length) == sizeof program) return {};
    std::string folder(program, std::size_t(length));
    folder.erase(folder.rfind('/'));  // the link is an absolute path
    return {folder + "/" QUORVEL_MODULE_NAME,
            folder + "/../" QUORVEL_MODULE_DIR "/" QUORVEL_MODULE_NAME};
}

// The module, loaded on the first call; none where it cannot be, and `why` then says why.
const QuorvelDesktopModule* Module(std::string& why) {
    static const auto loaded = []() -> std::pair<const QuorvelDesktopModule*, std::string> {
        for (const std::string& path : ModulePaths()) {
            struct stat status {};
            if (::stat(path.c_str(), &status) != 0) continue;
            void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!module) return {nullptr, ::dlerror()};
            auto* entry =
                reinterpret_cast<decltype(&QuorvelDesktop)>(::dlsym(module, "QuorvelDesktop"));
            if (!entry) return {nullptr, ::dlerror()};
            return {entry(), {}};
        }
        return {nullptr, QUORVEL_MODULE_NAME ": cannot open shared object file: " +
                             std::string(std::strerror(ENOENT))};
    }();
    why = loaded.second;
    return loaded.first;
}

template <typename T>
using Freed = std::unique_ptr<T, decltype(&std::free)>;

}  // namespace

std::optional<std::string> TrashThroughDesktop(const std::string& path) {
    std::string why;
    const QuorvelDesktopModule* module = Module(why);
    if (!module) return "no trash could be reached: " + why;
    const Freed<char> refused(module->Trash(path.c_str()), &std::free);
    if (!refused) return std::nullopt;
    return std::string(refused.get());
}

std::optional<std::vector<std::uint8_t>> TagWithLength(std::span<const std::uint8_t> id3v2,
                                                       std::int64_t milliseconds) {
    std::string why;
    const QuorvelDesktopModule* module = Module(why);
    if (!module) return std::nullopt;
    std::size_t length = 0;
    const Freed<unsigned char> tag(
        module->TagWithLength(id3v2.data(), id3v2.size(), milliseconds, &length), &std::free);
    if (!tag) return std::nullopt;
    return std::vector<std::uint8_t>(tag.get(), tag.get() + length);
}

}  // namespace quorvel::platform
