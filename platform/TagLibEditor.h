#pragma once

#include "engine/TagEditor.h"

namespace quorvel::platform {

// Edits ID3v2 tags with TagLib, in the desktop module.
class TagLibEditor final : public TagEditor {
  public:
    std::optional<std::vector<std::uint8_t>> ForPart(std::span<const std::uint8_t> id3v2,
                                                     PartTime part) override;
    std::vector<Chapter> Chapters(std::span<const std::uint8_t> id3v2) override;
    std::optional<std::string> Unavailable() const override { return unavailable_; }

  private:
    std::optional<std::string> unavailable_;
};

}  // namespace quorvel::platform
