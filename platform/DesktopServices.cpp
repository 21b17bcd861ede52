#include "platform/DesktopServices.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <limits.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
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

// Why the file open as `fd` must not be handed to the dynamic loader; null where it may.
// The loader maps each loadable segment where the program headers place it without
// comparing them with the file's size, and a segment reaching past the end of a file cut
// short then faults with a bus error inside the loader. The rest of the header (machine,
// type, version) the loader checks itself before it maps anything.
const char* Unloadable(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return "not a regular file";
    const auto size = std::uint64_t(status.st_size);
    ElfW(Ehdr) header{};
    if (size < sizeof header || ::pread(fd, &header, sizeof header, 0) != ssize_t(sizeof header)) {
        return "file too short";
    }
    constexpr unsigned char ownClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
    constexpr unsigned char ownOrder =
        std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ownClass ||
        header.e_ident[EI_DATA] != ownOrder || header.e_phentsize != sizeof(ElfW(Phdr))) {
        return "invalid ELF header";
    }
    const std::uint64_t tableSize = std::uint64_t(header.e_phnum) * sizeof(ElfW(Phdr));
    if (header.e_phoff > size || tableSize > size - header.e_phoff) {
        return "cannot read file data";
    }
    std::vector<ElfW(Phdr)> segments(header.e_phnum);
    if (::pread(fd, segments.data(), tableSize, off_t(header.e_phoff)) != ssize_t(tableSize)) {
        return "cannot read file data";
    }
    for (const ElfW(Phdr) & segment : segments) {
        if (segment.p_type == PT_LOAD &&
            (segment.p_offset > size || segment.p_filesz > size - segment.p_offset)) {
            return "file too short";
        }
    }
    return nullptr;
}

// None where the module at `path` may be loaded; otherwise why not, worded as the
// dynamic loader words its own refusals.
std::optional<std::string> WhyNotLoadable(const std::string& path) {
    // Without waiting: a named pipe in the module's place is refused, not waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return path + ": cannot open shared object file: " + std::strerror(errno);
    const char* why = Unloadable(fd);
    ::close(fd);
    if (why) return path + ": " + why;
    return std::nullopt;
}

// The module's table, or none and why.
using Loaded = std::pair<const QuorvelDesktopModule*, std::string>;

// Where a loaded module's segments lie: its bytes, and the code among them.
struct Segments {
    using Range = std::pair<std::uintptr_t, std::uintptr_t>;
    std::vector<Range> Readable;
    std::vector<Range> Executable;
};

// Whether the `size` bytes at `at` lie within one of `ranges`.
bool Within(const std::vector<Segments::Range>& ranges, const void* at, std::size_t size) {
    const auto from = reinterpret_cast<std::uintptr_t>(at);
    return std::any_of(ranges.begin(), ranges.end(), [&](const Segments::Range& range) {
        return from >= range.first && from <= range.second && size <= range.second - from;
    });
}

Segments SegmentsOf(void* module) {
    struct Search {
        const link_map* map = nullptr;
        Segments found;
    } search;
    if (::dlinfo(module, RTLD_DI_LINKMAP, &search.map) != 0 || !search.map) return {};
    ::dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            auto& search = *static_cast<Search*>(data);
            if (info->dlpi_addr != search.map->l_addr ||
                std::strcmp(info->dlpi_name, search.map->l_name) != 0) {
                return 0;
            }
            for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& segment = info->dlpi_phdr[i];
                if (segment.p_type != PT_LOAD) continue;
                const std::uintptr_t from = info->dlpi_addr + segment.p_vaddr;
                const Segments::Range range{from, from + segment.p_memsz};
                if (segment.p_flags & PF_R) search.found.Readable.push_back(range);
                if (segment.p_flags & PF_X) search.found.Executable.push_back(range);
            }
            return 1;
        },
        &search);
    return search.found;
}

// Every field of the table after its layout is a function, each to lie in the module's code.
constexpr std::size_t kFirstFunction = offsetof(QuorvelDesktopModule, Trash);
static_assert((sizeof(QuorvelDesktopModule) - kFirstFunction) % sizeof(void (*)()) == 0);

// The table of the module loaded from `path` as `module`, where it is of the program's own
// version, size and layout, and it and its functions lie within the module. A module left
// from another installation would be called through a table laid out otherwise, and one
// that is no module of Quorvel's at all through anything: nothing of it is called but an
// entry point in its own code, and nothing of the table read that does not lie in the
// module, its first two fields first. A module refused stays loaded, as the libraries it
// brought in are not made to be unloaded while the program runs.
Loaded TableOf(const std::string& path, void* module) {
    const auto refused = [&path](const std::string& detail) -> Loaded {
        return {nullptr, "the desktop module " + path + " is of another version (" + detail +
                             "), reinstall Quorvel"};
    };
    void* const entryPoint = ::dlsym(module, "QuorvelDesktop");
    if (!entryPoint) return refused("it has no entry point QuorvelDesktop");
    const Segments segments = SegmentsOf(module);
    if (!Within(segments.Executable, entryPoint, 1)) {
        return refused("its entry point QuorvelDesktop lies outside its code");
    }
    const QuorvelDesktopModule* table = reinterpret_cast<decltype(&QuorvelDesktop)>(entryPoint)();
    if (!table) return refused("its entry point gives no table");
    if (!Within(segments.Readable, table, offsetof(QuorvelDesktopModule, layout))) {
        return refused("its table lies outside it");
    }
    // A table from before tables carried their version starts with a function's address.
    if (table->size > 1u << 16) return refused("its table carries no version");
    if (table->version != kQuorvelDesktopVersion || table->size != sizeof *table) {
        return refused("its table is version " + std::to_string(table->version) + " of " +
                       std::to_string(table->size) + " bytes, Quorvel's version " +
                       std::to_string(kQuorvelDesktopVersion) + " of " +
                       std::to_string(sizeof *table) + " bytes");
    }
    if (!Within(segments.Readable, table, sizeof *table)) {
        return refused("its table lies outside it");
    }
    if (std::memcmp(table->layout, kQuorvelDesktopLayout, sizeof kQuorvelDesktopLayout) != 0) {
        return refused("its table is laid out otherwise");
    }
    const auto* fields = reinterpret_cast<const unsigned char*>(table);
    for (std::size_t at = kFirstFunction; at < sizeof *table; at += sizeof(void (*)())) {
        void (*function)() = nullptr;
        std::memcpy(&function, fields + at, sizeof function);
        if (!Within(segments.Executable, reinterpret_cast<const void*>(function), 1)) {
            return refused("its table's functions lie outside its code");
        }
    }
    return {table, {}};
}

}  // namespace

const QuorvelDesktopModule* DesktopModule(std::string& why) {
    static const Loaded loaded = []() -> Loaded {
        for (const std::string& path : ModulePaths()) {
            struct stat status {};
            if (::stat(path.c_str(), &status) != 0) continue;
            if (auto refused = WhyNotLoadable(path)) return {nullptr, *refused};
            void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!module) return {nullptr, ::dlerror()};
            return TableOf(path, module);
        }
        return {nullptr, QUORVEL_MODULE_NAME ": cannot open shared object file: " +
                             std::string(std::strerror(ENOENT))};
    }();
    why = loaded.second;
    return loaded.first;
}

namespace {

template <typename T>
using Freed = std::unique_ptr<T, decltype(&std::free)>;

}  // namespace

std::optional<std::string> TrashThroughDesktop(const std::string& path) {
    std::string why;
    const QuorvelDesktopModule* module = DesktopModule(why);
    if (!module) return "no trash could be reached: " + why;
    const Freed<char> refused(module->Trash(path.c_str()), &std::free);
    if (!refused) return std::nullopt;
    return std::string(refused.get());
}

namespace {

// Whether the user's language for messages may be one other than English, as the locale's
// variables give it (the first one set decides; LANGUAGE only beside a locale of its own).
bool WantsTranslation() {
    const auto english = [](std::string_view value) {
        return value == "C" || value == "POSIX" || value.starts_with("C.") ||
               value.starts_with("en");
    };
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        if (english(value)) return false;
        const char* languages = std::getenv("LANGUAGE");
        return !languages || !*languages || !english(languages);
    }
    return false;
}

}  // namespace

std::string Translated(const Message& message) {
    static const bool wanted = WantsTranslation();
    std::string why;
    const QuorvelDesktopModule* module = wanted ? DesktopModule(why) : nullptr;
    if (!module) return English(message);
    return Render(message, [module](const Message& marked) {
        const Freed<char> text(
            module->Translate(marked.Context(), marked.Source().c_str(), marked.Singular(),
                              marked.Count() ? int(*marked.Count()) : -1),
            &std::free);
        return text ? std::string(text.get()) : std::string();
    });
}

std::optional<std::string> DesktopUnavailable() {
    std::string why;
    if (DesktopModule(why)) return std::nullopt;
    return why;
}

std::optional<std::vector<std::uint8_t>> TagForPart(std::span<const std::uint8_t> id3v2,
                                                    const PartTime& part) {
    std::string why;
    const QuorvelDesktopModule* module = DesktopModule(why);
    if (!module) return std::nullopt;
    std::size_t length = 0;
    const Freed<unsigned char> tag(
        module->TagForPart(id3v2.data(), id3v2.size(), part.StartMs, part.LengthMs, part.Track,
                           part.Tracks, part.Title.c_str(), part.Performer.c_str(), &length),
        &std::free);
    if (!tag) return std::nullopt;
    return std::vector<std::uint8_t>(tag.get(), tag.get() + length);
}

std::vector<Chapter> ChaptersOf(std::span<const std::uint8_t> id3v2) {
    std::string why;
    const QuorvelDesktopModule* module = DesktopModule(why);
    if (!module) return {};
    std::size_t count = 0;
    const Freed<QuorvelChapter> found(module->Chapters(id3v2.data(), id3v2.size(), &count),
                                      &std::free);
    std::vector<Chapter> chapters;
    for (std::size_t i = 0; found && i < count; ++i) {
        const QuorvelChapter& chapter = found.get()[i];
        const Freed<char> title(chapter.title, &std::free);
        chapters.push_back({chapter.start, chapter.end, title ? title.get() : ""});
    }
    return chapters;
}

std::optional<std::vector<std::uint8_t>> TagWithChapters(std::span<const std::uint8_t> id3v2,
                                                         const std::vector<Chapter>& chapters,
                                                         std::int64_t lengthMs) {
    std::string why;
    const QuorvelDesktopModule* module = DesktopModule(why);
    if (!module) return std::nullopt;
    std::vector<QuorvelChapter> given;
    for (const Chapter& chapter : chapters) {
        given.push_back(
            {chapter.StartMs, chapter.EndMs,
             chapter.Title.empty() ? nullptr : const_cast<char*>(chapter.Title.c_str())});
    }
    std::size_t length = 0;
    const Freed<unsigned char> tag(module->TagWithChapters(id3v2.data(), id3v2.size(), given.data(),
                                                           given.size(), lengthMs, &length),
                                   &std::free);
    if (!tag) return std::nullopt;
    return std::vector<std::uint8_t>(tag.get(), tag.get() + length);
}

std::string TitleOf(std::span<const std::uint8_t> id3v2) {
    std::string why;
    const QuorvelDesktopModule* module = DesktopModule(why);
    if (!module) return {};
    const Freed<char> title(module->TitleOf(id3v2.data(), id3v2.size()), &std::free);
    return title ? std::string(title.get()) : std::string();
}

std::optional<std::vector<std::uint8_t>> TagWithUserTexts(std::span<const std::uint8_t> id3v2,
                                                          const std::vector<UserText>& texts) {
    std::string why;
    const QuorvelDesktopModule* module = DesktopModule(why);
    if (!module) return std::nullopt;
    std::vector<const char*> descriptions;
    std::vector<const char*> values;
    for (const UserText& text : texts) {
        descriptions.push_back(text.Description.c_str());
        values.push_back(text.Value.c_str());
    }
    std::size_t length = 0;
    const Freed<unsigned char> tag(
        module->TagWithUserTexts(id3v2.data(), id3v2.size(), descriptions.data(), values.data(),
                                 texts.size(), &length),
        &std::free);
    if (!tag) return std::nullopt;
    return std::vector<std::uint8_t>(tag.get(), tag.get() + length);
}

}  // namespace quorvel::platform
