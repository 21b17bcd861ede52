#pragma once

#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/FrameChain.h"
#include "engine/FrameHeader.h"
#include "engine/SourceLayout.h"

namespace quorvel {

// The frames an exact part plays unheard before its cut frame, so that the cut frame decodes
// as in the source: the primers (one where a frame holds two granules, two where it holds
// one), a frame that carries what the first primer borrows, and, where the decoders' parity
// needs one, an empty frame. A decoder that is to play such a part's first sample as a decode
// from the source's start does decodes as many frames before it.
inline constexpr int kMostPrimers = 2;
inline constexpr int kMostFramesBeforeCut = kMostPrimers + 2;

// A frame of the source and where it starts.
struct LenderFrame {
    std::int64_t Offset = 0;
    FrameValues Frame{};
};

// Where a source is cut, by either rule. The part after the cut plays the source's frames
// from the cut frame at `At` on; at a sample it first plays the `Primers` before it, unheard.
// The first of those frames borrows `Borrowed` bytes of main data that the `Lenders` before
// it hold, which the part after the cut carries in frames of its own.
struct Cut {
    std::int64_t At = 0;            // where the cut frame starts; 0: no cut
    std::int64_t FramesBefore = 0;  // from the source's first frame, a header frame too
    double Seconds = 0;             // when the part after the cut starts playing
    std::vector<LenderFrame> Primers{};
    std::int32_t Borrowed = 0;
    // Oldest first. By the frame rule the frame right before the cut frame is the last of
    // them even where nothing is borrowed; empty, that frame is found from PrevFrameLength.
    std::vector<LenderFrame> Lenders{};

    // By the frame rule: the frame right before the cut frame, as the walk saw it.
    std::int16_t PrevFrameLength = 0;
    std::int16_t PrevSideInfoSize = 0;

    // At a sample. The decoders' output of a source whose LAME tag states its start delay d
    // begins at sample d + kDecoderDelay of the frames' samples; the cut sample g lies
    // `CutOffset` samples into frame `CutFrame` (frames counted from 0 after the header
    // frame). A source without that tag plays every frame's samples: its cut falls on the
    // frame boundary nearest the time.
    std::int64_t Sample = 0;  // the cut in the source's played samples
    bool Gapless = false;     // the source's LAME tag states its delay and padding
    std::int32_t SamplingRate = 0;
    std::int32_t SamplesPerFrame = 1152;
    std::int64_t CutFrame = 0;
    std::int32_t CutOffset = 0;
    // The part before the cut: frames up to FirstFrames - 1, ending at FirstEnd; it holds
    // the cut sample's frame only where the cut lies inside it.
    std::int64_t FirstFrames = 0;
    std::int64_t FirstEnd = 0;

    // The cut in the frames' samples, the decoders' delays included.
    std::int64_t FrameSample() const { return CutFrame * SamplesPerFrame + CutOffset; }
};

// The frames of one part of the source as the walk over it met them: how many, whether their
// bit rate changes, and where each lies, for a length header's seek table, so that no part is
// walked twice.
class PartFrames {
  public:
    explicit PartFrames(std::int64_t from = 0) : from_(from), end_(from) {}

    void Add(const ChainFrame& frame);
    void Reserve(std::size_t frames) { lengths_.reserve(frames); }

    std::int64_t From() const { return from_; }  // where the part starts
    std::int64_t Count() const { return static_cast<std::int64_t>(lengths_.size()); }
    std::int64_t End() const { return end_; }  // where its last frame ends; From() with none
    bool VariableBitRate() const { return bitRates_.Changes(); }
    // Whether each frame starts where the one before it ends.
    bool Unbroken() const { return skips_.empty(); }

    // Where frames start, asked for in rising order: the lengths are added up once in all,
    // in a tight loop, as a long part has millions of frames and its seek table, the seam
    // check's frame index and a length header want a hundred thousand of their starts.
    class Starts {
      public:
        explicit Starts(const PartFrames& frames)
            : frames_(frames), offset_(frames.from_), skip_(frames.skips_.begin()) {}
        // Where frame `index` starts: at least the last index asked for, below Count().
        std::int64_t At(std::int64_t index);

      private:
        const PartFrames& frames_;
        std::size_t next_ = 0;  // the frame offset_ is the start of, its skip not yet added
        std::int64_t offset_;
        std::vector<std::pair<std::size_t, std::int64_t>>::const_iterator skip_;
    };

    // Calls visit(offset, length) for each frame, in order.
    template <typename Visit>
    void Each(Visit&& visit) const {
        std::int64_t offset = from_;
        auto skip = skips_.begin();
        for (std::size_t i = 0; i < lengths_.size(); ++i) {
            if (skip != skips_.end() && skip->first == i) offset += (skip++)->second;
            visit(offset, std::int64_t{lengths_[i]});
            offset += lengths_[i];
        }
    }

  private:
    std::int64_t from_;
    std::int64_t end_;
    BitRateChange bitRates_;
    // Two bytes a frame, and the rare bytes of no frame before one: (frame, bytes).
    std::vector<std::int16_t> lengths_;
    std::vector<std::pair<std::size_t, std::int64_t>> skips_;
};

inline std::int64_t PartFrames::Starts::At(std::int64_t index) {
    const auto to = static_cast<std::size_t>(index);
    const std::vector<std::int16_t>& lengths = frames_.lengths_;
    for (;;) {
        // The bytes of no frame before a frame belong to its start.
        while (skip_ != frames_.skips_.end() && skip_->first <= next_) offset_ += (skip_++)->second;
        if (next_ == to) return offset_;
        const std::size_t until = skip_ == frames_.skips_.end() ? to : std::min(to, skip_->first);
        // Added up 32 at a time, which the compiler does in vector registers: a frame is
        // shorter than 2^15 bytes, so 32 of them fit in 32 bits.
        std::int64_t bytes = 0;
        std::size_t i = next_;
        for (; i + 32 <= until; i += 32) {
            std::int32_t block = 0;
            for (std::size_t j = 0; j < 32; ++j) block += lengths[i + j];
            bytes += block;
        }
        for (; i < until; ++i) bytes += lengths[i];
        offset_ += bytes;
        next_ = until;
    }
}

// The times to cut a source at, in rising order, in microseconds of its playing time. A
// millisecond's time cuts where it always has (its sample rounds as the millisecond's did),
// and a time worked out from a sample (EqualStarts) finds that very sample again: a
// microsecond is below half a sample at every MPEG sampling rate.
struct CutTimes {
    std::vector<std::chrono::microseconds> At;
    // A cut every so often: once one cut is found, the cuts the frame rule finds no frame for
    // before the audio ends are left out, the last part ending with the audio, rather than
    // refused.
    bool EndQuietly = false;

    bool operator==(const CutTimes&) const = default;
};

// Why a walk did not find every cut asked for, or a cut found cannot be made.
enum class CutProblem {
    None,
    AtStart,         // a time at or before the start of the audio
    SameFrame,       // two times that cut at one frame
    PastEnd,         // a time at or past the end of the audio
    NoSafePosition,  // no frame the rule allows from a time on
    FramesTooShort,  // a free-format stream's frames cannot hold an exact cut's own frames
    SingleFrame,     // a part of one frame and no frame of the split's own
};

// Where to cut a source at a list of times, found in one walk over its audio, and the
// frames of the parts those cuts make. Each cut is the one a two-part split at its time
// makes.
struct SourceCuts {
    SourceLayout Layout;
    bool Exact = false;
    // Each cut's time, to the millisecond; where there is a problem, the last is the time
    // it concerns, and only the cuts before it count.
    std::vector<std::int64_t> Times;
    // Each cut found, then, where one is missing, that one: at a sample, as planned; by the
    // frame rule, what the walk had seen by its end.
    std::vector<Cut> Cuts;
    // One more than the cuts found.
    std::vector<PartFrames> Parts;
    CutProblem Problem = CutProblem::None;
    std::int64_t OtherTime = 0;  // SameFrame: the time that cuts at the frame already cut at
    std::int64_t LengthMs = 0;   // how long the audio plays, where the walk went to its end
    // The audio's frames, the header frame aside, where they make one unbroken run from its
    // start to the tags after it, as the walk counted them; -1 where they do not.
    std::int64_t RunFrames = -1;

    // The cuts that count.
    std::size_t Found() const {
        return Problem == CutProblem::None ? Parts.size() - 1 : Times.size() - 1;
    }
};

// The cuts an analysis found at times it was told, by one rule, for the split that follows.
struct FoundCuts {
    std::optional<FileStamp> Stamp;  // the source as the analysis opened it
    CutTimes Times;
    bool Exact = false;
    SourceCuts Cuts;

    // Whether they are the cuts of `times` by that rule in the file opened with `stamp`,
    // unchanged since.
    bool Fit(const std::optional<FileStamp>& stamp, const CutTimes& times, bool exact) const {
        return Stamp && stamp == Stamp && times == Times && exact == Exact;
    }
};

}  // namespace quorvel
