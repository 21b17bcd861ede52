#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/FrameHeader.h"

namespace quorvel {

// The length header that encoders put in a silent first frame, so that players know
// the stream's length without reading it all: Xing's ("Xing" for variable bit rates,
// "Info" for constant ones), often followed by a LAME tag with the gapless playback
// values, or Fraunhofer's VBRI.
struct LengthHeader {
    enum class Kind { Xing, Vbri };
    Kind Type = Kind::Xing;
    std::size_t TagAt = 0;                // "Xing", "Info" or "VBRI", from the frame start
    std::uint32_t XingFlags = 0;          // which Xing fields follow
    std::optional<std::size_t> LameAt;    // the LAME tag's version string
    std::int32_t SamplesPerFrame = 1152;  // 1152 in MPEG 1, 576 in MPEG 2 and 2.5
};

// The header in this frame, if it holds one whose fields lie inside it.
std::optional<LengthHeader> FindLengthHeader(std::span<const std::uint8_t> frame,
                                             const FrameValues& values);

// What a header states of the part of a stream it opens.
struct PartLength {
    std::int64_t Frames = 0;  // audio frames after the header frame
    std::int64_t Bytes = 0;   // from the header frame's start to the last frame's end
    // Byte offsets from the header frame's start of the frames at 0 %, 1 %, ... 99 % of
    // Frames, for Xing's seek table.
    std::vector<std::int64_t> PercentOffsets;
    // Bytes in each run of VbriFramesPerEntry frames, for VBRI's seek table.
    std::vector<std::int64_t> VbriEntries;
    std::int32_t VbriFramesPerEntry = 1;
    // The LAME tag's start delay and end padding, in samples.
    std::int32_t Delay = 0;
    std::int32_t Padding = 0;
};

// The gapless playback values of a LAME tag: samples to skip at the start and to drop
// at the end.
struct Gapless {
    std::int32_t Delay = 0;
    std::int32_t Padding = 0;
};
std::optional<Gapless> ReadGapless(std::span<const std::uint8_t> frame, const LengthHeader& header);

// The delay of the decoders' own synthesis: what they give of a stream begins this many
// samples into its frames' samples, before any delay a LAME tag states. The parts' LAME tags
// and the exact mode's cuts count with it as the decoders do.
inline constexpr std::int32_t kDecoderDelay = 529;

// The samples the decoders play of `frames` audio frames (a header frame is none): all of
// theirs, less the start delay and the end padding where a LAME tag states them.
inline std::int64_t PlayedSamples(std::int64_t frames, std::int32_t samplesPerFrame,
                                  const std::optional<Gapless>& gapless) {
    const std::int64_t trimmed = gapless ? std::int64_t{gapless->Delay} + gapless->Padding : 0;
    return std::max<std::int64_t>(0, frames * samplesPerFrame - trimmed);
}

// The frames' samples before the first one the decoders play: the start delay and the
// decoders' own where a LAME tag states a delay; none otherwise.
inline std::int64_t PlayedLead(const std::optional<Gapless>& gapless) {
    return gapless ? std::int64_t{gapless->Delay} + kDecoderDelay : 0;
}

// Where the decoders' output of a stream reaches the start of audio frame `frame` (from 0; a
// header frame is none): the frames' samples before it, less PlayedLead; 0 for a frame that
// starts inside those.
inline std::int64_t PlayedSampleAt(std::int64_t frame, std::int32_t samplesPerFrame,
                                   const std::optional<Gapless>& gapless) {
    return std::max<std::int64_t>(0, frame * samplesPerFrame - PlayedLead(gapless));
}

// What a Xing header states of the stream it opens, where it states both: its audio frames
// after the header frame, and its bytes from the header frame's start to the last frame's
// end.
struct StatedLength {
    std::int64_t Frames = 0;
    std::int64_t Bytes = 0;
};
std::optional<StatedLength> ReadStatedLength(std::span<const std::uint8_t> frame,
                                             const LengthHeader& header);

// How many frames one VBRI seek-table entry covers for `frames` frames, and how many
// entries it has.
std::int32_t VbriFramesPerEntry(std::span<const std::uint8_t> frame, const LengthHeader& header,
                                std::int64_t frames);

// A Xing tag with every field (frames, bytes, seek table, quality) followed by a LAME tag:
// its size, and the tag written at the start of `at`, "Xing" for a variable bit rate and
// "Info" for a constant one, its counts left to RewriteLengthHeader.
constexpr std::size_t kNewLengthHeaderSize = 4 + 4 + 4 + 4 + 100 + 4 + 36;
void PutNewLengthHeader(std::span<std::uint8_t> at, bool variableBitRate);

// Rewrites the header in `frame` to describe a part: its counts, its seek table and, in
// a LAME tag, its gapless values, the music length and the tag's own CRC. Everything
// else in the frame stays as it is.
void RewriteLengthHeader(std::span<std::uint8_t> frame, const LengthHeader& header,
                         const PartLength& part);

}  // namespace quorvel
