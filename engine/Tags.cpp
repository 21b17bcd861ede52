#include "engine/Tags.h"

#include <array>
#include <cstring>

namespace quorvel {

SourceTags FindTags(ByteSource& source) {
    SourceTags tags;
    // "ID3", version 2 to 4, a revision, flags, then the size in four 7-bit bytes.
    std::array<std::uint8_t, 10> head{};
    if (ReadFully(source, 0, head.data(), head.size()) == head.size() &&
        std::memcmp(head.data(), "ID3", 3) == 0 && head[3] >= 2 && head[3] <= 4 &&
        head[4] != 0xFF && (head[6] | head[7] | head[8] | head[9]) < 0x80) {
        const std::int64_t size =
            std::int64_t{head[6]} << 21 | head[7] << 14 | head[8] << 7 | head[9];
        const bool footer = head[3] == 4 && (head[5] & 0x10);
        const std::int64_t length = 10 + size + (footer ? 10 : 0);
        if (length <= source.Size()) tags.Id3v2Length = length;
    }
    std::array<std::uint8_t, 3> tail{};
    const std::int64_t at = source.Size() - 128;
    if (at >= tags.Id3v2Length && ReadFully(source, at, tail.data(), tail.size()) == tail.size() &&
        std::memcmp(tail.data(), "TAG", 3) == 0) {
        tags.Id3v1At = at;
    }
    return tags;
}

}  // namespace quorvel
