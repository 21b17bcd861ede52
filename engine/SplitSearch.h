#pragma once

#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/ByteSource.h"
#include "engine/ChainRecord.h"
#include "engine/Cuts.h"
#include "engine/FrameHeader.h"
#include "engine/SourceLayout.h"

namespace quorvel {

// The one cut at `time`, as FindCuts finds it; none (At 0) where there is none. By the frame
// rule, the first frame that starts at or after the time and borrows no more main data than
// the frame before it holds, so that one copy of that frame carries it; exactly, the frame
// that holds the time's sample.
Cut FindCut(ByteSource& source, std::chrono::microseconds time, bool exact, FileInformation& info);

// How far FindCuts walks: to the audio's end, which the parts' length headers need, or to
// the frame after the last cut, where only the cuts are wanted (the last part then holds
// that frame alone, and whether the cuts lie within the audio is left untold).
enum class WalkTo { End, LastCut };

// Walks the source once, finding every cut by the frame rule or at a sample. It stops at
// the first time that cannot be cut at. Where `walked` records this source's frames (the
// caller has checked that it is the file recorded), it goes through them instead of the
// source's audio.
SourceCuts FindCuts(ByteSource& source, const CutTimes& times, bool exact, FileInformation& info,
                    const ChainRecord* walked = nullptr, WalkTo to = WalkTo::End);

// The parts' frames for cuts known already: the source split before the frame at each of
// `starts`, the one before it keeping it where `shared`. Walks the source once.
std::vector<PartFrames> WalkParts(ByteSource& source, const SourceLayout& layout,
                                  const std::vector<std::pair<std::int64_t, bool>>& starts);

}  // namespace quorvel
