#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/ByteSource.h"
#include "engine/Cuts.h"
#include "engine/FileSystem.h"
#include "engine/LengthHeader.h"
#include "engine/OutputPlan.h"
#include "engine/TagEditor.h"
#include "engine/Tags.h"

namespace quorvel {

// Part `index` (from 0) of the source cut where `cuts` says. Where the source has them,
// each part carries its ID3v2 tag at its start, made the part's (a new one where it is to
// say what the source's does not), the tags after the audio at its end, and a length header
// of its own in its first frame.
//
// By the frame rule a part is the source's frames from the frame its start cut found (none:
// the source's start) to the one its end cut found (none: the source's end): the end cut's
// borrowed bytes zeroed, and after the start cut the silent frames that carry its borrowed
// bytes first (see FrameRuleAddedFrames).
//
// At samples, a part after the first opens with its header frame, an empty frame where the
// decoders' parity needs one, a silent frame carrying what its start cut's primers borrow,
// the primers, then the source from that cut's frame on; its start delay skips all but the
// cut frame's samples from the cut on. A part before the last ends with the frame that
// holds its end cut, its end padding dropping what follows the cut.
//
// Where the output shares the source's blocks of `sharedBlock` bytes, the part's tag takes
// the padding that lets it share them (see AlignToBlocks); its audio is the same.
PartPlan PlanPart(const SourceCuts& cuts, std::size_t index, ByteSource& source, TagEditor& editor,
                  const PartLabels& labels = {}, std::int64_t sharedBlock = 0);

// The length header of an output whose frames follow its header frame and the frames of
// `lead` bytes each, its bytes ending at `end`, then a frame of `trail` bytes where that is
// not 0, then the tags after the audio of `source` (`tags`); offsets counted from the header
// frame's start.
PartLength MeasurePart(std::span<const std::uint8_t> headerFrame, const LengthHeader& header,
                       const PartFrames& frames, std::int64_t end,
                       const std::vector<std::int64_t>& lead, ByteSource& source,
                       const SourceTags& tags, std::int64_t trail = 0);

// Both outputs of a split in two.
struct OutputPlans {
    OutputPlan First;
    OutputPlan Second;
    std::int64_t AddedFrames = 0;
    std::int64_t AddedBytes = 0;
};

// The two parts of a split in two at `cut`, exactly or by the frame rule, as PlanPart plans
// them; a frame-rule cut made without its lenders has the frame right before it.
OutputPlans PlanOutputs(const Cut& cut, bool exact, ByteSource& source, TagEditor& tags);

// A planned output read as the file it is to be, before anything is written: its pieces
// one after another, the source's ranges read from the source, so that a decoder can play
// it. Its path is the source's, which its bytes come from.
class PlannedFile final : public SourceFile {
  public:
    PlannedFile(std::shared_ptr<SourceFile> source, OutputPlan plan);

    const std::string& Path() const override { return source_->Path(); }
    std::int64_t Size() const override { return size_; }
    std::size_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::size_t count) override;

  private:
    std::shared_ptr<SourceFile> source_;
    OutputPlan plan_;
    std::vector<std::int64_t> starts_;  // where each piece starts in the output
    std::int64_t size_ = 0;
};

}  // namespace quorvel
