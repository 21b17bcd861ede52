#pragma once

#include <cstdint>
#include <vector>

#include "engine/ByteSource.h"
#include "engine/SplitSearch.h"
#include "engine/Tags.h"

namespace quorvel {

// One piece of an output: a byte range of the source, or bytes of its own.
struct OutputPiece {
    std::int64_t SourceOffset = 0;
    std::int64_t Length = 0;
    std::vector<std::uint8_t> Bytes;  // used instead of the source range when not empty
};

using OutputPlan = std::vector<OutputPiece>;

// Both outputs, and the frames the second holds before the source's frame it goes on
// with.
struct OutputPlans {
    OutputPlan First;
    OutputPlan Second;
    std::int64_t AddedFrames = 0;
    std::int64_t AddedBytes = 0;
};

// At a frame-rule cut. The first: everything before the split frame, its borrowed bytes
// zeroed. The second: the split frame and the rest, preceded by the silent frames that
// carry those bytes (see FrameRuleAddedFrames). Where the source has them, each also
// carries its ID3v2 tag at its start (made the part's), the tags after the audio at its
// end and a length header of its own in its first frame.
OutputPlans PlanOutputs(const SplitPoint& point, ByteSource& source, TagEditor& tags);

// At a sample. The first: the source's frames up to the one that holds the cut, its
// header's end padding dropping what follows the cut. The second: its header frame, an
// empty frame where the decoders' parity needs one (see PlanExactOutputs), a silent frame
// carrying what the primers borrow, the primers, then the source from the cut frame on;
// its start delay skips all but the cut frame's samples from the cut on. The tags as at a
// frame-rule cut.
OutputPlans PlanExactOutputs(const ExactCut& cut, ByteSource& source, TagEditor& tags);

}  // namespace quorvel
