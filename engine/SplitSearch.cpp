#include "engine/SplitSearch.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <limits>
#include <optional>

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

// The last frames a walk met: as many as a back pointer can reach into, and the primers
// before the cut. Kept in a ring, as the walk passes millions of frames and asks for them
// only at a cut.
class RecentFrames {
  public:
    void Remember(const ChainFrame& frame) {
        ring_[next_] = {frame.Offset, frame.Frame};
        next_ = (next_ + 1) % kRemembered;
        count_ = std::min(count_ + 1, kRemembered);
    }
    bool Empty() const { return count_ == 0; }
    const LenderFrame& Last() const { return ring_[(next_ + kRemembered - 1) % kRemembered]; }
    // Oldest first.
    std::vector<LenderFrame> Frames() const {
        std::vector<LenderFrame> frames;
        for (std::size_t i = 0; i < count_; ++i) {
            frames.push_back(ring_[(next_ + kRemembered - count_ + i) % kRemembered]);
        }
        return frames;
    }

    static constexpr std::size_t kRemembered = 18;

  private:
    std::array<LenderFrame, kRemembered> ring_{};
    std::size_t next_ = 0;
    std::size_t count_ = 0;
};

// What becomes of the parts at a frame.
enum class Step {
    Same,   // the frame belongs to the part it comes in
    Start,  // a new part starts with it
    Share,  // it ends the part before and starts a new one
    Stop,   // the walk ends before it
};

// Walks the source's audio from the first frame after its ID3v2 tag up to the tags after
// it, as the chain rule finds it; the audio's last frame counts whatever follows it (a tag
// no one knows, bytes of no frame) and however short the end leaves it, as the decoders
// play it and as its encoder counted it, whole. `decide(frame, header, last)` sees every
// frame, the header frame and that last one told apart, and says what becomes of the
// parts; each frame but the header frame joins the part it ends in. The frames `walked`
// recorded, where it covers the audio, stand in for those the walk would read.
template <typename Decide>
std::vector<PartFrames> RecordParts(BlockReader& reader, const SourceLayout& layout,
                                    FileInformation& info, const ChainRecord* walked,
                                    Decide&& decide) {
    std::vector<PartFrames> parts{PartFrames(layout.AudioStart)};
    const std::int64_t audioEnd = layout.Tags.TrailerAt;
    const auto take = [&](const ChainFrame& frame, bool last) {
        const bool header = layout.Header && frame.Offset == layout.HeaderStart;
        switch (decide(frame, header, last)) {
            case Step::Stop:
                return false;
            case Step::Share:
                parts.back().Add(frame);
                parts.emplace_back(frame.Offset);
                break;
            case Step::Start:
                parts.emplace_back(frame.Offset);
                break;
            case Step::Same:
                break;
        }
        if (!header) parts.back().Add(frame);
        return true;
    };
    std::int64_t end = layout.First ? layout.First->Offset : layout.AudioStart;
    bool stopped = false;
    info.FreeFormatLength = layout.FreeFormatLength;
    const auto visit = [&](const ChainFrame& frame) {
        stopped = !take(frame, false);
        end = frame.Offset + frame.Frame.FrameLength;
        return !stopped;
    };
    std::int64_t from = layout.Tags.Id3v2Length;
    if (walked && walked->Covers(layout.FreeFormatLength, from, audioEnd)) {
        from = walked->Replay(info, visit, from, audioEnd, stopped);
    }
    // Past the frames recorded, a walk that ends where the tags begin may find a frame that
    // one going on to the file's end did not: one that ends right there.
    if (!stopped) WalkFrameChain(reader, info, visit, from, audioEnd);
    FileInformation scratch;
    scratch.FreeFormatLength = layout.FreeFormatLength;
    ChainFrame last{end, {}, false};
    if (!stopped && end < audioEnd &&
        DecodeFrameHeader(reader.HeaderAt(end), scratch, last.Frame)) {
        take(last, true);
    }
    return parts;
}

using std::chrono::microseconds;
constexpr std::int64_t kMicroseconds = 1'000'000;

// A cut's time as the log tells it: to the nearest millisecond.
std::int64_t Milliseconds(microseconds time) {
    return std::chrono::round<std::chrono::milliseconds>(time).count();
}

// The cut times one after another.
class TimeList {
  public:
    explicit TimeList(const CutTimes& times) : times_(times) {}
    std::optional<microseconds> Next() const {
        if (next_ < times_.At.size()) return times_.At[next_];
        return std::nullopt;
    }
    void Advance() { ++next_; }

  private:
    const CutTimes& times_;
    std::size_t next_ = 0;
};

// The next time would cut the frame just cut twice.
Step RefuseSameFrame(const TimeList& list, SourceCuts& cuts) {
    cuts.Problem = CutProblem::SameFrame;
    cuts.OtherTime = cuts.Times.back();
    cuts.Times.push_back(Milliseconds(*list.Next()));
    return Step::Stop;
}

// The sample of the source's played samples a time falls on, the nearest: a time of whole
// milliseconds falls where it did when times were milliseconds. Times at or before the
// start are refused before any walk.
std::int64_t SampleAt(microseconds time, std::int64_t rate) {
    const std::int64_t at = time.count();
    return at / kMicroseconds * rate +
           (at % kMicroseconds * rate + kMicroseconds / 2) / kMicroseconds;
}

// The cut of the frame rule at `frame`, the walk having come as far as `point` says, with
// the frames `before` it.
Cut SafeCutAt(const ChainFrame& frame, const Cut& point, const RecentFrames& before,
              const SourceLayout& layout) {
    Cut found = point;
    found.At = frame.Offset;
    found.Seconds = double(PlayedSampleAt(point.FramesBefore - (layout.Header ? 1 : 0),
                                          layout.SamplesPerFrame, layout.GaplessValues)) /
                    layout.SamplingRate;
    found.Borrowed = frame.Frame.MainDataBegin;
    found.Lenders = HoldersOf(before.Frames(), found.Borrowed);
    return found;
}

// The frame rule: the first frame at or after each time that is followed by another and
// borrows no more main data than the frame before it holds, so that one copy of that frame
// carries it. The frames are timed from the first after the ID3v2 tag, a header frame too.
void FindSafeCuts(BlockReader& reader, const CutTimes& times, FileInformation& info,
                  const ChainRecord* walked, WalkTo to, SourceCuts& cuts) {
    TimeList list(times);
    Cut point;
    // The rule times frames from the first after the ID3v2 tag, a header frame too; the
    // cut is told at the time the part after it starts to play.
    double timeline = 0;
    RecentFrames before;
    // The walk goes on to the end: every part after a cut has a length header whose counts
    // its frames give.
    const SourceLayout& layout = cuts.Layout;
    // When the next cut is due, in seconds; none due: never.
    const auto dueAt = [&list] {
        const auto time = list.Next();
        return time ? double(time->count()) / kMicroseconds
                    : std::numeric_limits<double>::infinity();
    };
    double due = dueAt();
    // The frames before a cut matter only near it: as many as a back pointer reaches, of the
    // longest frames, play for less than this.
    constexpr double kRememberAhead = 2;
    cuts.Parts =
        RecordParts(reader, layout, info, walked, [&](const ChainFrame& frame, bool, bool) {
            if (to == WalkTo::LastCut && !cuts.Cuts.empty() && !list.Next()) return Step::Stop;
            Step step = Step::Same;
            if (timeline >= due && frame.FollowedByHeader && !before.Empty() &&
                frame.Frame.MainDataBegin <= MainDataRoom(before.Last().Frame)) {
                cuts.Cuts.push_back(SafeCutAt(frame, point, before, layout));
                cuts.Times.push_back(Milliseconds(*list.Next()));
                list.Advance();
                due = dueAt();
                if (timeline >= due) return RefuseSameFrame(list, cuts);
                step = Step::Start;
            }
            if (timeline + kRememberAhead >= due) before.Remember(frame);
            point.PrevFrameLength = frame.Frame.FrameLength;
            point.PrevSideInfoSize = frame.Frame.SideInfoSize;
            timeline += frame.Frame.FrameDuration;
            ++point.FramesBefore;
            return step;
        });
    if (cuts.Problem != CutProblem::None) return;
    cuts.LengthMs = static_cast<std::int64_t>(timeline * 1000);
    // A cut every so often ends quietly with the audio once it has cut at all.
    const bool quietly = times.EndQuietly && !cuts.Cuts.empty();
    if (const auto time = list.Next(); time && !quietly) {
        cuts.Problem = double(time->count()) / kMicroseconds >= timeline
                           ? CutProblem::PastEnd
                           : CutProblem::NoSafePosition;
        cuts.Times.push_back(Milliseconds(*time));
        cuts.Cuts.push_back(std::move(point));
    }
}

// The cut at `time`, worked out as far as the frames' samples go; none without a time.
std::optional<Cut> PlanExactCut(std::optional<microseconds> time, const SourceLayout& layout) {
    if (!time) return std::nullopt;
    Cut cut;
    cut.SamplingRate = layout.SamplingRate;
    cut.SamplesPerFrame = layout.SamplesPerFrame;
    cut.Gapless = layout.GaplessValues.has_value();
    const std::int64_t spf = cut.SamplesPerFrame;
    cut.Sample = SampleAt(*time, cut.SamplingRate);
    if (cut.Gapless) {
        const std::int64_t g = PlayedLead(layout.GaplessValues) + cut.Sample;
        cut.CutFrame = g / spf;
        cut.CutOffset = static_cast<std::int32_t>(g % spf);
        cut.FirstFrames = (g + spf - 1) / spf;
    } else {
        cut.CutFrame = cut.FirstFrames = (cut.Sample + spf / 2) / spf;
        cut.Sample = cut.CutFrame * spf;
    }
    cut.Seconds = double(cut.Sample) / cut.SamplingRate;
    return cut;
}

// Places `cut` at `frame`, the cut frame, audio frame `index`, with the frames `before` it:
// the primers the part after it plays first and the frames that hold what they borrow.
void PlaceExactCut(Cut& cut, const ChainFrame& frame, std::int64_t index,
                   const std::vector<LenderFrame>& before, const SourceLayout& layout) {
    cut.At = frame.Offset;
    cut.FirstEnd = cut.FirstFrames == index ? frame.Offset : frame.Offset + frame.Frame.FrameLength;
    cut.FramesBefore = cut.CutFrame + (layout.Header ? 1 : 0);
    const auto primers = static_cast<std::ptrdiff_t>(
        std::min<std::int64_t>(cut.SamplesPerFrame == 1152 ? 1 : kMostPrimers, cut.CutFrame));
    cut.Primers.assign(before.end() - primers, before.end());
    const std::vector<LenderFrame> earlier(before.begin(), before.end() - primers);
    cut.Borrowed = std::max<std::int32_t>(
        0, cut.Primers.empty() ? 0 : cut.Primers.front().Frame.MainDataBegin);
    cut.Lenders = cut.Borrowed > 0 ? HoldersOf(earlier, cut.Borrowed) : std::vector<LenderFrame>{};
}

// At samples: the frame that holds each time's sample, with the frames before it that the
// part after it plays first.
void FindExactCuts(BlockReader& reader, const CutTimes& times, FileInformation& info,
                   const ChainRecord* walked, WalkTo to, SourceCuts& cuts) {
    const SourceLayout& layout = cuts.Layout;
    TimeList list(times);
    const auto missing = [&](CutProblem problem, Cut cut) {
        cuts.Problem = problem;
        cuts.Times.push_back(Milliseconds(*list.Next()));
        cuts.Cuts.push_back(std::move(cut));
    };
    if (!layout.First) {
        if (list.Next()) missing(CutProblem::PastEnd, {});
        return;
    }
    const std::int64_t spf = layout.SamplesPerFrame;
    const auto plan = [&] { return PlanExactCut(list.Next(), layout); };
    std::optional<Cut> next = plan();
    if (next && !next->Gapless && next->CutFrame == 0) return missing(CutProblem::AtStart, *next);

    RecentFrames before;
    std::int64_t index = 0;
    cuts.Parts = RecordParts(
        reader, layout, info, walked, [&](const ChainFrame& frame, bool header, bool last) {
            if (header) return Step::Same;
            if (to == WalkTo::LastCut && !cuts.Cuts.empty() && !next) {
                return Step::Stop;
            }
            Step step = Step::Same;
            if (next && index == next->CutFrame && !last) {
                Cut& cut = *next;
                PlaceExactCut(cut, frame, index, before.Frames(), layout);
                step = cut.FirstEnd > cut.At ? Step::Share : Step::Start;
                cuts.Times.push_back(Milliseconds(*list.Next()));
                cuts.Cuts.push_back(std::move(cut));
                list.Advance();
                next = plan();
                if (next && next->CutFrame == index) return RefuseSameFrame(list, cuts);
            }
            // Of the frames between cuts, only those a cut's primers and lenders may be.
            if (next && index + std::int64_t{RecentFrames::kRemembered} >= next->CutFrame) {
                before.Remember(frame);
            }
            ++index;
            return step;
        });
    if (cuts.Problem != CutProblem::None || to == WalkTo::LastCut) return;
    // What the decoders play: every frame's samples, less the delay and the padding a LAME
    // tag states. A cut in the padding, or past the frames, leaves nothing to play after it.
    const std::int64_t played = PlayedSamples(index, spf, layout.GaplessValues);
    cuts.LengthMs = played * 1000 / layout.SamplingRate;
    const auto past = std::find_if(cuts.Cuts.begin(), cuts.Cuts.end(),
                                   [&](const Cut& cut) { return cut.Sample >= played; });
    if (past != cuts.Cuts.end()) {
        cuts.Problem = CutProblem::PastEnd;
        cuts.Times.resize(static_cast<std::size_t>(past - cuts.Cuts.begin()) + 1);
    } else if (next) {
        missing(next->Sample >= played ? CutProblem::PastEnd : CutProblem::NoSafePosition, *next);
    }
}

}  // namespace

void PartFrames::Add(const ChainFrame& frame) {
    if (frame.Offset != end_) skips_.emplace_back(lengths_.size(), frame.Offset - end_);
    lengths_.push_back(frame.Frame.FrameLength);
    end_ = frame.Offset + frame.Frame.FrameLength;
    bitRates_.See(frame.Frame);
}

SourceCuts FindCuts(ByteSource& source, const CutTimes& times, bool exact, FileInformation& info,
                    const ChainRecord* walked, WalkTo to) {
    BlockReader reader(source);
    SourceCuts cuts;
    cuts.Layout = ReadLayout(source, reader);
    cuts.Exact = exact;
    const SourceLayout& layout = cuts.Layout;
    if (!exact) {
        FindSafeCuts(reader, times, info, walked, to, cuts);
    } else {
        FindExactCuts(reader, times, info, walked, to, cuts);
    }
    if (cuts.Problem != CutProblem::None || cuts.Parts.empty()) return cuts;
    // The parts walked lie one after another from the audio's start, each an unbroken run;
    // an exact cut's frame that ends the part before it as well counts once.
    const std::vector<PartFrames>& parts = cuts.Parts;
    bool unbroken = parts.front().From() == layout.AudioStart;
    std::int64_t frames = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool shared = i > 0 && cuts.Cuts[i - 1].FirstEnd > cuts.Cuts[i - 1].At;
        unbroken = unbroken && parts[i].Unbroken() &&
                   (i == 0 || (shared ? parts[i].From() == cuts.Cuts[i - 1].At &&
                                            parts[i - 1].End() == cuts.Cuts[i - 1].FirstEnd
                                      : parts[i].From() == parts[i - 1].End()));
        frames += parts[i].Count() - (shared ? 1 : 0);
    }
    if (unbroken && parts.back().End() == layout.Tags.TrailerAt) cuts.RunFrames = frames;
    return cuts;
}

Cut FindCut(ByteSource& source, microseconds time, bool exact, FileInformation& info) {
    // One time listed: its cut, or, where there is none, what the walk saw.
    return FindCuts(source, {{time}}, exact, info).Cuts.front();
}

std::vector<PartFrames> WalkParts(ByteSource& source, const SourceLayout& layout,
                                  const std::vector<std::pair<std::int64_t, bool>>& starts) {
    BlockReader reader(source);
    FileInformation scratch;
    auto next = starts.begin();
    std::vector<PartFrames> parts =
        RecordParts(reader, layout, scratch, nullptr, [&](const ChainFrame& frame, bool, bool) {
            if (next == starts.end() || frame.Offset < next->first) return Step::Same;
            return (next++)->second ? Step::Share : Step::Start;
        });
    // A part whose start no frame reaches holds none.
    for (; next != starts.end(); ++next) parts.emplace_back(next->first);
    return parts;
}

}  // namespace quorvel
