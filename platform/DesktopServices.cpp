#include "platform/DesktopServices.h"

#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <utility>

namespace quorvel::platform {
namespace {

// The module, loaded on the first call; none where it cannot be, and `why` then says why.
const QuorvelDesktopModule* Module(std::string& why) {
    // Found beside the program in the build folder, and in the program's own library
    // folder once installed: the programs' search path names both.
    static const auto loaded = []() -> std::pair<const QuorvelDesktopModule*, std::string> {
        void* module = ::dlopen("libquorvel-desktop.so", RTLD_NOW | RTLD_LOCAL);
        if (!module) return {nullptr, ::dlerror()};
        auto* entry =
            reinterpret_cast<decltype(&QuorvelDesktop)>(::dlsym(module, "QuorvelDesktop"));
        if (!entry) return {nullptr, ::dlerror()};
        return {entry(), {}};
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
