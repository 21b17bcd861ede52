#include "engine/SplitSearch.h"

#include <algorithm>

#include "engine/FrameChain.h"
#include "engine/SourceLayout.h"

namespace quorvel {
namespace {

// The frames of `before` (oldest first) whose main data holds the `borrowed` bytes of the
// frame after them: the last one at least.
std::vector<LenderFrame> HoldersOf(const std::vector<LenderFrame>& before, std::int32_t borrowed) {
    if (before.empty()) return {};
    std::int32_t held = 0;
    auto first = before.end() - 1;
    while ((held += MainDataRoom(first->Frame)) < borrowed && first != before.begin()) --first;
    return {first, before.end()};
}

// As many frames as a back pointer can reach into, and the primers before the cut.
constexpr std::size_t kRemembered = 18;

}  // namespace

SplitPoint FindSafeSplitPoint(ByteSource& source, std::int32_t splitSeconds,
                              FileInformation& info) {
    BlockReader reader(source);
    SplitPoint point;
    std::vector<LenderFrame> before;
    WalkFrameChain(reader, info, [&](const ChainFrame& candidate) {
        // The borrowed main data must lie in the main data of the frame before, so that
        // one copy of that frame carries all of it.
        if (candidate.FollowedByHeader && point.SplitSeconds >= splitSeconds && !before.empty() &&
            candidate.Frame.MainDataBegin <= MainDataRoom(before.back().Frame)) {
            point.SplitPosition = candidate.Offset;
            point.SplitMainDataBegin = candidate.Frame.MainDataBegin;
            point.Lenders = HoldersOf(before, point.SplitMainDataBegin);
            return false;
        }
        if (before.size() == kRemembered) before.erase(before.begin());
        before.push_back({candidate.Offset, candidate.Frame});
        point.PrevFrameLength = candidate.Frame.FrameLength;
        point.PrevSideInfoSize = candidate.Frame.SideInfoSize;
        point.SplitSeconds += candidate.Frame.FrameDuration;
        ++point.FramesBeforeSplit;
        return true;
    });
    if (point.SplitPosition == 0) point.SplitMainDataBegin = 0;
    return point;
}

ExactCut FindExactCut(ByteSource& source, std::int64_t milliseconds, FileInformation& info) {
    BlockReader reader(source);
    const SourceLayout layout = ReadLayout(source, reader);
    ExactCut cut;
    if (!layout.First) return cut;
    FileInformation stream;
    FrameValues values;
    const HeaderBytes first = reader.HeaderAt(layout.First->Offset);
    DecodeFrameHeader(first, stream, values);
    cut.SamplingRate = stream.SamplingRate;
    cut.SamplesPerFrame = SamplesPerFrame(first[1]);
    const std::int64_t spf = cut.SamplesPerFrame;
    cut.Sample = (milliseconds * cut.SamplingRate + 500) / 1000;
    cut.Gapless = layout.GaplessValues.has_value();
    if (cut.Gapless) {
        constexpr std::int64_t kDecoderDelay = 529;
        const std::int64_t g = layout.GaplessValues->Delay + kDecoderDelay + cut.Sample;
        cut.CutFrame = g / spf;
        cut.CutOffset = static_cast<std::int32_t>(g % spf);
        cut.FirstFrames = (g + spf - 1) / spf;
    } else {
        cut.CutFrame = cut.FirstFrames = (cut.Sample + spf / 2) / spf;
        cut.Sample = cut.CutFrame * spf;
        if (cut.CutFrame == 0) return cut;
    }
    const std::int64_t primers = std::min<std::int64_t>(spf == 1152 ? 1 : 2, cut.CutFrame);

    std::vector<LenderFrame> before;
    std::int64_t index = 0;
    WalkFrameChain(
        reader, info,
        [&](const ChainFrame& frame) {
            if (index == cut.CutFrame) {
                cut.CutAt = frame.Offset;
                cut.FirstEnd = cut.FirstFrames == index ? frame.Offset
                                                        : frame.Offset + frame.Frame.FrameLength;
                return false;
            }
            if (before.size() == kRemembered) before.erase(before.begin());
            before.push_back({frame.Offset, frame.Frame});
            ++index;
            return true;
        },
        layout.AudioStart, layout.Tags.TrailerAt);
    if (cut.CutAt == 0) return cut;
    cut.FramesBeforeCut = cut.CutFrame + (layout.Header ? 1 : 0);
    cut.Primers.assign(before.end() - primers, before.end());
    before.resize(before.size() - static_cast<std::size_t>(primers));
    cut.PrimerBorrows = std::max<std::int32_t>(
        0, cut.Primers.empty() ? 0 : cut.Primers.front().Frame.MainDataBegin);
    cut.Lenders =
        cut.PrimerBorrows > 0 ? HoldersOf(before, cut.PrimerBorrows) : std::vector<LenderFrame>{};
    return cut;
}

}  // namespace quorvel
