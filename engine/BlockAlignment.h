#pragma once

#include <cstdint>

#include "engine/ByteSource.h"
#include "engine/SplitPlan.h"

namespace quorvel {

// Where the output shares the source's blocks of `block` bytes, puts the part's audio at the
// offsets within a block that it has in the source, so that its whole blocks can be shared:
// the ID3v2 tag that opens `plan` (where `tagged`) takes the padding that brings the first
// byte it copies from the source there, never shorter than the source's tag
// (`sourceTagLength`). Where the part has no tag, one of padding alone opens it if needed.
// A tag that cannot take padding leaves the part as it is, to be copied.
void AlignToBlocks(OutputPlan& plan, bool tagged, ByteSource& source, std::int64_t sourceTagLength,
                   std::int64_t block);

}  // namespace quorvel
