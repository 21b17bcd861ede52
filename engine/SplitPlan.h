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

// Where to cut: the first frame that starts at or after the split time and borrows no
// more main data than the frame before it can hold. SplitPosition 0 means none.
struct SplitPoint {
    std::int64_t SplitPosition = 0;
    std::int64_t FramesBeforeSplit = 0;
    std::int16_t PrevFrameLength = 0;
    std::int16_t PrevSideInfoSize = 0;
    std::int32_t SplitMainDataBegin = 0;
};

SplitPoint FindSafeSplitPoint(ByteSource& source, std::int32_t splitSeconds, FileInformation& info);

// One piece of an output: a byte range of the source, or bytes of its own.
struct OutputPiece {
    std::int64_t SourceOffset = 0;
    std::int64_t Length = 0;
    std::vector<std::uint8_t> Bytes;  // used instead of the source range when not empty
};

using OutputPlan = std::vector<OutputPiece>;

// Both outputs. The first: everything before the split frame, its last
// SplitMainDataBegin bytes zeroed. The second: the split frame and the rest, preceded by
// a silent copy of the frame before it that carries those bytes, when the split frame
// borrows any (or when the source's LAME tag needs a frame to skip). Where the source
// has them, each also carries its ID3v2 tag at its start (TLEN stating its own length),
// its ID3v1 tag at its end and a length header of its own in its first frame.
struct OutputPlans {
    OutputPlan First;
    OutputPlan Second;
};
OutputPlans PlanOutputs(const SplitPoint& point, ByteSource& source, TagEditor& tags);

// Turns the frame before the split frame into a silent one that carries only the
// borrowed main data: its side information cleared (no back pointer, no audio in any
// granule), its own main data zeroed, its CRC, if it has one, made anew.
void RewriteAddedFrame(std::span<std::uint8_t> frame, std::int16_t sideInfoSize,
                       std::int32_t mainDataBegin);

// The source file's name without its folder and its last extension.
std::string BaseName(std::string_view sourcePath);

}  // namespace quorvel
