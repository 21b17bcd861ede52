#include "engine/PartLists.h"

#include <algorithm>
#include <cmath>

#include "engine/FrameChain.h"
#include "engine/SourceLayout.h"
#include "engine/Tags.h"

namespace quorvel {
namespace {

using std::chrono::microseconds;
constexpr std::int64_t kMicroseconds = 1'000'000;

// A sample's time, to the nearest microsecond: the exact mode's cut at that time finds the
// sample again.
microseconds TimeOf(std::int64_t sample, const PlayedLength& length) {
    return microseconds((sample * kMicroseconds + length.SamplingRate / 2) / length.SamplingRate);
}

}  // namespace

PartsRequest PartsAt(const std::vector<PartStart>& starts) {
    PartsRequest request;
    request.Labels.Numbered = true;
    for (const PartStart& start : starts) {
        if (&start != &starts.front()) request.Times.At.push_back(start.Start);
        request.Labels.Titles.push_back(start.Title);
        request.Labels.Performers.push_back(start.Performer);
    }
    return request;
}

std::vector<PartStart> StartsAt(std::vector<microseconds> times) {
    std::ranges::sort(times);
    std::vector<PartStart> starts{PartStart{}};
    for (const microseconds time : times) starts.push_back({time, {}, {}});
    return starts;
}

std::vector<PartStart> CueStarts(const CueSheet& sheet) {
    std::vector<PartStart> starts;
    for (const CueTrack& track : sheet.Tracks) {
        // A CD frame is 13 1/3 ms: never a half microsecond.
        const microseconds start((track.StartFrames * kMicroseconds + kCueFramesPerSecond / 2) /
                                 kCueFramesPerSecond);
        starts.push_back({start, track.Title, track.Performer});
    }
    return starts;
}

std::vector<PartStart> ChapterStarts(ByteSource& source, TagEditor& tags) {
    const SourceTags found = FindTags(source);
    std::vector<std::uint8_t> tag(static_cast<std::size_t>(found.Id3v2Length));
    if (tag.empty() || ReadFully(source, 0, tag.data(), tag.size()) != tag.size()) return {};
    std::vector<Chapter> chapters = tags.Chapters(tag);
    std::ranges::stable_sort(chapters, {}, &Chapter::StartMs);
    std::vector<PartStart> starts;
    for (const Chapter& chapter : chapters) {
        const microseconds start = std::chrono::milliseconds(chapter.StartMs);
        if (!starts.empty() && starts.back().Start == start) continue;
        starts.push_back({start, chapter.Title, {}});
    }
    return starts;
}

std::vector<PartStart> EveryStarts(microseconds step, const PlayedLength& length) {
    std::vector<PartStart> starts{PartStart{}};
    if (step.count() <= 0 || length.SamplingRate <= 0) return starts;
    // The last start leaves at least a frame to play.
    const std::int64_t room = (length.Samples - length.SamplesPerFrame) * kMicroseconds;
    for (microseconds start = step; start.count() * length.SamplingRate <= room; start += step) {
        starts.push_back({start, {}, {}});
    }
    return starts;
}

std::vector<PartStart> EqualStarts(std::int64_t count, const PlayedLength& length) {
    std::vector<PartStart> starts{PartStart{}};
    if (length.SamplingRate <= 0) return starts;
    for (std::int64_t part = 1; part < count; ++part) {
        // The nearest sample, a half up: the parts differ by a sample at most.
        const std::int64_t sample = (2 * part * length.Samples + count) / (2 * count);
        starts.push_back({TimeOf(sample, length), {}, {}});
    }
    return starts;
}

}  // namespace quorvel
