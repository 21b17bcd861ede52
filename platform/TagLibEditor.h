#pragma once

#include "engine/TagEditor.h"

namespace quorvel::platform {

// Edits ID3v2 tags with TagLib, in the desktop module. A tag that nests its chapters deeper
// than kDeepestChapters is not handed to it: TagLib reads them by recursion, one level of
// its stack a chapter, and such a tag could end the program.
class TagLibEditor final : public TagEditor {
  public:
    std::optional<std::vector<std::uint8_t>> ForPart(std::span<const std::uint8_t> id3v2,
                                                     PartTime part) override;
    std::vector<Chapter> Chapters(std::span<const std::uint8_t> id3v2) override;
    std::optional<std::vector<std::uint8_t>> WithChapters(std::span<const std::uint8_t> id3v2,
                                                          const std::vector<Chapter>& chapters,
                                                          std::int64_t lengthMs) override;
    std::optional<std::vector<std::uint8_t>> WithUserTexts(
        std::span<const std::uint8_t> id3v2, const std::vector<UserText>& texts) override;
    std::string Title(std::span<const std::uint8_t> id3v2) override;
    std::optional<std::string> Unavailable() const override { return unavailable_; }
    std::optional<Message> Unread() const override { return unread_; }

  private:
    // Whether the tag may go to TagLib; where not, unread_ says why.
    bool Readable(std::span<const std::uint8_t> id3v2);

    std::optional<std::string> unavailable_;
    std::optional<Message> unread_;
};

}  // namespace quorvel::platform
