#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/ByteSource.h"

namespace quorvel {

// Where a source keeps its tags: an ID3v2 tag at its start, and after the audio any of an
// APEv2 tag, a Lyrics3 block and an ID3v1 tag in its last 128 bytes; every part carries them.
struct SourceTags {
    std::int64_t Id3v2Length = 0;  // 0: none
    std::int64_t TrailerAt = 0;    // where the tags after the audio start: the size when none
    bool Id3v1 = false;            // the file ends with an ID3v1 tag
};

// Finds the tags by their own headers; anything that does not look right is no tag.
SourceTags FindTags(ByteSource& source);

// How deep chapters may nest to be read: a chapter (CHAP) or table of contents (CTOC) holds
// frames of its own, chapters among them, and a tag library reads each within the one
// that holds it, a level of its stack a chapter.
inline constexpr int kDeepestChapters = 16;

// How deep the ID3v2 tag `tag` (its header on) nests its chapters and tables of contents,
// its frames read as TagLib reads them: 0 where it has none, 1 where none holds another,
// and so on, counted up to kDeepestChapters + 1. One that is compressed, whose frames show
// only once inflated, and a tag whose frames would be read over and over (where the length
// a frame states for its content reaches over the frames after it) count as deeper.
int ChapterDepth(std::span<const std::uint8_t> tag);

// The ID3v2 tag `tag` with more padding, so that it is `size` bytes long; where `tag` is
// empty, a tag of padding alone. None where it is longer already, or where it keeps
// something after its padding or a count of it (a footer, an extended header).
std::optional<std::vector<std::uint8_t>> Padded(std::vector<std::uint8_t> tag, std::int64_t size);

// What a gain changed, kept in its output's ID3v2 tag as a user-defined text frame (TXXX)
// described "QUORVEL_GAIN_UNDO", so that the output can be made the file it was, byte for
// byte: the steps of 1.5 dB every granule's global gain was changed by, the granules faded
// in at the start and out at the end (a step more each towards the end), the granules left
// as they were and those a fade took to the smallest gain with the gain each had (each
// granule its audio frame's number among the audio frames times 4, plus its place in the
// frame's side information), and whether the tag was made for the record.
struct GainRecord {
    int Steps = 0;
    std::int64_t FadeIn = 0;
    std::int64_t FadeOut = 0;
    bool NewTag = false;
    std::vector<std::uint64_t> Left;
    std::vector<std::pair<std::uint64_t, int>> Silenced;
    bool operator==(const GainRecord&) const = default;
};

// The ID3v2 tag `tag` (a new one where it is empty) with `record` in it, its other frames
// and padding as they were; none where the tag cannot hold it as one that can be taken out
// again (version 2.2, unsynchronised, an extended header or a footer).
std::optional<std::vector<std::uint8_t>> WithGainRecord(std::span<const std::uint8_t> tag,
                                                        const GainRecord& record);

// A gain's record found in an ID3v2 tag, and the tag as it was before the gain put the
// record in (empty where the gain made the tag).
struct RecordedGain {
    GainRecord Record;
    std::vector<std::uint8_t> Before;
};
std::optional<RecordedGain> FindGainRecord(std::span<const std::uint8_t> tag);

// The bytes of the tags after a source's audio that the length header of an output with
// `bytes` of audio, and those tags after it, counts: only where the decoders would otherwise
// distrust the header (see Tags.cpp).
std::int64_t CountedTrailer(const SourceTags& tags, std::int64_t sourceSize, std::int64_t bytes);

}  // namespace quorvel
