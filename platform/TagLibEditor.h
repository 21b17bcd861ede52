#pragma once

#include "engine/Tags.h"

namespace quorvel::platform {

// Edits ID3v2 tags with TagLib, in the desktop module.
class TagLibEditor final : public TagEditor {
  public:
    std::optional<std::vector<std::uint8_t>> WithLength(std::span<const std::uint8_t> id3v2,
                                                        std::int64_t milliseconds) override;
    std::optional<std::string> Unavailable() const override { return unavailable_; }

  private:
    std::optional<std::string> unavailable_;
};

}  // namespace quorvel::platform
