#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quorvel::platform {

// What the program takes from the desktop's libraries: GIO for the trash, TagLib for
// tags. Loading them takes several times as long as the companion needs to start, so they
// live in a module of their own (libquorvel-desktop.so), loaded when first needed.
class DesktopServices {
  public:
    virtual ~DesktopServices() = default;
    // Moves a file or folder, with all it holds, into the desktop trash of its volume;
    // the reason when no trash could take it.
    virtual std::optional<std::string> Trash(const std::string& path) = 0;
    // The ID3v2 tag with its length frame (TLEN) stating `milliseconds`; none where the
    // tag has no length frame or cannot be read.
    virtual std::optional<std::vector<std::uint8_t>> TagWithLength(
        std::span<const std::uint8_t> id3v2, std::int64_t milliseconds) = 0;
};

// The module's services, loaded on the first call; none where the module cannot be
// loaded, and `why` then says why.
DesktopServices* LoadDesktopServices(std::string& why);

}  // namespace quorvel::platform

// The module's one entry point.
extern "C" quorvel::platform::DesktopServices* QuorvelDesktopServices();
