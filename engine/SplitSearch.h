#pragma once

#include <cstdint>
#include <vector>

#include "engine/ByteSource.h"
#include "engine/FrameHeader.h"

namespace quorvel {

// A frame of the source and where it starts.
struct LenderFrame {
    std::int64_t Offset = 0;
    FrameValues Frame{};
};

// Where to cut by the frame rule. SplitPosition 0 means none.
struct SplitPoint {
    std::int64_t SplitPosition = 0;
    std::int64_t FramesBeforeSplit = 0;
    std::int16_t PrevFrameLength = 0;
    std::int16_t PrevSideInfoSize = 0;
    std::int32_t SplitMainDataBegin = 0;
    double SplitSeconds = 0;  // when the split frame starts playing
    // The frames before the split frame that hold its borrowed bytes, oldest first; when
    // it borrows nothing, the frame right before it. Empty: just that frame, found from
    // PrevFrameLength.
    std::vector<LenderFrame> Lenders{};
};

// The first frame that starts at or after the split time and borrows no more main data
// than the frame before it holds, so that one copy of that frame carries it.
SplitPoint FindSafeSplitPoint(ByteSource& source, std::int32_t splitSeconds, FileInformation& info);

// Where to cut at a sample. The decoders' output of a source whose LAME tag states its
// start delay d begins at sample d + 529 of the frames' samples (529: the decoder's own
// delay); the cut sample g lies `CutOffset` samples into frame `CutFrame` (frames counted
// from 0 after the header frame). A source without that tag plays every frame's samples:
// its cut falls on the frame boundary nearest the time.
struct ExactCut {
    std::int64_t CutAt = 0;   // where frame CutFrame starts; 0: no cut
    std::int64_t Sample = 0;  // the cut in the source's played samples
    bool Gapless = false;     // the source's LAME tag states its delay and padding
    std::int32_t SamplingRate = 0;
    std::int32_t SamplesPerFrame = 1152;
    std::int64_t CutFrame = 0;
    std::int64_t FramesBeforeCut = 0;  // from the source's first frame, a header frame too
    std::int32_t CutOffset = 0;
    // The first part: frames 0 to FirstFrames - 1, ending at FirstEnd; it holds the cut
    // sample's frame only where the cut lies inside it.
    std::int64_t FirstFrames = 0;
    std::int64_t FirstEnd = 0;
    // The frames right before the cut frame that the second part plays first, unheard,
    // so that the cut frame decodes as in the source: its overlap with the frame before
    // and the history of the synthesis filter. One granule a frame in MPEG 2 and 2.5
    // takes two of them.
    std::vector<LenderFrame> Primers;
    // The frames before those that hold what the first of them borrows, oldest first.
    std::vector<LenderFrame> Lenders;
    std::int32_t PrimerBorrows = 0;
};

// The cut at `milliseconds` into the source's playing time; none (CutAt 0) where that
// lies outside its frames.
ExactCut FindExactCut(ByteSource& source, std::int64_t milliseconds, FileInformation& info);

}  // namespace quorvel
