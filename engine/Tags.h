#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/ByteSource.h"

namespace quorvel {

// Where a source keeps its tags: an ID3v2 tag at its start and an ID3v1 tag in its last
// 128 bytes, each copied onto both parts.
struct SourceTags {
    std::int64_t Id3v2Length = 0;  // 0: none
    std::int64_t Id3v1At = -1;     // -1: none
};

// Finds the tags by their own headers; anything that does not look right is no tag.
SourceTags FindTags(ByteSource& source);

// What the split needs of an ID3v2 tag library.
class TagEditor {
  public:
    virtual ~TagEditor() = default;
    // The tag with its length frame (TLEN) stating `milliseconds`; nothing when the tag
    // has no length frame or cannot be read, and the tag is then copied as it is.
    virtual std::optional<std::vector<std::uint8_t>> WithLength(std::span<const std::uint8_t> id3v2,
                                                                std::int64_t milliseconds) = 0;
    // Why no tag could be edited, once the library was needed and could not be had.
    virtual std::optional<std::string> Unavailable() const { return std::nullopt; }
};

}  // namespace quorvel
