#include "platform/TagLibEditor.h"

#include "platform/DesktopServices.h"

namespace quorvel::platform {

std::optional<std::vector<std::uint8_t>> TagLibEditor::WithLength(
    std::span<const std::uint8_t> id3v2, std::int64_t milliseconds) {
    // Without the module the tag goes out as it came.
    return TagWithLength(id3v2, milliseconds);
}

}  // namespace quorvel::platform
