#pragma once

#include "engine/Edit.h"
#include "engine/FileSystem.h"
#include "engine/Reporter.h"
#include "engine/TagEditor.h"

namespace quorvel {

// Files of one MPEG version, sampling rate and channel count put together, in the order
// given, into one output.
struct JoinRequest {
    EditFiles Files;
    bool Chapters = false;  // one ID3v2 chapter for each source, titled as its title tag
};

// The whole join: one length header over all frames (the first source's start delay, the
// last one's end padding), the first source's tags. Consecutive parts of one source that a
// split made join back to the source's frames; other sources keep the gap their encoders
// left, which the log tells. At each seam the frames before it carry what the first frame
// after it borrows. Nothing is written where a source cannot be read, holds no MP3 audio or
// differs from the first in version, rate or channels.
EditReport Join(const JoinRequest& request, FileSystem& files, TagEditor& tags, Reporter& reporter);

}  // namespace quorvel
