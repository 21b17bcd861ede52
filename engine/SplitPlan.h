#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ByteSource.h"
#include "engine/FrameHeader.h"
#include "engine/Tags.h"

namespace quorvel {

// A frame before the split frame whose main data holds some of the split frame's
// borrowed bytes.
struct LenderFrame {
    std::int64_t Offset = 0;
    FrameValues Frame{};
};

// Where to cut. SplitPosition 0 means none.
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

// The first frame that starts at or after the split time, whatever it borrows: its
// borrowed bytes are carried by copies of as many frames before it as hold them.
SplitPoint FindExactSplitPoint(ByteSource& source, std::int32_t splitSeconds,
                               FileInformation& info);

// One piece of an output: a byte range of the source, or bytes of its own.
struct OutputPiece {
    std::int64_t SourceOffset = 0;
    std::int64_t Length = 0;
    std::vector<std::uint8_t> Bytes;  // used instead of the source range when not empty
};

using OutputPlan = std::vector<OutputPiece>;

// Both outputs. The first: everything before the split frame, its borrowed bytes
// zeroed. The second: the split frame and the rest, preceded by silent copies of the
// frames that hold those bytes, carrying them, when the split frame borrows any (or one
// when the source's LAME tag needs a frame to skip); where the second output has a length
// header, one silent frame at a higher bit rate carries bytes that span several frames. Where the
// source has them, each also carries its ID3v2 tag at its start (TLEN stating its own length), its
// ID3v1 tag at its end and a length header of its own in its first frame.
struct OutputPlans {
    OutputPlan First;
    OutputPlan Second;
    std::int64_t AddedFrames = 0;  // silent frames that open the second output
    std::int64_t AddedBytes = 0;
};
OutputPlans PlanOutputs(const SplitPoint& point, ByteSource& source, TagEditor& tags);

// Turns the frame before the split frame into a silent one that carries only the
// borrowed main data: its side information cleared (no back pointer, no audio in any
// granule), its own main data zeroed, its CRC, if it has one, made anew.
// When an earlier added frame carries some of the borrowed bytes too, `backPointer`
// reaches back to them, so that a decoder keeps them.
void RewriteAddedFrame(std::span<std::uint8_t> frame, std::int16_t sideInfoSize,
                       std::int32_t mainDataBegin, std::int32_t backPointer = 0);

// The source file's name without its folder and its last extension.
std::string BaseName(std::string_view sourcePath);

}  // namespace quorvel
