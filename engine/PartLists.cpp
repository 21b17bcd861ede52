#include "engine/PartLists.h"

#include <algorithm>
#include <cmath>

#include "engine/FrameChain.h"
#include "engine/Numbers.h"
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

std::variant<std::vector<PartStart>, Message> ChapterStarts(ByteSource& source, TagEditor& tags,
                                                            const std::string& separator) {
    const SourceTags found = FindTags(source);
    std::vector<std::uint8_t> tag(static_cast<std::size_t>(found.Id3v2Length));
    if (tag.empty() || ReadFully(source, 0, tag.data(), tag.size()) != tag.size()) {
        return std::vector<PartStart>{};
    }
    const std::vector<Chapter> chapters = tags.Chapters(tag);
    if (const auto why = tags.Unread()) {
        return Tr("PartLists", "The source's ID3v2 tag could not be read (%1).").Arg(*why);
    }
    // Each chapter's number in the tag, the first being 1, in the order of their starts.
    std::vector<std::size_t> order(chapters.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::ranges::stable_sort(order, {}, [&](std::size_t i) { return chapters[i].StartMs; });
    std::vector<PartStart> starts;
    for (std::size_t at = 0; at < order.size(); ++at) {
        const Chapter& chapter = chapters[order[at]];
        if (at > 0 && chapters[order[at - 1]].StartMs == chapter.StartMs) {
            return Tr("PartLists",
                      "Chapter %1 of the tag: %2 is also the start of chapter %3; each chapter "
                      "needs a start of its own.")
                .Arg(std::int64_t(order[at] + 1))
                .Arg(FormatClockTime(chapter.StartMs, separator))
                .Arg(std::int64_t(order[at - 1] + 1));
        }
        starts.push_back({std::chrono::milliseconds(chapter.StartMs), chapter.Title, {}});
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
