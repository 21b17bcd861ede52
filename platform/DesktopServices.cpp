#include "platform/DesktopServices.h"

#include <dlfcn.h>

namespace quorvel::platform {

DesktopServices* LoadDesktopServices(std::string& why) {
    // Found beside the program in the build folder, and in the program's own library
    // folder once installed: the programs' search path names both.
    static const auto loaded = []() -> std::pair<DesktopServices*, std::string> {
        void* module = ::dlopen("libquorvel-desktop.so", RTLD_NOW | RTLD_LOCAL);
        if (!module) return {nullptr, ::dlerror()};
        auto* entry = reinterpret_cast<decltype(&QuorvelDesktopServices)>(
            ::dlsym(module, "QuorvelDesktopServices"));
        if (!entry) return {nullptr, ::dlerror()};
        return {entry(), {}};
    }();
    why = loaded.second;
    return loaded.first;
}

}  // namespace quorvel::platform
