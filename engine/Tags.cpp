#include "engine/Tags.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>

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
constexpr std::uint8_t kFooterFlag = 0x10;          // version 4: a copy of the header at the end
constexpr std::uint8_t kUnsynchronisedFlag = 0x80;  // 0xFF 0x00 stands for 0xFF throughout
constexpr std::int64_t kLargestSize = (std::int64_t{1} << 28) - 1;

// Whether `head` opens an ID3v2 tag of a version this program knows.
bool IsId3v2Header(const std::uint8_t* head) {
    return std::memcmp(head, "ID3", 3) == 0 && head[kVersionAt] >= 2 && head[kVersionAt] <= 4;
}

bool HasFooter(const std::uint8_t* head) {
    return head[kVersionAt] == 4 && (head[kFlagsAt] & kFooterFlag);
}

// Writes `value` into the four bytes at `at`, seven bits a byte.
void PutSynchSafe(std::uint8_t* at, std::uint64_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        at[3 - i] = static_cast<std::uint8_t>(value >> (7 * i) & 0x7F);
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
    PutSynchSafe(&tag[kSizeAt], std::uint64_t(size) - kHeaderSize);
    return tag;
}

namespace {

std::uint32_t BigEndian(const std::uint8_t* bytes) {
    return std::uint32_t(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
}

// Seven bits a byte, unless a byte has its eighth set: a writer that put a plain number
// there, read as one.
std::uint32_t SynchSafe(const std::uint8_t* bytes) {
    if ((bytes[0] | bytes[1] | bytes[2] | bytes[3]) & 0x80) return BigEndian(bytes);
    return std::uint32_t(bytes[0]) << 21 | bytes[1] << 14 | bytes[2] << 7 | bytes[3];
}

bool IsIdByte(std::uint8_t byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9');
}

// Whether a frame identifier, four capitals or digits, stands at `at`.
bool IdAt(std::span<const std::uint8_t> frame, std::uint64_t at) {
    return at + 4 <= frame.size() && std::all_of(frame.begin() + std::ptrdiff_t(at),
                                                 frame.begin() + std::ptrdiff_t(at + 4), IsIdByte);
}

// Bytes unsynchronised for old players, each 0xFF 0x00 made 0xFF again.
std::vector<std::uint8_t> Resynchronised(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> plain;
    plain.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        plain.push_back(bytes[i]);
        if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0) ++i;
    }
    return plain;
}

// The walk of a tag's frames, for ChapterDepth.
class ChapterWalk {
  public:
    ChapterWalk(int version, bool unsynchronised, std::size_t tagSize)
        : version_(version),
          unsynchronised_(unsynchronised),
          steps_((std::int64_t(kDeepestChapters) + 2) * std::int64_t(tagSize / 10 + 1)),
          copies_(4 * std::int64_t(tagSize) + (1 << 20)) {}

    // The deepest nesting among the frames in `frames`, which lie at `depth`, read one
    // after another from `from` while a frame header fits before `end`. Each frame reaches
    // to the end of `frames` at most, as a tag library hands it on.
    int Frames(std::span<const std::uint8_t> frames, std::size_t from, std::size_t end, int depth,
               bool padding) {
        int deepest = depth - 1;
        for (std::size_t at = from; at + kFrameHeader < end && deepest <= kDeepestChapters;) {
            if (padding && frames[at] == 0) break;
            if (--steps_ < 0) return kDeepestChapters + 1;
            const std::optional<std::size_t> size = FrameSize(frames.subspan(at));
            if (!size) break;
            deepest = std::max(deepest, Frame(frames.subspan(at), *size, depth));
            at += *size + kFrameHeader;
        }
        return deepest;
    }

  private:
    static constexpr std::size_t kFrameHeader = 10;

    // The size of the content of the frame that `frame` starts with (it runs on to the end
    // of what holds it); none where no frame the library takes starts there.
    std::optional<std::size_t> FrameSize(std::span<const std::uint8_t> frame) const {
        std::uint64_t size = BigEndian(&frame[4]);
        if (version_ == 4) {
            size = SynchSafe(&frame[4]);
            // Sizes written as plain numbers in a version 4 tag, where that is what lands
            // on the next frame.
            if (size > 127 && !IdAt(frame, size + kFrameHeader) &&
                IdAt(frame, std::uint64_t(BigEndian(&frame[4])) + kFrameHeader)) {
                size = BigEndian(&frame[4]);
            }
        }
        const bool lengthGiven = version_ == 4 && (frame[9] & 0x01);
        // A version 3 identifier ending in a zero byte is one of version 2's three letters.
        const bool id = std::all_of(frame.begin(), frame.begin() + 3, IsIdByte) &&
                        (IsIdByte(frame[3]) || (version_ == 3 && frame[3] == 0));
        if (!id || size <= (lengthGiven ? 4u : 0u) || size > frame.size()) return std::nullopt;
        return std::size_t(size);
    }

    // How deep the frame that `frame` starts with, of content `size`, nests chapters,
    // itself at `depth`: `depth` - 1 where it is no chapter or table of contents.
    int Frame(std::span<const std::uint8_t> frame, std::size_t size, int depth) {
        const bool chapter = std::equal(frame.begin(), frame.begin() + 4, "CHAP");
        if (!chapter && !std::equal(frame.begin(), frame.begin() + 4, "CTOC")) return depth - 1;
        const std::uint8_t flags = frame[9];
        const bool compressed = version_ == 4 ? flags & 0x08 : flags & 0x80;
        const bool encrypted = version_ == 4 ? flags & 0x04 : flags & 0x40;
        if (encrypted) return depth - 1;  // read as unknown bytes
        if (compressed) return kDeepestChapters + 1;
        std::vector<std::uint8_t> plain;
        if (version_ == 4 && (unsynchronised_ || (flags & 0x02))) {
            // Each level made plain again is a copy: chapters nested so that copies of
            // them would outgrow a large tag several times over count as too deep.
            copies_ -= std::int64_t(size);
            if (copies_ < 0) return kDeepestChapters + 1;
            plain.assign(frame.begin(), frame.begin() + kFrameHeader);
            const auto content = Resynchronised(frame.subspan(kFrameHeader, size));
            plain.insert(plain.end(), content.begin(), content.end());
            frame = plain;
        }
        // Its content, from after the header and the length that a version 4 frame may state
        // before it, for as many bytes as that length or its own size says.
        std::size_t offset = kFrameHeader;
        std::uint64_t length = size;
        if (version_ == 4 && (flags & 0x01)) {
            length = frame.size() >= kFrameHeader + 4 ? SynchSafe(&frame[kFrameHeader]) : 0;
            offset += 4;
        }
        const std::span<const std::uint8_t> content =
            frame.subspan(std::min(offset, frame.size()),
                          std::size_t(std::min<std::uint64_t>(
                              length, frame.size() - std::min(offset, frame.size()))));
        return Content(content, chapter, depth);
    }

    // The frames a chapter's or a table of contents' content holds after its own fields.
    int Content(std::span<const std::uint8_t> content, bool chapter, int depth) {
        if (depth > kDeepestChapters) return depth;
        if (content.size() < (chapter ? 18u : 6u)) return depth;
        // Its identifier, ended by a zero byte (where none ends it, the fields start at 0).
        const auto text = [&content](std::size_t from) {
            const auto zero = std::find(content.begin() + std::ptrdiff_t(from), content.end(), 0);
            return zero == content.end() ? from : std::size_t(zero - content.begin()) + 1;
        };
        std::size_t at = text(0);
        if (chapter) {
            at += 16;  // start and end times and offsets
        } else if (at + 2 <= content.size()) {
            const std::uint8_t entries = content[at + 1];
            at += 2;  // flags and the count of entries, then each entry's identifier
            for (std::uint8_t entry = 0; entry < entries; ++entry) {
                const std::size_t next = text(at);
                if (next == at) break;
                at = next;
            }
        }
        if (at >= content.size()) return depth;
        return std::max(depth, Frames(content, at, content.size(), depth + 1, false));
    }

    int version_;
    bool unsynchronised_;
    std::int64_t steps_;   // frames left to read before the tag counts as too deep
    std::int64_t copies_;  // bytes left to copy, likewise
};

}  // namespace

int ChapterDepth(std::span<const std::uint8_t> tag) {
    if (tag.size() < kHeaderSize || !IsId3v2Header(tag.data()) || tag[kVersionAt] < 3) return 0;
    const std::uint8_t flags = tag[kFlagsAt];
    std::span<const std::uint8_t> body = tag.subspan(
        kHeaderSize, std::min<std::size_t>(SynchSafe(&tag[kSizeAt]), tag.size() - kHeaderSize));
    // A version 3 tag unsynchronised as a whole is read once made plain again.
    std::vector<std::uint8_t> plain;
    if (tag[kVersionAt] == 3 && (flags & kUnsynchronisedFlag)) {
        plain = Resynchronised(body);
        body = plain;
    }
    std::size_t from = 0;
    if ((flags & kExtendedHeaderFlag) && body.size() >= 4 &&
        SynchSafe(body.data()) <= body.size()) {
        from = SynchSafe(body.data());
    }
    std::size_t end = body.size();
    if (HasFooter(tag.data()) && end >= kHeaderSize) end -= kHeaderSize;
    ChapterWalk walk(tag[kVersionAt], flags & kUnsynchronisedFlag, tag.size());
    return std::max(0, walk.Frames(body, from, end, 1, true));
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

// The bytes of the tags after a source's audio that a part's length header counts, the part
// stating `bytes` of audio. The decoders take such tags for more of the stream, an ID3v1 tag
// aside, which mpg123 leaves out: mpg123 distrusts a header that states 1% fewer bytes than
// it sees, and ffmpeg one that states a sixteenth fewer than the file holds, taking its
// padding for sound. Only where they would are the tags counted, as mp3val counts none.
std::int64_t CountedTrailer(const SourceTags& tags, std::int64_t sourceSize, std::int64_t bytes) {
    const std::int64_t id3v1 = tags.Id3v1 ? 128 : 0;
    const std::int64_t others = sourceSize - tags.TrailerAt - id3v1;
    std::int64_t counted = others * 100 > bytes ? others : 0;
    if ((others - counted + id3v1) * 16 > bytes + counted) counted += id3v1;
    return counted;
}

namespace {

constexpr std::string_view kGainRecord = "QUORVEL_GAIN_UNDO";
constexpr std::size_t kFrameHeaderSize = 10;

// Where each frame of a tag (version 3 or 4, its frames readable as they stand) starts, and
// last where its frames end: where its padding starts, or its end. None for another tag.
std::optional<std::vector<std::size_t>> FrameStarts(std::span<const std::uint8_t> tag) {
    if (tag.size() < kHeaderSize || !IsId3v2Header(tag.data()) || tag[kVersionAt] < 3 ||
        (tag[kFlagsAt] & (kUnsynchronisedFlag | kExtendedHeaderFlag)) || HasFooter(tag.data())) {
        return std::nullopt;
    }
    const std::size_t end =
        std::min<std::size_t>(tag.size(), kHeaderSize + SynchSafe(&tag[kSizeAt]));
    std::vector<std::size_t> starts;
    std::size_t at = kHeaderSize;
    while (at + kFrameHeaderSize <= end && IdAt(tag.first(end), at)) {
        starts.push_back(at);
        const std::uint32_t size =
            tag[kVersionAt] == 4 ? SynchSafe(&tag[at + 4]) : BigEndian(&tag[at + 4]);
        if (size > end - at - kFrameHeaderSize) return std::nullopt;
        at += kFrameHeaderSize + size;
    }
    starts.push_back(at);
    return starts;
}

std::string RecordText(const GainRecord& record) {
    std::string text = "steps=" + std::to_string(record.Steps);
    if (record.FadeIn > 0 || record.FadeOut > 0) {
        text += ";fade=" + std::to_string(record.FadeIn) + "," + std::to_string(record.FadeOut);
    }
    if (record.NewTag) text += ";tag=new";
    const auto granule = [](std::uint64_t key) {
        return std::to_string(key / 4) + "." + std::to_string(key % 4);
    };
    for (std::size_t i = 0; i < record.Left.size(); ++i) {
        text += (i == 0 ? ";left=" : ",") + granule(record.Left[i]);
    }
    for (std::size_t i = 0; i < record.Silenced.size(); ++i) {
        text += (i == 0 ? ";silenced=" : ",") + granule(record.Silenced[i].first) + ":" +
                std::to_string(record.Silenced[i].second);
    }
    return text;
}

// The text's fields one by one, split at `separator`.
template <typename Visit>
bool EachField(std::string_view text, char separator, Visit&& visit) {
    while (!text.empty()) {
        const std::string_view field = text.substr(0, text.find(separator));
        text.remove_prefix(std::min(text.size(), field.size() + 1));
        if (!visit(field)) return false;
    }
    return true;
}

template <typename Number>
bool ReadWhole(std::string_view digits, Number& value) {
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc() && end == digits.data() + digits.size();
}

// A granule named "frame.place".
bool ReadGranule(std::string_view text, std::uint64_t& key) {
    const std::size_t dot = text.find('.');
    std::uint64_t frame = 0, place = 0;
    if (dot == std::string_view::npos || !ReadWhole(text.substr(0, dot), frame) ||
        !ReadWhole(text.substr(dot + 1), place) || place > 3) {
        return false;
    }
    key = frame * 4 + place;
    return true;
}

// The record a frame's text states; none where it is no record.
std::optional<GainRecord> ReadRecordText(std::string_view text) {
    GainRecord record;
    bool steps = false;
    const bool read = EachField(text, ';', [&](std::string_view field) {
        const std::size_t equals = field.find('=');
        const std::string_view name = field.substr(0, equals);
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view{} : field.substr(equals + 1);
        if (name == "steps") return steps = ReadWhole(value, record.Steps);
        if (name == "tag") return record.NewTag = value == "new";
        if (name == "fade") {
            const std::size_t comma = value.find(',');
            return comma != std::string_view::npos &&
                   ReadWhole(value.substr(0, comma), record.FadeIn) &&
                   ReadWhole(value.substr(comma + 1), record.FadeOut);
        }
        if (name == "left") {
            return EachField(value, ',', [&](std::string_view granule) {
                std::uint64_t key = 0;
                if (!ReadGranule(granule, key)) return false;
                record.Left.push_back(key);
                return true;
            });
        }
        if (name == "silenced") {
            return EachField(value, ',', [&](std::string_view entry) {
                const std::size_t colon = entry.find(':');
                std::uint64_t key = 0;
                int gain = 0;
                if (colon == std::string_view::npos || !ReadGranule(entry.substr(0, colon), key) ||
                    !ReadWhole(entry.substr(colon + 1), gain)) {
                    return false;
                }
                record.Silenced.emplace_back(key, gain);
                return true;
            });
        }
        return false;
    });
    if (!read || !steps) return std::nullopt;
    return record;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> WithGainRecord(std::span<const std::uint8_t> tag,
                                                        const GainRecord& record) {
    std::vector<std::uint8_t> made(tag.begin(), tag.end());
    if (made.empty()) made = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0};
    const auto starts = FrameStarts(made);
    if (!starts) return std::nullopt;
    // Its text in ISO 8859-1: the description, then the value.
    std::string content(1, '\0');
    content.append(kGainRecord).append(1, '\0').append(RecordText(record));
    std::vector<std::uint8_t> frame(kFrameHeaderSize + content.size());
    std::memcpy(frame.data(), "TXXX", 4);
    std::memcpy(frame.data() + kFrameHeaderSize, content.data(), content.size());
    const std::uint64_t size = frame.size() - kFrameHeaderSize;
    if (made[kVersionAt] == 4) {
        PutSynchSafe(&frame[4], size);
    } else {
        for (std::size_t i = 0; i < 4; ++i)
            frame[7 - i] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    const std::uint64_t stated = SynchSafe(&made[kSizeAt]) + frame.size();
    if (stated > std::uint64_t(kLargestSize)) return std::nullopt;
    // Before the padding, where a reader of the tag's frames finds it.
    made.insert(made.begin() + std::ptrdiff_t(starts->back()), frame.begin(), frame.end());
    PutSynchSafe(&made[kSizeAt], stated);
    return made;
}

std::optional<RecordedGain> FindGainRecord(std::span<const std::uint8_t> tag) {
    const auto starts = FrameStarts(tag);
    if (!starts) return std::nullopt;
    for (std::size_t i = 0; i + 1 < starts->size(); ++i) {
        const std::size_t at = (*starts)[i], end = (*starts)[i + 1];
        const auto content = tag.subspan(at + kFrameHeaderSize, end - at - kFrameHeaderSize);
        if (std::memcmp(&tag[at], "TXXX", 4) != 0 || content.size() < kGainRecord.size() + 2 ||
            content[0] != 0 ||
            std::memcmp(&content[1], kGainRecord.data(), kGainRecord.size()) != 0 ||
            content[1 + kGainRecord.size()] != 0) {
            continue;
        }
        const auto text = content.subspan(kGainRecord.size() + 2);
        auto record = ReadRecordText({reinterpret_cast<const char*>(text.data()), text.size()});
        if (!record) return std::nullopt;
        RecordedGain found{std::move(*record), {}};
        if (found.Record.NewTag) return found;
        found.Before.assign(tag.begin(), tag.begin() + std::ptrdiff_t(at));
        found.Before.insert(found.Before.end(), tag.begin() + std::ptrdiff_t(end), tag.end());
        PutSynchSafe(&found.Before[kSizeAt], SynchSafe(&tag[kSizeAt]) - (end - at));
        return found;
    }
    return std::nullopt;
}

}  // namespace quorvel
