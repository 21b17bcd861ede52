#pragma once

#include <cstdint>

#include "engine/FrameChain.h"
#include "engine/FrameHeader.h"

namespace quorvel {

// What a walk over a whole source hands on beside its own counts, frame by frame: the frames
// kept for a split whose times come later, or the cuts of a split whose times are known.
class FrameSink {
  public:
    virtual ~FrameSink() = default;
    // A walk over `bytes` begins, its free-format frames that long (0: none).
    virtual void Begin(std::int16_t freeFormatLength, std::int64_t bytes) = 0;
    // The next frame the walk accepted and the bytes at its start.
    virtual void Add(const ChainFrame& frame, const HeaderBytes& bytes) = 0;
};

}  // namespace quorvel
