#include "platform/TagLibEditor.h"

#include "platform/DesktopServices.h"

namespace quorvel::platform {

std::optional<std::vector<std::uint8_t>> TagLibEditor::ForPart(std::span<const std::uint8_t> id3v2,
                                                               PartTime part) {
    // Without the module the tag goes out as it came.
    auto tag = TagForPart(id3v2, part);
    if (!tag) unavailable_ = DesktopUnavailable();
    return tag;
}

std::vector<Chapter> TagLibEditor::Chapters(std::span<const std::uint8_t> id3v2) {
    return ChaptersOf(id3v2);
}

}  // namespace quorvel::platform
