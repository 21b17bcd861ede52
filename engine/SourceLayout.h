#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/ByteSource.h"
#include "engine/FrameChain.h"
#include "engine/LengthHeader.h"
#include "engine/Tags.h"

namespace quorvel {

// Where a source keeps what is not audio: its tags, and the frame with a length header
// that may open its audio.
struct SourceLayout {
    SourceTags Tags;
    std::optional<ChainFrame> First;        // the first frame after the ID3v2 tag
    std::vector<std::uint8_t> HeaderFrame;  // the frame with the length header; empty: none
    std::optional<LengthHeader> Header;
    std::optional<Gapless> GaplessValues;  // the LAME tag's, where the header has one
    // Where the first frame starts, a header frame or not, and the first audio frame. What
    // lies between the ID3v2 tag and the first frame is left out of every part.
    std::int64_t HeaderStart = 0;
    std::int64_t AudioStart = 0;
    // The samples of every frame and their rate, as the first frame gives them: the exact
    // mode's cuts and the played length count in these.
    std::int32_t SamplingRate = 0;
    std::int32_t SamplesPerFrame = 1152;
    // The length of every frame of a free-format stream, padding aside, which each walk over
    // it and the frames of the split's own take; 0: the stream is none.
    std::int16_t FreeFormatLength = 0;
};

SourceLayout ReadLayout(ByteSource& source, BlockReader& reader);

// Walks the audio frames of the source `reader` reads, from the first after the length
// header's frame to the tags after them, calling `visit` with each and its first bytes, up
// to where one does not start where the one before it ends: whether every one did, to the
// tags. A frame `visit` sees is the audio frame the decoders count at that place.
bool WalkAudioFrames(BlockReader& reader, const SourceLayout& layout,
                     const std::function<void(const ChainFrame&, const FrameStartBytes&)>& visit);
// As WalkAudioFrames, from the audio frame that starts at `from` (one a walk found) on, and
// `count` frames at most (-1: to the tags): whether they follow one another unbroken, as
// many as asked or to the tags.
bool WalkAudioFramesFrom(
    BlockReader& reader, const SourceLayout& layout, std::int64_t from, std::int64_t count,
    const std::function<void(const ChainFrame&, const FrameStartBytes&)>& visit);

// How long a source plays, as the decoders play it gaplessly: its audio frames' samples (a
// header frame plays none), less the start delay and end padding where its LAME tag states
// them.
struct PlayedLength {
    std::int64_t Samples = 0;
    std::int32_t SamplingRate = 0;
    std::int32_t SamplesPerFrame = 0;

    // To the millisecond, never rounded up, as the split's refusals tell a source's end.
    std::int64_t Ms() const { return SamplingRate > 0 ? Samples * 1000 / SamplingRate : 0; }
};

// The played length of a source whose frames the analysis timed at `seconds`, every frame
// a header frame too. Throws FileError as the source's reads do.
PlayedLength MeasurePlayedLength(ByteSource& source, double seconds);

// The bytes [from, to) of a source.
std::vector<std::uint8_t> ReadBytes(ByteSource& source, std::int64_t from, std::int64_t to);

}  // namespace quorvel
