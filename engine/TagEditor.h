#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/Message.h"

namespace quorvel {

// Where a part lies in the source's playing time, in milliseconds, and what else its tag is
// to say of it.
struct PartTime {
    std::int64_t StartMs = 0;
    std::int64_t LengthMs = 0;
    std::int32_t Track = 0;  // its number among the parts, out of Tracks; 0: as the source has it
    std::int32_t Tracks = 0;
    std::string Title;      // empty: as the source has it
    std::string Performer;  // as the title
};

// A chapter of the source's ID3v2 tag (CHAP), in milliseconds of its playing time.
struct Chapter {
    std::int64_t StartMs = 0;
    std::int64_t EndMs = 0;
    std::string Title;  // its own title frame's (TIT2); empty where it has none
};

// A user text of an ID3v2 tag (TXXX): its description and its value.
struct UserText {
    std::string Description;
    std::string Value;
    bool operator==(const UserText&) const = default;
};

// What the split needs of an ID3v2 tag library.
class TagEditor {
  public:
    virtual ~TagEditor() = default;
    // The source's tag made the part's: its length frame (TLEN) stating the part's
    // length, its chapters (CHAP) only those that overlap the part, cut to it and timed
    // from its start, its tables of contents (CTOC) listing only those, its track number
    // (TRCK), title (TIT2) and performer (TPE1) the part's where given; nothing when there is
    // nothing to change or the tag cannot be read, and the tag is then copied as it is. Without a
    // source tag (`id3v2` empty), a new one holding the part's number and title.
    virtual std::optional<std::vector<std::uint8_t>> ForPart(std::span<const std::uint8_t> id3v2,
                                                             PartTime part) = 0;
    // The tag's chapters, in the tag's order; none where it has none or cannot be read.
    virtual std::vector<Chapter> Chapters(std::span<const std::uint8_t> id3v2) = 0;
    // The tag (a new one where `id3v2` is empty) with `chapters` in place of its chapters and
    // tables of contents, listed in order by one table of contents, its length frame (TLEN)
    // stating `lengthMs`; none where the tag cannot be read or made.
    virtual std::optional<std::vector<std::uint8_t>> WithChapters(
        std::span<const std::uint8_t> /*id3v2*/, const std::vector<Chapter>& /*chapters*/,
        std::int64_t /*lengthMs*/) {
        return std::nullopt;
    }
    // The tag (a new one where `id3v2` is empty) with `texts` as its user texts (TXXX) of
    // their descriptions, each in place of any the tag has of that description in any case;
    // the rest as it is. None where the tag cannot be read or made.
    virtual std::optional<std::vector<std::uint8_t>> WithUserTexts(
        std::span<const std::uint8_t> /*id3v2*/, const std::vector<UserText>& /*texts*/) {
        return std::nullopt;
    }
    // The tag's title (TIT2); empty where it has none or cannot be read.
    virtual std::string Title(std::span<const std::uint8_t> /*id3v2*/) { return {}; }
    // Why no tag could be edited, once the library was needed and could not be had.
    virtual std::optional<std::string> Unavailable() const { return std::nullopt; }
    // Why the last tag given was left as it came, unread, where the library could not be
    // trusted with it.
    virtual std::optional<Message> Unread() const { return std::nullopt; }
};

}  // namespace quorvel
