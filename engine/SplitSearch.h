#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "engine/ByteSource.h"
#include "engine/ChainRecord.h"
#include "engine/Cuts.h"
#include "engine/FrameHeader.h"
#include "engine/FrameSink.h"
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

class PartsSearch;

// The cuts FindCuts finds, found while a walk over the whole source goes by that is not the
// search's own, as an analysis's: a split whose times are known before the analysis then
// reads the source once.
class CutsAlong final : public FrameSink {
  public:
    // `layout` is the source's, as ReadLayout finds it.
    CutsAlong(SourceLayout layout, const CutTimes& times, bool exact);
    ~CutsAlong() override;
    CutsAlong(const CutsAlong&) = delete;
    CutsAlong& operator=(const CutsAlong&) = delete;

    void Begin(std::int16_t freeFormatLength, std::int64_t bytes) override;
    void Add(const ChainFrame& frame, const HeaderBytes& bytes) override;
    // The cuts, once the walk has ended, as FindCuts finds them in `source`; none where the
    // walk met frames across either end of the audio, where the search's own walk would
    // have stepped through bytes that one passed over.
    std::optional<SourceCuts> Finish(ByteSource& source);

  private:
    SourceCuts cuts_;
    std::unique_ptr<PartsSearch> search_;
    WalkBounds audio_;  // from after the ID3v2 tag to where the tags after it start
    bool started_;      // the search walks at all
    bool taking_;       // and takes the next frame
    bool spoiled_ = false;
};

// The parts' frames for cuts known already: the source split before the frame at each of
// `starts`, the one before it keeping it where `shared`. Walks the source once.
std::vector<PartFrames> WalkParts(ByteSource& source, const SourceLayout& layout,
                                  const std::vector<std::pair<std::int64_t, bool>>& starts);

}  // namespace quorvel
