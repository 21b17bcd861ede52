#include "engine/SplitSearch.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

namespace quorvel {

// A search's walk over the source's audio, from the first frame after its ID3v2 tag up to the
// tags after it, as the chain rule finds it; the audio's last frame counts whatever follows
// it (a tag no one knows, bytes of no frame) and however short the end leaves it, as the
// decoders play it and as its encoder counted it, whole. Its rule sees every frame, the
// header frame and that last one told apart, and says what becomes of the parts; each frame
// but the header frame joins the part it ends in.
class PartsSearch {
  public:
    virtual ~PartsSearch() = default;
    // Whether the rule walks at all; a search that ends before the walk has said why.
    virtual bool Start() = 0;
    // The next frame the walk accepted; false once the rule has ended the walk.
    virtual bool Take(const ChainFrame& frame) = 0;
    // Walks on from where the frames given end to the audio's end, gives the frame the tags
    // or bytes of no frame follow, and ends the rule.
    virtual void Finish(BlockReader& reader, FileInformation& info) = 0;
};

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

template <typename Rule>
class PartsWalk final : public PartsSearch {
  public:
    template <typename... Arguments>
    explicit PartsWalk(SourceCuts& cuts, Arguments&&... arguments)
        : cuts_(cuts),
          rule_(cuts, std::forward<Arguments>(arguments)...),
          end_(cuts.Layout.First ? cuts.Layout.First->Offset : cuts.Layout.AudioStart),
          resume_(cuts.Layout.Tags.Id3v2Length) {}

    bool Start() override {
        if (!rule_.Start()) return false;
        cuts_.Parts = {PartFrames(cuts_.Layout.AudioStart)};
        return true;
    }
    bool Take(const ChainFrame& frame) override {
        stopped_ = !Apply(frame, false);
        end_ = frame.Offset + frame.Frame.FrameLength;
        if (!stopped_) resume_ = end_;
        return !stopped_;
    }
    void Finish(BlockReader& reader, FileInformation& info) override {
        const SourceLayout& layout = cuts_.Layout;
        const std::int64_t audioEnd = layout.Tags.TrailerAt;
        info.FreeFormatLength = layout.FreeFormatLength;
        // Past the frames given, a walk that ends where the tags begin may find a frame that
        // one going on to the file's end did not: one that ends right there.
        if (!stopped_) {
            WalkFrameChain(
                reader, info, [this](const ChainFrame& frame) { return Take(frame); }, resume_,
                audioEnd);
        }
        FileInformation scratch;
        scratch.FreeFormatLength = layout.FreeFormatLength;
        ChainFrame last{end_, {}, false};
        if (!stopped_ && end_ < audioEnd &&
            DecodeFrameHeader(reader.HeaderAt(end_), scratch, last.Frame)) {
            Apply(last, true);
        }
        rule_.Finish();
    }

  private:
    bool Apply(const ChainFrame& frame, bool last) {
        std::vector<PartFrames>& parts = cuts_.Parts;
        const bool header = cuts_.Layout.Header && frame.Offset == cuts_.Layout.HeaderStart;
        switch (rule_.Decide(frame, header, last)) {
            case Step::Stop:
                return false;
            case Step::Share:
                parts.back().Add(frame);
                parts.emplace_back(frame.Offset);
                RoomForLast(frame);
                break;
            case Step::Start:
                parts.emplace_back(frame.Offset);
                RoomForLast(frame);
                break;
            case Step::Same:
                break;
        }
        if (!header) parts.back().Add(frame);
        return true;
    }

    // The last part, which may hold nearly all of a long source's frames, has room made for
    // as many as the bytes left hold at half this frame's length, so that they are never
    // moved as it grows: pages not written to take no memory.
    void RoomForLast(const ChainFrame& frame) {
        if (!rule_.Last()) return;
        const std::int64_t left = cuts_.Layout.Tags.TrailerAt - frame.Offset;
        const std::int64_t most = std::int64_t{ChainRecord::kMostFrames};
        cuts_.Parts.back().Reserve(static_cast<std::size_t>(
            std::min(most, 2 * left / std::max<std::int64_t>(frame.Frame.FrameLength, 1) + 1)));
    }

    SourceCuts& cuts_;
    Rule rule_;
    std::int64_t end_;     // where the last frame given ends
    std::int64_t resume_;  // where a walk goes on from
    bool stopped_ = false;
};

using std::chrono::microseconds;
constexpr std::int64_t kMicroseconds = 1'000'000;

// A cut's time as the log tells it: to the nearest millisecond.
std::int64_t Milliseconds(microseconds time) {
    return std::chrono::round<std::chrono::milliseconds>(time).count();
}

// The cut times one after another.
class TimeList {
  public:
    explicit TimeList(CutTimes times) : times_(std::move(times)) {}
    std::optional<microseconds> Next() const {
        if (next_ < times_.At.size()) return times_.At[next_];
        return std::nullopt;
    }
    void Advance() { ++next_; }
    bool EndQuietly() const { return times_.EndQuietly; }

  private:
    CutTimes times_;
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
// The walk goes on to the end: every part after a cut has a length header whose counts its
// frames give.
class SafeRule {
  public:
    SafeRule(SourceCuts& cuts, const CutTimes& times, WalkTo to)
        : cuts_(cuts), list_(times), to_(to), due_(DueAt()) {}

    bool Start() { return true; }
    bool Last() const { return !list_.Next(); }
    Step Decide(const ChainFrame& frame, bool, bool) {
        if (to_ == WalkTo::LastCut && !cuts_.Cuts.empty() && !list_.Next()) return Step::Stop;
        Step step = Step::Same;
        if (timeline_ >= due_ && frame.FollowedByHeader && !before_.Empty() &&
            frame.Frame.MainDataBegin <= MainDataRoom(before_.Last().Frame)) {
            cuts_.Cuts.push_back(SafeCutAt(frame, point_, before_, cuts_.Layout));
            cuts_.Times.push_back(Milliseconds(*list_.Next()));
            list_.Advance();
            due_ = DueAt();
            if (timeline_ >= due_) return RefuseSameFrame(list_, cuts_);
            step = Step::Start;
        }
        if (timeline_ + kRememberAhead >= due_) before_.Remember(frame);
        point_.PrevFrameLength = frame.Frame.FrameLength;
        point_.PrevSideInfoSize = frame.Frame.SideInfoSize;
        timeline_ += frame.Frame.FrameDuration;
        ++point_.FramesBefore;
        return step;
    }
    void Finish() {
        if (cuts_.Problem != CutProblem::None) return;
        cuts_.LengthMs = static_cast<std::int64_t>(timeline_ * 1000);
        // A cut every so often ends quietly with the audio once it has cut at all.
        const bool quietly = list_.EndQuietly() && !cuts_.Cuts.empty();
        if (const auto time = list_.Next(); time && !quietly) {
            cuts_.Problem = double(time->count()) / kMicroseconds >= timeline_
                                ? CutProblem::PastEnd
                                : CutProblem::NoSafePosition;
            cuts_.Times.push_back(Milliseconds(*time));
            cuts_.Cuts.push_back(std::move(point_));
        }
    }

  private:
    // When the next cut is due, in seconds; none due: never.
    double DueAt() const {
        const auto time = list_.Next();
        return time ? double(time->count()) / kMicroseconds
                    : std::numeric_limits<double>::infinity();
    }
    // The frames before a cut matter only near it: as many as a back pointer reaches, of the
    // longest frames, play for less than this.
    static constexpr double kRememberAhead = 2;

    SourceCuts& cuts_;
    TimeList list_;
    WalkTo to_;
    Cut point_;
    // The rule times frames from the first after the ID3v2 tag, a header frame too; the cut
    // is told at the time the part after it starts to play.
    double timeline_ = 0;
    RecentFrames before_;
    double due_;
};

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
class ExactRule {
  public:
    ExactRule(SourceCuts& cuts, const CutTimes& times, WalkTo to)
        : cuts_(cuts), list_(times), to_(to) {}

    bool Start() {
        if (!cuts_.Layout.First) {
            if (list_.Next()) Missing(CutProblem::PastEnd, {});
            return false;
        }
        next_ = Plan();
        if (next_ && !next_->Gapless && next_->CutFrame == 0) {
            Missing(CutProblem::AtStart, *next_);
            return false;
        }
        return true;
    }
    bool Last() const { return !next_; }
    Step Decide(const ChainFrame& frame, bool header, bool last) {
        if (header) return Step::Same;
        if (to_ == WalkTo::LastCut && !cuts_.Cuts.empty() && !next_) return Step::Stop;
        Step step = Step::Same;
        if (next_ && index_ == next_->CutFrame && !last) {
            Cut& cut = *next_;
            PlaceExactCut(cut, frame, index_, before_.Frames(), cuts_.Layout);
            step = cut.FirstEnd > cut.At ? Step::Share : Step::Start;
            cuts_.Times.push_back(Milliseconds(*list_.Next()));
            cuts_.Cuts.push_back(std::move(cut));
            list_.Advance();
            next_ = Plan();
            if (next_ && next_->CutFrame == index_) return RefuseSameFrame(list_, cuts_);
        }
        // Of the frames between cuts, only those a cut's primers and lenders may be.
        if (next_ && index_ + std::int64_t{RecentFrames::kRemembered} >= next_->CutFrame) {
            before_.Remember(frame);
        }
        ++index_;
        return step;
    }
    void Finish() {
        if (cuts_.Problem != CutProblem::None || to_ == WalkTo::LastCut) return;
        // What the decoders play: every frame's samples, less the delay and the padding a
        // LAME tag states. A cut in the padding, or past the frames, leaves nothing to play
        // after it.
        const SourceLayout& layout = cuts_.Layout;
        const std::int64_t played =
            PlayedSamples(index_, layout.SamplesPerFrame, layout.GaplessValues);
        cuts_.LengthMs = played * 1000 / layout.SamplingRate;
        const auto past = std::find_if(cuts_.Cuts.begin(), cuts_.Cuts.end(),
                                       [&](const Cut& cut) { return cut.Sample >= played; });
        if (past != cuts_.Cuts.end()) {
            cuts_.Problem = CutProblem::PastEnd;
            cuts_.Times.resize(static_cast<std::size_t>(past - cuts_.Cuts.begin()) + 1);
        } else if (next_) {
            Missing(next_->Sample >= played ? CutProblem::PastEnd : CutProblem::NoSafePosition,
                    *next_);
        }
    }

  private:
    std::optional<Cut> Plan() const { return PlanExactCut(list_.Next(), cuts_.Layout); }
    void Missing(CutProblem problem, Cut cut) {
        cuts_.Problem = problem;
        cuts_.Times.push_back(Milliseconds(*list_.Next()));
        cuts_.Cuts.push_back(std::move(cut));
    }

    SourceCuts& cuts_;
    TimeList list_;
    WalkTo to_;
    std::optional<Cut> next_;
    RecentFrames before_;
    std::int64_t index_ = 0;
};

// Cuts known already: before the frame at each of the starts, the part before keeping it
// where the start says it is shared.
class StartsRule {
  public:
    StartsRule(SourceCuts&, const std::vector<std::pair<std::int64_t, bool>>& starts)
        : next_(starts.begin()), end_(starts.end()) {}

    bool Start() { return true; }
    bool Last() const { return next_ == end_; }
    Step Decide(const ChainFrame& frame, bool, bool) {
        if (next_ == end_ || frame.Offset < next_->first) return Step::Same;
        return (next_++)->second ? Step::Share : Step::Start;
    }
    void Finish() {}

  private:
    std::vector<std::pair<std::int64_t, bool>>::const_iterator next_, end_;
};

// The parts walked lie one after another from the audio's start, each an unbroken run; an
// exact cut's frame that ends the part before it as well counts once.
void CountRun(SourceCuts& cuts) {
    if (cuts.Problem != CutProblem::None || cuts.Parts.empty()) return;
    const std::vector<PartFrames>& parts = cuts.Parts;
    bool unbroken = parts.front().From() == cuts.Layout.AudioStart;
    std::int64_t frames = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool shared = i > 0 && cuts.Cuts[i - 1].FirstEnd > cuts.Cuts[i - 1].At;
        unbroken = unbroken && parts[i].Unbroken() &&
                   (i == 0 || (shared ? parts[i].From() == cuts.Cuts[i - 1].At &&
                                            parts[i - 1].End() == cuts.Cuts[i - 1].FirstEnd
                                      : parts[i].From() == parts[i - 1].End()));
        frames += parts[i].Count() - (shared ? 1 : 0);
    }
    if (unbroken && parts.back().End() == cuts.Layout.Tags.TrailerAt) cuts.RunFrames = frames;
}

// The search by the rule `exact` names, the parts walked into `cuts`.
std::unique_ptr<PartsSearch> SearchBy(bool exact, SourceCuts& cuts, const CutTimes& times,
                                      WalkTo to) {
    if (exact) return std::make_unique<PartsWalk<ExactRule>>(cuts, times, to);
    return std::make_unique<PartsWalk<SafeRule>>(cuts, times, to);
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
    const auto search = SearchBy(exact, cuts, times, to);
    if (!search->Start()) return cuts;
    const SourceLayout& layout = cuts.Layout;
    const std::int64_t from = layout.Tags.Id3v2Length, audioEnd = layout.Tags.TrailerAt;
    // The frames `walked` recorded, where it covers the audio, stand in for those the walk
    // would read.
    if (walked && walked->Covers(layout.FreeFormatLength, from, audioEnd)) {
        bool stopped = false;
        walked->Replay(
            info, [&search](const ChainFrame& frame) { return search->Take(frame); }, from,
            audioEnd, stopped);
    }
    search->Finish(reader, info);
    CountRun(cuts);
    return cuts;
}

Cut FindCut(ByteSource& source, microseconds time, bool exact, FileInformation& info) {
    // One time listed: its cut, or, where there is none, what the walk saw.
    return FindCuts(source, {{time}}, exact, info).Cuts.front();
}

CutsAlong::CutsAlong(SourceLayout layout, const CutTimes& times, bool exact)
    : audio_{layout.Tags.Id3v2Length, layout.Tags.TrailerAt} {
    cuts_.Layout = std::move(layout);
    cuts_.Exact = exact;
    search_ = SearchBy(exact, cuts_, times, WalkTo::End);
    started_ = taking_ = search_->Start();
}

CutsAlong::~CutsAlong() = default;

void CutsAlong::Begin(std::int16_t freeFormatLength, std::int64_t) {
    spoiled_ = freeFormatLength != cuts_.Layout.FreeFormatLength;
}

// The frames as ChainRecord::Replay gives those it recorded, bounded by the audio.
void CutsAlong::Add(const ChainFrame& frame, const HeaderBytes&) {
    if (!taking_ || spoiled_) return;
    switch (audio_.Of(frame)) {
        case WalkBounds::Place::Before:
            spoiled_ = frame.Offset + frame.Frame.FrameLength > audio_.From;
            break;
        case WalkBounds::Place::Past:
            spoiled_ = frame.Offset < audio_.To;
            taking_ = false;
            break;
        case WalkBounds::Place::Within:
            taking_ = search_->Take(frame);
            break;
        case WalkBounds::Place::AtEnd: {
            ChainFrame last = frame;
            last.FollowedByHeader = false;
            taking_ = search_->Take(last);
            break;
        }
    }
}

std::optional<SourceCuts> CutsAlong::Finish(ByteSource& source) {
    if (spoiled_) return std::nullopt;
    if (started_) {
        BlockReader reader(source);
        FileInformation info;
        search_->Finish(reader, info);
        CountRun(cuts_);
    }
    return std::move(cuts_);
}

std::vector<PartFrames> WalkParts(ByteSource& source, const SourceLayout& layout,
                                  const std::vector<std::pair<std::int64_t, bool>>& starts) {
    BlockReader reader(source);
    FileInformation scratch;
    SourceCuts cuts;
    cuts.Layout = layout;
    PartsWalk<StartsRule> walk(cuts, starts);
    walk.Start();
    walk.Finish(reader, scratch);
    // A part whose start no frame reaches holds none.
    for (std::size_t i = cuts.Parts.size() - 1; i < starts.size(); ++i) {
        cuts.Parts.emplace_back(starts[i].first);
    }
    return std::move(cuts.Parts);
}

}  // namespace quorvel
