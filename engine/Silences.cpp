#include "engine/Silences.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <iterator>
#include <memory>
#include <thread>
#include <utility>

#include "engine/FrameChain.h"

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
std::vector<Silence> Scan(DecodedAudio& audio, std::int64_t from, std::int64_t to, Bounds bounds,
                          std::int64_t least, bool edges, const std::atomic<bool>& abandoned) {
    std::vector<Silence> found;
    const std::size_t channels = std::size_t(std::max(audio.Channels(), 1));
    const auto next = channels == 1 ? &NextFrame<1> : channels == 2 ? &NextFrame<2> : &NextFrame<0>;
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
    std::vector<Silence> later;
    std::exception_ptr laterFailed;
    std::int64_t laterDamaged = 0;
    std::int64_t laterEnd = silences.Length;
    std::jthread second;
    if (unbroken) {
        second = std::jthread([&] {
            try {
                const std::unique_ptr<DecodedAudio> audio = open();
                later = Scan(*audio, middle, silences.Length, bounds, least, true, abandoned);
                laterDamaged = audio->Damaged();
                laterEnd = audio->Length();
            } catch (...) {
                laterFailed = std::current_exception();
                abandoned = true;
            }
        });
    }
    std::vector<Silence> earlier;
    try {
        earlier = Scan(*first, 0, middle, bounds, least, true, abandoned);
    } catch (...) {
        abandoned = true;
        throw;
    }
    if (second.joinable()) second.join();
    if (laterFailed) std::rethrow_exception(laterFailed);
    silences.Damaged = first->Damaged() + laterDamaged;
    silences.Length = std::min(first->Length(), laterEnd);

    Join(earlier, std::move(later), middle);
    std::copy_if(earlier.begin(), earlier.end(), std::back_inserter(silences.Found),
                 [least](const Silence& silence) { return silence.End - silence.Start >= least; });
    return silences;
}

}  // namespace quorvel
