#include "engine/Tags.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace quorvel {
namespace {

// Whether `text` stands at `at`, no earlier than `from`.
bool Holds(ByteSource& source, std::int64_t at, std::string_view text, std::int64_t from) {
    std::array<std::uint8_t, 16> bytes{};
    return at >= from && ReadFully(source, at, bytes.data(), text.size()) == text.size() &&
           std::memcmp(bytes.data(), text.data(), text.size()) == 0;
}

std::uint32_t LittleEndian(const std::uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// An APEv2 tag ending at `end`: its 32-byte footer ("APETAGEX", version, size of the items
// and the footer, item count, flags) says where it starts, after a header of 32 bytes
// when flag bit 31 says there is one.
std::int64_t ApeTagStart(ByteSource& source, std::int64_t end, std::int64_t from) {
    std::array<std::uint8_t, 32> footer{};
    const std::int64_t at = end - 32;
    if (!Holds(source, at, "APETAGEX", from) ||
        ReadFully(source, at, footer.data(), footer.size()) != footer.size()) {
        return end;
    }
    const std::int64_t size = LittleEndian(&footer[12]);
    const bool header = LittleEndian(&footer[20]) & 0x80000000u;
    const std::int64_t start = end - size - (header ? 32 : 0);
    return size >= 32 && start >= from ? start : end;
}

// A Lyrics3 block ending at `end`: version 2 ends in six digits of its size and
// "LYRICS200", version 1 in "LYRICSEND" within 5100 bytes of its "LYRICSBEGIN".
std::int64_t Lyrics3Start(ByteSource& source, std::int64_t end, std::int64_t from) {
    if (Holds(source, end - 9, "LYRICS200", from)) {
        std::array<std::uint8_t, 6> digits{};
        if (ReadFully(source, end - 15, digits.data(), digits.size()) != digits.size()) return end;
        std::int64_t size = 0;
        for (const std::uint8_t digit : digits) {
            if (digit < '0' || digit > '9') return end;
            size = size * 10 + (digit - '0');
        }
        const std::int64_t start = end - 15 - size;
        return Holds(source, start, "LYRICSBEGIN", from) ? start : end;
    }
    if (!Holds(source, end - 9, "LYRICSEND", from)) return end;
    constexpr std::int64_t kLongest = 5100;
    const std::int64_t first = std::max(from, end - 9 - kLongest);
    std::vector<std::uint8_t> block(static_cast<std::size_t>(end - 9 - first));
    if (ReadFully(source, first, block.data(), block.size()) != block.size()) return end;
    const std::string_view text(reinterpret_cast<const char*>(block.data()), block.size());
    const auto begin = text.rfind("LYRICSBEGIN");
    return begin == std::string_view::npos ? end : first + static_cast<std::int64_t>(begin);
}

constexpr std::size_t kHeaderSize = 10;
// The size that the header states (all but the header) is four bytes of seven bits.
constexpr std::int64_t kLargestSize = (std::int64_t{1} << 28) - 1;

}  // namespace

std::optional<std::vector<std::uint8_t>> Padded(std::vector<std::uint8_t> tag, std::int64_t size) {
    if (tag.empty()) tag = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0};
    // Flag 0x40 is an extended header in versions 3 and 4 (whose count of padding, or CRC
    // over it, would no longer hold) and compression in version 2; 0x10 a footer in 4.
    if (tag.size() < kHeaderSize || std::memcmp(tag.data(), "ID3", 3) != 0 || tag[3] < 2 ||
        tag[3] > 4 || (tag[5] & 0x40) || (tag[3] == 4 && (tag[5] & 0x10)) ||
        size < std::int64_t(tag.size()) || size - std::int64_t(kHeaderSize) > kLargestSize) {
        return std::nullopt;
    }
    tag.resize(static_cast<std::size_t>(size), 0);
    const std::int64_t stated = size - std::int64_t(kHeaderSize);
    for (int i = 0; i < 4; ++i) tag[9 - i] = static_cast<std::uint8_t>(stated >> (7 * i) & 0x7F);
    return tag;
}

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
    tags.TrailerAt = source.Size();
    if (Holds(source, tags.TrailerAt - 128, "TAG", tags.Id3v2Length)) tags.TrailerAt -= 128;
    // An APEv2 tag and a Lyrics3 block may stand before it, in either order.
    for (std::int64_t before = -1; before != tags.TrailerAt;) {
        before = tags.TrailerAt;
        tags.TrailerAt = ApeTagStart(source, tags.TrailerAt, tags.Id3v2Length);
        tags.TrailerAt = Lyrics3Start(source, tags.TrailerAt, tags.Id3v2Length);
    }
    return tags;
}

}  // namespace quorvel
