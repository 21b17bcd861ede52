#include "engine/Silences.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <exception>
#include <iterator>
#include <memory>
#include <thread>
#include <utility>

#include "engine/FrameChain.h"
#include "engine/LengthHeader.h"
#include "engine/SourceLayout.h"

namespace quorvel {
namespace {

// Decoded a few seconds at a time: little memory, and a half whose other half failed
// gives up soon.
constexpr std::int64_t kChunkSeconds = 4;

// Which samples are loud: those above High or below Low, whose magnitude is not below the
// threshold.
struct Bounds {
    std::int16_t High = 0;
    std::int16_t Low = 0;
};

Bounds LoudBounds(double thresholdDb) {
    const double limit = 32768 * std::pow(10.0, thresholdDb / 20);
    // The largest magnitude below the limit.
    const std::int32_t quiet = !(limit > 1)      ? 0
                               : limit > 32768.0 ? 32768
                                                 : std::int32_t(std::ceil(limit)) - 1;
    return {std::int16_t(std::min(quiet, 32767)), std::int16_t(-quiet)};
}

// The bounds a sample a glance gave (within a step of rounding of the one decoded) must pass
// to be loud for sure (`step` 1), or lie within to be quiet for sure (`step` -1).
Bounds Widened(Bounds bounds, int step) {
    return {std::int16_t(std::clamp(bounds.High + step, -1, 32767)),
            std::int16_t(std::clamp(bounds.Low - step, -32768, 1))};
}

// The fewest sample frames that last MinSeconds; a length in seconds that is a whole
// number of sample frames counts that number, whatever the rounding of the product.
std::int64_t LeastFrames(double minSeconds, std::int32_t rate) {
    const double frames = std::ceil(minSeconds * rate - 1e-6);
    return std::int64_t(std::clamp(frames, 1.0, 1e18));
}

// Sample frames looked at together: a block in which the loudness does not change is
// passed over in a few vector instructions.
constexpr std::size_t kBlock = 64;

// The first of the sample frames [frame, frames) of `samples`, `channels` to a frame, that
// is loud (any of its samples) where `loud`, or quiet (all of them) where not; `frames` where
// none is. With `Channels` known to the compiler (not 0), whole blocks go at once.
template <std::size_t Channels>
std::size_t NextFrame(const std::int16_t* samples, std::size_t channels, std::size_t frame,
                      std::size_t frames, Bounds bounds, bool loud) {
    const auto isLoud = [bounds](std::int16_t sample) {
        return (sample > bounds.High) | (sample < bounds.Low);
    };
    if constexpr (Channels != 0) {
        channels = Channels;
        for (; frame + kBlock <= frames; frame += kBlock) {
            const std::int16_t* block = samples + frame * Channels;
            int any = 0;
            for (std::size_t at = 0; at < kBlock * Channels; at += Channels) {
                int frameLoud = 0;
                for (std::size_t channel = 0; channel < Channels; ++channel) {
                    frameLoud |= isLoud(block[at + channel]);
                }
                any |= frameLoud ^ int(!loud);
            }
            if (any) break;
        }
    }
    for (; frame < frames; ++frame) {
        const std::int16_t* sample = samples + frame * channels;
        if (std::any_of(sample, sample + channels, isLoud) == loud) break;
    }
    return frame;
}

// The silences within [from, to) of `audio`, `from` and `to` within its length: the quiet
// stretches of `least` sample frames or more, and with `edges` also shorter ones that
// start at `from` or end at `to`, as they may go on beyond the span. Gives up, with what
// it found so far, once `abandoned` is set.
using FrameSearch = std::size_t (*)(const std::int16_t*, std::size_t, std::size_t, std::size_t,
                                    Bounds, bool);

// NextFrame for `channels` channels, whole blocks at once for one or two.
FrameSearch SearchFor(std::size_t channels) {
    return channels == 1 ? &NextFrame<1> : channels == 2 ? &NextFrame<2> : &NextFrame<0>;
}

std::vector<Silence> Scan(DecodedAudio& audio, std::int64_t from, std::int64_t to, Bounds bounds,
                          std::int64_t least, bool edges, const std::atomic<bool>& abandoned) {
    std::vector<Silence> found;
    const std::size_t channels = std::size_t(std::max(audio.Channels(), 1));
    const FrameSearch next = SearchFor(channels);
    const std::int64_t chunk = std::max<std::int64_t>(audio.Rate(), 1) * kChunkSeconds;
    std::int64_t quietFrom = -1;  // where the quiet going on began; -1 while it is loud
    const auto end = [&](std::int64_t at) {
        if (at - quietFrom >= least || (edges && (quietFrom == from || at == to))) {
            found.push_back({quietFrom, at});
        }
        quietFrom = -1;
    };
    std::int64_t at = from;
    while (at < to && !abandoned) {
        const std::vector<std::int16_t> samples = audio.Read(at, std::min(chunk, to - at));
        const std::size_t frames = samples.size() / channels;
        if (frames == 0) break;  // a damaged file's decoding ended early
        for (std::size_t frame = 0; (frame = next(samples.data(), channels, frame, frames, bounds,
                                                  quietFrom >= 0)) < frames;) {
            if (quietFrom >= 0) {
                end(at + std::int64_t(frame));
            } else {
                quietFrom = at + std::int64_t(frame);
            }
        }
        at += std::int64_t(frames);
    }
    if (quietFrom >= 0 && !abandoned) end(at);
    return found;
}

// Appends the silences found from `at` on to those found up to it, a silence across `at`
// (found as the end of the one and the start of the other) joined into one.
void Join(std::vector<Silence>& earlier, std::vector<Silence> later, std::int64_t at) {
    if (!earlier.empty() && !later.empty() && earlier.back().End == at &&
        later.front().Start == at) {
        earlier.back().End = later.front().End;
        later.erase(later.begin());
    }
    earlier.insert(earlier.end(), later.begin(), later.end());
}

// What a file's frames tell of its samples before any is decoded: where each frame's
// samples start as a decode from the start counts them, and which frames decode to zeros:
// those that code nothing, after frames that code nothing as far back as the overlap and the
// synthesis filter's memory reach (a frame of two granules in MPEG 1, two of one granule in
// MPEG 2 and 2.5). Unknown where the frames are not one unbroken run of one format or give
// another length than the decoder's.
class FrameGrid {
  public:
    FrameGrid() = default;
    FrameGrid(SourceFile& file, std::int64_t length) {
        BlockReader reader(file);
        const SourceLayout layout = ReadLayout(file, reader);
        std::vector<bool> nothing;
        // A frame that decodes at another rate or in other channels than the first, a false
        // sync in damaged bytes, is given as silence and counted as damage: it is decoded.
        const auto format = [](const FrameStartBytes& start) {
            using namespace header_bits;
            return std::array<int, 3>{start[1] & kVersion, start[2] & kSamplingIndex,
                                      (start[3] & kChannelMode) == kChannelMode};
        };
        std::optional<std::array<int, 3>> first;
        bool alike = true;
        const bool unbroken =
            WalkAudioFrames(reader, layout, [&](const ChainFrame&, const FrameStartBytes& start) {
                if (!first) first = format(start);
                alike = alike && format(start) == *first;
                nothing.push_back(CodesNothing(start));
            });
        const std::int32_t spf = layout.SamplesPerFrame;
        if (!unbroken || !alike ||
            PlayedSamples(std::int64_t(nothing.size()), spf, layout.GaplessValues) != length) {
            return;
        }
        samplesPerFrame_ = spf;
        lead_ =
            layout.GaplessValues ? std::int64_t{layout.GaplessValues->Delay} + kDecoderDelay : 0;
        const std::size_t memory = spf == 1152 ? 1 : 2;
        zeros_.resize(nothing.size());
        for (std::size_t frame = memory; frame < nothing.size(); ++frame) {
            zeros_[frame] = std::all_of(nothing.begin() + std::ptrdiff_t(frame - memory),
                                        nothing.begin() + std::ptrdiff_t(frame + 1),
                                        [](bool none) { return none; });
        }
    }
    bool Known() const { return samplesPerFrame_ > 0; }
    std::int64_t SamplesPerFrame() const { return samplesPerFrame_; }
    std::int64_t FrameAt(std::int64_t sample) const { return (sample + lead_) / samplesPerFrame_; }
    std::int64_t StartOf(std::int64_t frame) const { return frame * samplesPerFrame_ - lead_; }
    bool Zeros(std::int64_t frame) const { return zeros_[std::size_t(frame)]; }

  private:
    std::int64_t samplesPerFrame_ = 0;
    std::int64_t lead_ = 0;
    std::vector<bool> zeros_;
};

// A probe looks at the last samples of a frame, those that the fewest frames before them
// decide: the synthesis filter's memory, 15 blocks of 32 samples, stays within the frame's
// last granule there.
constexpr std::int64_t kProbeSamples = 96;

// Probes fewer frames apart than this cost more than decoding every frame: a glance decodes a
// few frames before the one it looks at.
constexpr std::int64_t kFewestFramesApart = 6;

// How many frames apart probes lie, for no stretch between them to last `least` samples.
std::int64_t FramesApart(std::int64_t least, std::int64_t samplesPerFrame) {
    return (least - 1 + kProbeSamples) / samplesPerFrame;
}

// A stretch in which every sample may be quiet: each is quiet for sure but where a glance
// left it in doubt, within the spans `Doubts`.
struct QuietRun {
    std::int64_t Start = 0;
    std::int64_t End = 0;
    std::vector<std::pair<std::int64_t, std::int64_t>> Doubts;
};

// The most spans of doubt a run keeps apart; beyond, they are one span from the first to the
// last.
constexpr std::size_t kMostDoubts = 64;

// Adds the span [from, to) to the doubts, one with the last where no more than `gap` lies
// between them.
void AddDoubt(std::vector<std::pair<std::int64_t, std::int64_t>>& doubts, std::int64_t from,
              std::int64_t to, std::int64_t gap) {
    if (!doubts.empty() && from <= doubts.back().second + gap) {
        doubts.back().second = std::max(doubts.back().second, to);
    } else {
        doubts.emplace_back(from, to);
    }
    if (doubts.size() > kMostDoubts) doubts = {{doubts.front().first, doubts.back().second}};
}

// What a look at a stretch of the file showed of where silences may lie: its stretches in
// which every sample may be quiet that reach its edges, where they may go on beyond it, or
// last long enough to be silences.
struct Piece {
    std::int64_t Start = 0;
    std::int64_t End = 0;
    std::vector<QuietRun> Runs;

    std::int64_t Leading() const {
        return !Runs.empty() && Runs.front().Start == Start ? Runs.front().End - Start : 0;
    }
    std::int64_t Trailing() const {
        return !Runs.empty() && Runs.back().End == End ? End - Runs.back().Start : 0;
    }
    bool Whole() const { return Leading() == End - Start; }
};

// The piece of the sample frames `samples` from `at` on, glanced at (each within a step of
// rounding) or decoded, with the rule's least length `least`; spans of doubt closer than
// `gap` are one.
Piece Summarize(std::int64_t at, const std::vector<std::int16_t>& samples, std::size_t channels,
                Bounds bounds, std::int64_t least, std::int64_t gap) {
    const FrameSearch next = SearchFor(channels);
    const Bounds loud = Widened(bounds, 1);
    const Bounds sure = Widened(bounds, -1);
    const std::int16_t* data = samples.data();
    const std::size_t frames = samples.size() / channels;
    Piece piece{at, at + std::int64_t(frames), {}};
    for (std::size_t frame = 0;
         (frame = next(data, channels, frame, frames, loud, false)) < frames;) {
        const std::size_t end = next(data, channels, frame, frames, loud, true);
        if (frame == 0 || end == frames || std::int64_t(end - frame) >= least) {
            QuietRun run{at + std::int64_t(frame), at + std::int64_t(end), {}};
            for (std::size_t doubt = frame;
                 (doubt = next(data, channels, doubt, end, sure, true)) < end; ++doubt) {
                AddDoubt(run.Doubts, at + std::int64_t(doubt), at + std::int64_t(doubt) + 1, gap);
            }
            piece.Runs.push_back(std::move(run));
        }
        frame = end;
    }
    return piece;
}

// The span of the file a search covers, and whether a silence may go on beyond its edges.
struct Span {
    std::int64_t From = 0;
    std::int64_t To = 0;
    bool OpenStart = false;
    bool OpenEnd = false;
};

// The stretches of pieces in which every sample may be quiet, joined across pieces that meet,
// that last long enough or reach an open edge of the span: the pieces are taken a batch at a
// time, each batch after the last, so that none need be kept long.
class Joined {
  public:
    Joined(const Span& span, std::int64_t least, std::int64_t gap)
        : span_(span), least_(least), gap_(gap) {}
    void Add(std::vector<Piece>& pieces) {
        std::ranges::sort(pieces, {}, &Piece::Start);
        for (Piece& piece : pieces) {
            for (QuietRun& run : piece.Runs) {
                if (open_ && open_->End == run.Start) {
                    open_->End = run.End;
                    for (const auto& [from, to] : run.Doubts)
                        AddDoubt(open_->Doubts, from, to, gap_);
                } else {
                    Close();
                    open_ = std::move(run);
                }
            }
        }
        pieces.clear();
    }
    std::vector<QuietRun> Finish() {
        Close();
        return std::move(runs_);
    }

  private:
    void Close() {
        if (open_ && (open_->End - open_->Start >= least_ ||
                      (span_.OpenStart && open_->Start == span_.From) ||
                      (span_.OpenEnd && open_->End == span_.To))) {
            runs_.push_back(std::move(*open_));
        }
        open_.reset();
    }

    Span span_;
    std::int64_t least_;
    std::int64_t gap_;
    std::optional<QuietRun> open_;
    std::vector<QuietRun> runs_;
};

// The silences of the runs, each doubt settled by decoding its span as from the start: a
// run splits where a sample in doubt is loud, and its parts are kept where they last long
// enough or reach an open edge of the span.
std::vector<Silence> Settle(DecodedAudio& audio, const std::vector<QuietRun>& found, Bounds bounds,
                            std::int64_t least, const Span& span) {
    const std::size_t channels = std::size_t(std::max(audio.Channels(), 1));
    const FrameSearch next = SearchFor(channels);
    const std::int64_t chunk = std::max<std::int64_t>(audio.Rate(), 1) * kChunkSeconds;
    std::vector<Silence> silences;
    for (const QuietRun& run : found) {
        std::int64_t start = run.Start;
        const auto end = [&](std::int64_t at) {
            if (at > start && (at - start >= least || (span.OpenStart && start == span.From) ||
                               (span.OpenEnd && at == span.To))) {
                silences.push_back({start, at});
            }
        };
        for (const auto& [from, to] : run.Doubts) {
            for (std::int64_t at = from; at < to; at += chunk) {
                const std::vector<std::int16_t> samples = audio.Read(at, std::min(chunk, to - at));
                const std::size_t frames = samples.size() / channels;
                for (std::size_t loud = 0;
                     (loud = next(samples.data(), channels, loud, frames, bounds, true)) < frames;
                     ++loud) {
                    end(at + std::int64_t(loud));
                    start = at + std::int64_t(loud) + 1;
                }
            }
        }
        end(run.End);
    }
    return silences;
}

// The silences within `span` of `audio`, as Scan finds them with `edges` at the open ones,
// from looks at the last samples of one frame in every few (a probe), no further apart than
// a silence lasts, so that every silence holds a probe's samples. From a probe, and from
// the last look, the quiet at either edge is followed on, a frame at a time, as long as it
// and what lies between it and the next look could last long enough. The looks are
// glances, each sample within a step of rounding, taken as loud only where it is loud by
// more than that; frames that decode to zeros are not decoded at all. Where a glance leaves
// a sample of a stretch long enough in doubt, the samples about it are decoded as from the
// start.
// How long the samples from `start` on may be quiet, by the pieces looked at from there.
std::int64_t QuietFrom(const std::vector<Piece>& pieces, std::int64_t start) {
    std::int64_t head = 0;
    for (auto piece = pieces.rbegin(); piece != pieces.rend() && piece->Start >= start; ++piece) {
        head = piece->Whole() ? head + (piece->End - piece->Start) : piece->Leading();
    }
    return head;
}

// The stretch `gap` between the frontier and a probe, looked at from its end back, two frames
// to decode first and twice as many each time after, while it and the quiet on either side of
// it (`before` it, `head` from its end on) could last long enough.
template <typename Look>
void LookBack(const FrameGrid& grid, std::vector<Piece>& pieces, Look&& look, const Span& gap,
              std::int64_t before, std::int64_t head, std::int64_t least) {
    const std::int64_t gapFrom = gap.From;
    std::int64_t frames = 2;
    for (std::int64_t gapTo = gap.To; gapTo > gapFrom && before + (gapTo - gapFrom) + head >= least;
         frames *= 2) {
        std::int64_t earliest = grid.FrameAt(gapTo - 1);
        for (std::int64_t decoded = grid.Zeros(earliest) ? 0 : 1;
             decoded < frames && grid.StartOf(earliest) > gapFrom;) {
            decoded += grid.Zeros(--earliest) ? 0 : 1;
        }
        const std::int64_t from = std::max(gapFrom, grid.StartOf(earliest));
        const std::size_t first = pieces.size();
        for (std::int64_t at = from; at < gapTo;) {
            std::int64_t frame = grid.FrameAt(at);
            const bool zeros = grid.Zeros(frame);
            while (grid.StartOf(frame + 1) < gapTo && grid.Zeros(frame + 1) == zeros) ++frame;
            const std::int64_t end = std::min(gapTo, grid.StartOf(frame + 1));
            look(at, end);
            at = end;
        }
        for (std::size_t piece = pieces.size(); piece-- > first;) {
            head = pieces[piece].Whole() ? head + (pieces[piece].End - pieces[piece].Start)
                                         : pieces[piece].Leading();
        }
        gapTo = from;
    }
}

std::vector<Silence> Sift(DecodedAudio& audio, const FrameGrid& grid, Bounds bounds,
                          std::int64_t least, const Span& span,
                          const std::atomic<bool>& abandoned) {
    const std::size_t channels = std::size_t(std::max(audio.Channels(), 1));
    const std::int64_t spf = grid.SamplesPerFrame();
    std::vector<Piece> pieces;
    // Looks at [from, to), frames that decode to zeros or frames that do not.
    const auto look = [&](std::int64_t from, std::int64_t to) -> const Piece& {
        pieces.push_back(
            grid.Zeros(grid.FrameAt(from))
                ? Piece{from, to, {{from, to, {}}}}
                : Summarize(from, audio.Glance(from, to - from), channels, bounds, least, spf));
        return pieces.back();
    };
    // Everything before the frontier has been looked at or judged; `tail` is how long the
    // samples up to it may have been quiet.
    std::int64_t frontier = span.From, tail = 0;
    // Looks on from the frontier up to the end of its frame (of its run of frames that decode
    // to zeros), no further than `limit`.
    const auto grow = [&](std::int64_t limit) {
        std::int64_t frame = grid.FrameAt(frontier);
        const bool zeros = grid.Zeros(frame);
        while (zeros && grid.StartOf(frame + 1) < limit && grid.Zeros(frame + 1)) ++frame;
        const std::int64_t end = std::min(limit, grid.StartOf(frame + 1));
        const Piece& piece = look(frontier, end);
        tail = piece.Whole() ? tail + (end - frontier) : piece.Trailing();
        frontier = end;
    };
    const std::int64_t stride = FramesApart(least, spf), last = grid.FrameAt(span.To - 1);
    Joined joined(span, least, spf);
    grow(span.To);
    for (std::int64_t frame = grid.FrameAt(span.From); frame < last && !abandoned;) {
        frame = std::min(frame + stride, last);
        const std::int64_t end = frame == last ? span.To : grid.StartOf(frame + 1);
        const std::int64_t start = std::max(frontier, end - kProbeSamples);
        if (end <= frontier) continue;
        // Quiet at the frontier that lasts as long as a probe may be the start of a silence: it
        // is followed on while it could reach the probe and be long enough with the probe's.
        while (frontier < start && tail >= kProbeSamples &&
               tail + (start - frontier) + (end - start) >= least) {
            grow(start);
        }
        if (frontier == start) {
            while (frontier < end) grow(end);
            continue;
        }
        // The probe, and where it is quiet throughout, its quiet followed on to its end.
        const std::int64_t gapFrom = frontier, before = tail;
        frontier = start;
        tail = 0;
        grow(end);
        while (frontier < span.To && tail == frontier - start) grow(span.To);
        LookBack(grid, pieces, look, {gapFrom, start}, before, QuietFrom(pieces, start), least);
        // Every look from now on lies after these.
        joined.Add(pieces);
    }
    if (abandoned) return {};
    joined.Add(pieces);
    return Settle(audio, joined.Finish(), bounds, least, span);
}

}  // namespace

std::vector<Silence> FindSilences(DecodedAudio& audio, std::int64_t from, std::int64_t to,
                                  const SilenceRule& rule) {
    from = std::max<std::int64_t>(from, 0);
    to = std::min(to, audio.Length());
    if (from >= to) return {};
    const std::atomic<bool> never = false;
    return Scan(audio, from, to, LoudBounds(rule.ThresholdDb),
                LeastFrames(rule.MinSeconds, audio.Rate()), false, never);
}

SilenceSweep::SilenceSweep(DecodedAudio& audio, const SilenceRule& rule)
    : audio_(audio), rule_(rule), least_(LeastFrames(rule.MinSeconds, audio.Rate())) {}

std::vector<Silence> SilenceSweep::Next(std::int64_t frames) {
    const std::int64_t from = reached_, to = std::min(audio_.Length(), from + frames);
    if (from >= to) return {};
    const std::atomic<bool> never = false;
    std::vector<Silence> found;
    if (open_) found.push_back(*std::exchange(open_, std::nullopt));
    Join(found, Scan(audio_, from, to, LoudBounds(rule_.ThresholdDb), least_, true, never), from);
    reached_ = to;
    // The quiet that reaches the end of this stretch may go on in the next.
    if (!found.empty() && found.back().End == to && !Done()) {
        open_ = found.back();
        found.pop_back();
    }
    std::erase_if(found,
                  [this](const Silence& silence) { return silence.End - silence.Start < least_; });
    return found;
}

namespace {

// What the second half found, how far it decoded, and why it failed where it did.
struct SecondHalf {
    std::vector<Silence> Found;
    std::exception_ptr Failed;
    std::int64_t Damaged = 0;
    std::int64_t End = 0;
};

// The silences of both halves, one across the middle joined, of those at least `least` long.
std::vector<Silence> Lasting(std::vector<Silence> earlier, std::vector<Silence> later,
                             std::int64_t middle, std::int64_t least) {
    Join(earlier, std::move(later), middle);
    std::vector<Silence> lasting;
    std::copy_if(earlier.begin(), earlier.end(), std::back_inserter(lasting),
                 [least](const Silence& silence) { return silence.End - silence.Start >= least; });
    return lasting;
}

}  // namespace

FileSilences FindSilences(AudioDecoder& decoder, FileSystem& files, const std::string& path,
                          const SilenceRule& rule) {
    // A damaged file is decoded past its damage, to where its decoding ends.
    const auto open = [&] {
        return decoder.Open(files.OpenSource(path), AudioDecoder::Length::Decoded);
    };
    const std::unique_ptr<DecodedAudio> first = open();
    FileSilences silences{first->Rate(), first->Length(), {}};
    const Bounds bounds = LoudBounds(rule.ThresholdDb);
    const std::int64_t least = LeastFrames(rule.MinSeconds, silences.Rate);
    // The second half on a thread of its own, through a decoding of its own, which primes
    // itself with the frames before the middle; a silence across the middle is found as
    // the end of the first half's last and the start of the second half's first. A file
    // whose frames do not follow one another unbroken, a damaged one, is decoded in one pass
    // from its start instead: a seek past its damage would number the samples after it
    // otherwise than a decoding that passes over what it cannot decode, as players do.
    FileInformation info;
    const bool unbroken = ScanFrameChain(*files.OpenSource(path), info).RunFrom >= 0;
    const std::int64_t middle = unbroken ? silences.Length / 2 : silences.Length;
    std::atomic<bool> abandoned = false;
    // Each half sifted from probes where they lie far enough apart to save decoding.
    const FrameGrid grid =
        unbroken ? FrameGrid(*files.OpenSource(path), silences.Length) : FrameGrid();
    const auto half = [&](DecodedAudio& audio, std::int64_t from, std::int64_t to) {
        if (grid.Known() && FramesApart(least, grid.SamplesPerFrame()) >= kFewestFramesApart) {
            return Sift(audio, grid, bounds, least, Span{from, to, from > 0, to < silences.Length},
                        abandoned);
        }
        return Scan(audio, from, to, bounds, least, true, abandoned);
    };
    SecondHalf later{{}, {}, 0, silences.Length};
    std::jthread second;
    if (unbroken) {
        second = std::jthread([&] {
            try {
                const std::unique_ptr<DecodedAudio> audio = open();
                audio->ExpectSeeks();
                later.Found = half(*audio, middle, silences.Length);
                later.Damaged = audio->Damaged();
                later.End = audio->Length();
            } catch (...) {
                later.Failed = std::current_exception();
                abandoned = true;
            }
        });
    }
    std::vector<Silence> earlier;
    try {
        earlier = half(*first, 0, middle);
    } catch (...) {
        abandoned = true;
        throw;
    }
    if (second.joinable()) second.join();
    if (later.Failed) std::rethrow_exception(later.Failed);
    silences.Damaged = first->Damaged() + later.Damaged;
    silences.Length = std::min(first->Length(), later.End);
    silences.Found = Lasting(std::move(earlier), std::move(later.Found), middle, least);
    return silences;
}

}  // namespace quorvel
