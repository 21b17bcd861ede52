#include "platform/TagLibEditor.h"

#include "platform/DesktopServices.h"

namespace quorvel::platform {

std::optional<std::vector<std::uint8_t>> TagLibEditor::WithLength(
    std::span<const std::uint8_t> id3v2, std::int64_t milliseconds) {
    // Without the module the tag goes out as it came.
    auto tag = TagWithLength(id3v2, milliseconds);
    if (!tag) unavailable_ = DesktopUnavailable();
    return tag;
}

}  // namespace quorvel::platform
