#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The desktop's libraries, GIO for the trash and TagLib for tags, take several times as
// long to load as the companion needs to start, so they live in a module of their own,
// libquorvel-desktop.so, loaded when first needed.
namespace quorvel::platform {

// Moves a file or folder, with all it holds, into the desktop trash of its volume; the
// reason when no trash could take it or the module could not be loaded.
std::optional<std::string> TrashThroughDesktop(const std::string& path);

// Why the module cannot be loaded; none where it can. Loads it if no call has yet.
std::optional<std::string> DesktopUnavailable();

// The ID3v2 tag with its length frame (TLEN) stating `milliseconds`; none where the tag
// has no length frame or cannot be read, or the module could not be loaded.
std::optional<std::vector<std::uint8_t>> TagWithLength(std::span<const std::uint8_t> id3v2,
                                                       std::int64_t milliseconds);

}  // namespace quorvel::platform

// The module's functions, in C types only: the companion carries a C++ runtime of its own
// and the module uses the system's, so no C++ object may pass between them. What they
// return is the caller's to free().
extern "C" {
struct QuorvelDesktopModule {
    // Null once the item is in the trash; otherwise why it is not.
    char* (*Trash)(const char* path);
    // The rewritten tag, `*length` bytes; null where the tag has no length frame.
    unsigned char* (*TagWithLength)(const unsigned char* id3v2, std::size_t size,
                                    long long milliseconds, std::size_t* length);
};
const QuorvelDesktopModule* QuorvelDesktop();
}
