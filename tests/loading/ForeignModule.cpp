// A module the programs must refuse as their desktop module, put in its place by the loading
// test. Its entry point gives the table QUORVEL_FOREIGN_TABLE names: "unversioned", as a
// module from before the table carried its version laid it out (its functions from the
// first field on), "newer" (the next version), "resized" (this version, another size),
// "relaid" (this version and size, laid out otherwise), "hollow" (this version, size and
// layout, its functions null), "elsewhere" (its functions another library's), "stray" (a
// table outside the module) or "none" (no table). Built with QUORVEL_FOREIGN_ENTRY naming
// another function, it has no entry point at all. A call through any of its tables ends
// the program by a signal, which the test tells from a refusal.

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "platform/DesktopServices.h"

namespace {

using Function = void (*)();

void Called() {
    std::abort();
}

constexpr Function kUnversioned[] = {Called, Called, Called, Called, Called,
                                     Called, Called, Called, Called};

// A table of the version, size and layout given, its every function `function`.
QuorvelDesktopModule Table(unsigned int version, std::size_t size, const char* layout,
                           Function function) {
    QuorvelDesktopModule table{};
    table.version = version;
    table.size = size;
    std::memcpy(table.layout, layout, sizeof table.layout);
    auto* fields = reinterpret_cast<unsigned char*>(&table);
    for (std::size_t at = offsetof(QuorvelDesktopModule, Trash); at < sizeof table;
         at += sizeof function) {
        std::memcpy(fields + at, &function, sizeof function);
    }
    return table;
}

const QuorvelDesktopModule* Chosen(const char* name) {
    const auto table = [name](const char* wanted) { return std::strcmp(name, wanted) == 0; };
    static const QuorvelDesktopModule newer =
        Table(kQuorvelDesktopVersion + 1, sizeof newer, kQuorvelDesktopLayout, nullptr);
    static const QuorvelDesktopModule resized = Table(
        kQuorvelDesktopVersion, sizeof resized + sizeof(Function), kQuorvelDesktopLayout, nullptr);
    static const QuorvelDesktopModule relaid =
        Table(kQuorvelDesktopVersion, sizeof relaid, "0123456789abcdef", Called);
    static const QuorvelDesktopModule hollow =
        Table(kQuorvelDesktopVersion, sizeof hollow, kQuorvelDesktopLayout, nullptr);
    static const QuorvelDesktopModule elsewhere =
        Table(kQuorvelDesktopVersion, sizeof elsewhere, kQuorvelDesktopLayout, std::abort);
    if (table("unversioned")) return reinterpret_cast<const QuorvelDesktopModule*>(kUnversioned);
    if (table("newer")) return &newer;
    if (table("resized")) return &resized;
    if (table("relaid")) return &relaid;
    if (table("hollow")) return &hollow;
    if (table("elsewhere")) return &elsewhere;
    if (table("stray")) {
        return new QuorvelDesktopModule(Table(kQuorvelDesktopVersion, sizeof(QuorvelDesktopModule),
                                              kQuorvelDesktopLayout, Called));
    }
    return nullptr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const QuorvelDesktopModule*
QUORVEL_FOREIGN_ENTRY() {
    const char* name = std::getenv("QUORVEL_FOREIGN_TABLE");
    return name ? Chosen(name) : nullptr;
}
