#include <algorithm>
#include <cassert>

#include "engine/FrameChain.h"
#include "engine/Numbers.h"
#include "engine/SplitPlan.h"

namespace quorvel {

SplitPoint FindSafeSplitPoint(ByteSource& source, std::int32_t splitSeconds,
                              FileInformation& info) {
    BlockReader reader(source);
    SplitPoint point;
    double elapsedSeconds = 0;
    WalkFrameChain(reader, info, [&](const ChainFrame& candidate) {
        // The borrowed main data must fit in the frame before, less its side
        // information (its header stays inside the allowance).
        const std::int32_t allowance =
            static_cast<std::int16_t>(point.PrevFrameLength - point.PrevSideInfoSize);
        if (candidate.FollowedByHeader && elapsedSeconds >= splitSeconds &&
            candidate.Frame.MainDataBegin < allowance) {
            point.SplitPosition = candidate.Offset;
            point.SplitMainDataBegin = candidate.Frame.MainDataBegin;
            return false;
        }
        point.PrevFrameLength = candidate.Frame.FrameLength;
        point.PrevSideInfoSize = candidate.Frame.SideInfoSize;
        elapsedSeconds += candidate.Frame.FrameDuration;
        ++point.FramesBeforeSplit;
        return true;
    });
    if (point.SplitPosition == 0) point.SplitMainDataBegin = 0;
    return point;
}

OutputPlan PlanFirstOutput(const SplitPoint& point) {
    const std::int64_t borrowed = std::max<std::int32_t>(point.SplitMainDataBegin, 0);
    OutputPlan plan{{0, point.SplitPosition - borrowed, {}}};
    if (borrowed > 0) {
        plan.push_back({0, borrowed, std::vector<std::uint8_t>(borrowed, 0)});
    }
    return plan;
}

OutputPlan PlanSecondOutput(const SplitPoint& point, ByteSource& source) {
    const std::int64_t rest = source.Size() - point.SplitPosition;
    if (point.SplitMainDataBegin < 1) return {{point.SplitPosition, rest, {}}};

    // A split frame always follows an accepted frame of PrevFrameLength bytes, so the
    // added frame lies inside the source.
    assert(point.SplitPosition >= point.PrevFrameLength);
    std::vector<std::uint8_t> added(point.PrevFrameLength);
    const auto start = point.SplitPosition - point.PrevFrameLength;
    ReadFully(source, start, added.data(), added.size());
    RewriteAddedFrame(added, point.PrevSideInfoSize, point.SplitMainDataBegin);
    const auto addedLength = static_cast<std::int64_t>(added.size());
    return {{start, addedLength, std::move(added)}, {point.SplitPosition, rest, {}}};
}

void RewriteAddedFrame(std::span<std::uint8_t> frame, std::int16_t sideInfoSize,
                       std::int32_t mainDataBegin) {
    const std::size_t pointerAt = SideInfoStart(frame[1]);
    // The frame's own main data, from the last side-information byte on, is silence;
    // only its last mainDataBegin bytes, the split frame's borrowed data, are kept.
    const std::int64_t zeroFrom = static_cast<std::int64_t>(pointerAt) + sideInfoSize - 1;
    frame[pointerAt] = 0;
    frame[pointerAt + 1] ^= 0x80;
    const std::int64_t zeroTo = static_cast<std::int64_t>(frame.size()) - mainDataBegin - 1;
    for (std::int64_t i = zeroFrom; i <= zeroTo; ++i) frame[static_cast<std::size_t>(i)] = 0;
}

std::string BaseName(std::string_view sourcePath) {
    std::string_view name = TrimBlanks(sourcePath);
    if (const auto slash = name.rfind('/'); slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    const auto dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

}  // namespace quorvel
