// A module the programs must refuse as their desktop module, put in its place by the loading
// test. Its entry point gives the table QUORVEL_FOREIGN_TABLE names: "unversioned", as a
// module from before the table carried its version laid it out (its functions from the
// first field on), "newer" (the next version), "resized" (this version, another size) or
// "none" (no table). Built with QUORVEL_FOREIGN_ENTRY naming another function, it has no
// entry point at all. A call through any of its tables ends the program by a signal, which
// the test tells from a refusal.

#include <cstdlib>
#include <cstring>

#include "platform/DesktopServices.h"

namespace {

void Called() {
    std::abort();
}

using Function = void (*)();
constexpr Function kUnversioned[] = {Called, Called, Called, Called, Called,
                                     Called, Called, Called, Called};
// A table of the version and size given, its functions null.
constexpr QuorvelDesktopModule Table(unsigned int version, std::size_t size) {
    QuorvelDesktopModule table{};
    table.version = version;
    table.size = size;
    return table;
}
constexpr QuorvelDesktopModule kNewer = Table(kQuorvelDesktopVersion + 1, sizeof kNewer);
constexpr QuorvelDesktopModule kResized =
    Table(kQuorvelDesktopVersion, sizeof kResized + sizeof(Function));

}  // namespace

extern "C" __attribute__((visibility("default"))) const QuorvelDesktopModule*
QUORVEL_FOREIGN_ENTRY() {
    const char* table = std::getenv("QUORVEL_FOREIGN_TABLE");
    if (!table) return nullptr;
    if (std::strcmp(table, "unversioned") == 0) {
        return reinterpret_cast<const QuorvelDesktopModule*>(kUnversioned);
    }
    if (std::strcmp(table, "newer") == 0) return &kNewer;
    if (std::strcmp(table, "resized") == 0) return &kResized;
    return nullptr;
}
