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

// An ID3v2 tag's header: "ID3", the version (2 to 4) and its revision, the flags, then the
// size of all that follows it but a footer, in four bytes of seven bits each.
constexpr std::size_t kHeaderSize = 10;
constexpr std::size_t kVersionAt = 3;
constexpr std::size_t kRevisionAt = 4;
constexpr std::size_t kFlagsAt = 5;
constexpr std::size_t kSizeAt = 6;
// An extended header in versions 3 and 4 (whose count of padding, or CRC over it, would no
// longer hold once padding is added), compression in version 2.
constexpr std::uint8_t kExtendedHeaderFlag = 0x40;
constexpr std::uint8_t kFooterFlag = 0x10;  // version 4: a copy of the header at the end
constexpr std::int64_t kLargestSize = (std::int64_t{1} << 28) - 1;

// Whether `head` opens an ID3v2 tag of a version this program knows.
bool IsId3v2Header(const std::uint8_t* head) {
    return std::memcmp(head, "ID3", 3) == 0 && head[kVersionAt] >= 2 && head[kVersionAt] <= 4;
}

bool HasFooter(const std::uint8_t* head) {
    return head[kVersionAt] == 4 && (head[kFlagsAt] & kFooterFlag);
}

}  // namespace

std::optional<std::vector<std::uint8_t>> Padded(std::vector<std::uint8_t> tag, std::int64_t size) {
    if (tag.empty()) tag = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0};
    if (tag.size() < kHeaderSize || !IsId3v2Header(tag.data()) ||
        (tag[kFlagsAt] & kExtendedHeaderFlag) || HasFooter(tag.data()) ||
        size < std::int64_t(tag.size()) || size - std::int64_t(kHeaderSize) > kLargestSize) {
        return std::nullopt;
    }
    tag.resize(static_cast<std::size_t>(size), 0);
    const std::int64_t stated = size - std::int64_t(kHeaderSize);
    for (std::size_t i = 0; i < 4; ++i) {
        tag[kSizeAt + 3 - i] = static_cast<std::uint8_t>(stated >> (7 * i) & 0x7F);
    }
    return tag;
}

SourceTags FindTags(ByteSource& source) {
    SourceTags tags;
    std::array<std::uint8_t, kHeaderSize> head{};
    if (ReadFully(source, 0, head.data(), head.size()) == head.size() &&
        IsId3v2Header(head.data()) && head[kRevisionAt] != 0xFF &&
        (head[kSizeAt] | head[kSizeAt + 1] | head[kSizeAt + 2] | head[kSizeAt + 3]) < 0x80) {
        const std::int64_t size = std::int64_t{head[kSizeAt]} << 21 | head[kSizeAt + 1] << 14 |
                                  head[kSizeAt + 2] << 7 | head[kSizeAt + 3];
        const std::int64_t length =
            std::int64_t(kHeaderSize) + size + (HasFooter(head.data()) ? 10 : 0);
        if (length <= source.Size()) tags.Id3v2Length = length;
    }
    tags.TrailerAt = source.Size();
    tags.Id3v1 = Holds(source, tags.TrailerAt - 128, "TAG", tags.Id3v2Length);
    if (tags.Id3v1) tags.TrailerAt -= 128;
    // An APEv2 tag and a Lyrics3 block may stand before it, in either order.
    for (std::int64_t before = -1; before != tags.TrailerAt;) {
        before = tags.TrailerAt;
        tags.TrailerAt = ApeTagStart(source, tags.TrailerAt, tags.Id3v2Length);
        tags.TrailerAt = Lyrics3Start(source, tags.TrailerAt, tags.Id3v2Length);
    }
    return tags;
}

}  // namespace quorvel
