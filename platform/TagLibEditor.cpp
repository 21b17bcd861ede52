#include "platform/TagLibEditor.h"

#include "engine/Tags.h"
#include "platform/DesktopServices.h"

namespace quorvel::platform {

bool TagLibEditor::Readable(std::span<const std::uint8_t> id3v2) {
    unread_.reset();
    if (ChapterDepth(id3v2) <= kDeepestChapters) return true;
    unread_ = Tr("Tags", "its chapters nest more than %1 deep").Arg(kDeepestChapters);
    return false;
}

std::optional<std::vector<std::uint8_t>> TagLibEditor::ForPart(std::span<const std::uint8_t> id3v2,
                                                               PartTime part) {
    if (!Readable(id3v2)) return std::nullopt;
    // Without the module the tag goes out as it came.
    auto tag = TagForPart(id3v2, part);
    if (!tag) unavailable_ = DesktopUnavailable();
    return tag;
}

std::vector<Chapter> TagLibEditor::Chapters(std::span<const std::uint8_t> id3v2) {
    if (!Readable(id3v2)) return {};
    return ChaptersOf(id3v2);
}

std::optional<std::vector<std::uint8_t>> TagLibEditor::WithChapters(
    std::span<const std::uint8_t> id3v2, const std::vector<Chapter>& chapters,
    std::int64_t lengthMs) {
    if (!Readable(id3v2)) return std::nullopt;
    auto tag = TagWithChapters(id3v2, chapters, lengthMs);
    if (!tag) unavailable_ = DesktopUnavailable();
    return tag;
}

std::optional<std::vector<std::uint8_t>> TagLibEditor::WithUserTexts(
    std::span<const std::uint8_t> id3v2, const std::vector<UserText>& texts) {
    if (!Readable(id3v2)) return std::nullopt;
    auto tag = TagWithUserTexts(id3v2, texts);
    if (!tag) unavailable_ = DesktopUnavailable();
    return tag;
}

std::string TagLibEditor::Title(std::span<const std::uint8_t> id3v2) {
    if (id3v2.empty() || !Readable(id3v2)) return {};
    return TitleOf(id3v2);
}

}  // namespace quorvel::platform
