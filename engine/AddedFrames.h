#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/ByteSource.h"
#include "engine/Cuts.h"
#include "engine/FrameHeader.h"
#include "engine/LengthHeader.h"
#include "engine/SourceLayout.h"

namespace quorvel {

// The frames of its own that a split puts before the second part's audio: silent frames
// that carry main data borrowed from before the cut, and the header frame of a source that
// has none to give.

using FrameBytes = std::vector<std::uint8_t>;

// The silent frames that open the second part at a frame-rule cut: copies of the lenders,
// each carrying its share of the borrowed bytes and pointing back to what the copies before
// it carry. Where the second part has a length header, one frame at a higher bit rate
// carries them all, as a LAME tag's start delay can skip only a few frames. A LAME tag also
// wants a silent frame when nothing is borrowed, as the frame its start delay skips.
std::vector<FrameBytes> FrameRuleAddedFrames(ByteSource& source, const Cut& cut,
                                             const std::vector<LenderFrame>& lenders, bool header,
                                             bool gapless);

// Where a frame's borrowed bytes lie: the tail of the main data of each frame that holds
// some, oldest first.
struct Segment {
    std::int64_t From = 0;
    std::int64_t To = 0;
};
std::vector<Segment> BorrowedSegments(const std::vector<LenderFrame>& lenders,
                                      std::int64_t borrowed);

// The frames below are free-format frames of `freeFormatLength` bytes (no padding) where the
// frame at `at` is one: decoders take every frame of such a stream to have its one length.

// One silent frame at the largest bit rate, `like` the frame at `at` in all else, whose
// main data ends with the `borrowed` bytes the lenders hold: the frame after it finds them
// there. The largest bit rate's frame holds any back pointer's worth; a free-format one
// may not, and then there is none.
FrameBytes CarrierFrame(ByteSource& source, std::int64_t at,
                        const std::vector<LenderFrame>& lenders, std::int32_t borrowed,
                        std::int16_t freeFormatLength);

// One silent frame at the largest bit rate, like the header `like` in all else, whose main
// data ends with `carried`, for the frame after it to borrow; none where it cannot hold them.
FrameBytes SilentCarrier(const HeaderBytes& like, std::span<const std::uint8_t> carried,
                         std::int16_t freeFormatLength);

// A frame (`values` its header's) at the lowest larger bit rate whose main data holds, after
// the `kept` bytes of its own it holds, the `carried` bytes the frame after it borrows, at
// its end: its audio is the same. None where no bit rate's frame holds them, or in a
// free-format stream, which has no other bit rate.
std::optional<FrameBytes> WidenedFrame(std::span<const std::uint8_t> frame,
                                       const FrameValues& values, std::int32_t kept,
                                       std::span<const std::uint8_t> carried);

// One silent frame of the smallest bit rate, like the frame at `at` in all else, holding
// nothing at all.
FrameBytes EmptyFrame(ByteSource& source, std::int64_t at, std::int16_t freeFormatLength);

// A header frame of the smallest bit rate that holds a Xing tag ("Xing" for a variable bit
// rate, "Info" for a constant one) with frames, bytes, seek table and quality, and a LAME
// tag after it, like the frame at `at` in all else; none where no bit rate's frame holds
// them. The counts are left for RewriteLengthHeader.
struct NewHeader {
    FrameBytes Frame;
    LengthHeader Header;
};
std::optional<NewHeader> NewHeaderFrame(ByteSource& source, std::int64_t at, bool variableBitRate,
                                        std::int16_t freeFormatLength);

// Whether the frames of its own that the part after an exact cut opens with hold what they
// must: only a free-format stream's frames may be too short, for the carrier's borrowed
// bytes or, where the source has no LAME tag to give, for a new header frame.
bool ExactFramesFit(ByteSource& source, const Cut& cut, const SourceLayout& layout);

// Turns a frame into a silent one that carries only the borrowed main data: its side
// information cleared (no back pointer, no audio in any granule), its own main data zeroed,
// its CRC, if it has one, made anew. When an earlier added frame carries some of the
// borrowed bytes too, `backPointer` reaches back to them, so that a decoder keeps them.
void RewriteAddedFrame(std::span<std::uint8_t> frame, std::int16_t sideInfoSize,
                       std::int32_t mainDataBegin, std::int32_t backPointer = 0);

}  // namespace quorvel
