#include "engine/Silences.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <memory>
#include <thread>

namespace quorvel {
namespace {

// Decoded a few seconds at a time: little memory, and a half whose other half failed
// gives up soon.
constexpr std::int64_t kChunkSeconds = 4;

// The largest sample magnitude below the threshold.
std::int32_t QuietLimit(double thresholdDb) {
    const double limit = 32768 * std::pow(10.0, thresholdDb / 20);
    if (!(limit > 1)) return 0;
    if (limit > 32768) return 32768;
    return std::int32_t(std::ceil(limit)) - 1;
}

// The fewest sample frames that last MinSeconds; a length in seconds that is a whole
// number of sample frames counts that number, whatever the rounding of the product.
std::int64_t LeastFrames(double minSeconds, std::int32_t rate) {
    const double frames = std::ceil(minSeconds * rate - 1e-6);
    return std::int64_t(std::clamp(frames, 1.0, 1e18));
}

// The silences within [from, to) of `audio`, `from` and `to` within its length: the quiet
// stretches of `least` sample frames or more, and with `edges` also shorter ones that
// start at `from` or end at `to`, as they may go on beyond the span. Gives up, with what
// it found so far, once `abandoned` is set.
std::vector<Silence> Scan(DecodedAudio& audio, std::int64_t from, std::int64_t to,
                          std::int32_t quiet, std::int64_t least, bool edges,
                          const std::atomic<bool>& abandoned) {
    std::vector<Silence> found;
    const std::size_t channels = std::size_t(std::max(audio.Channels(), 1));
    const std::int64_t chunk = std::max<std::int64_t>(audio.Rate(), 1) * kChunkSeconds;
    std::int64_t quietFrom = -1;  // where the quiet going on began; -1 while it is loud
    const auto end = [&](std::int64_t at) {
        if (at - quietFrom >= least || (edges && (quietFrom == from || at == to))) {
            found.push_back({quietFrom, at});
        }
        quietFrom = -1;
    };
    for (std::int64_t at = from; at < to && !abandoned;) {
        const std::vector<std::int16_t> samples = audio.Read(at, std::min(chunk, to - at));
        const std::size_t frames = samples.size() / channels;
        if (frames == 0) break;
        for (std::size_t frame = 0; frame < frames; ++frame) {
            const std::int16_t* sample = samples.data() + frame * channels;
            const bool loud = std::any_of(sample, sample + channels,
                                          [quiet](std::int16_t s) { return std::abs(s) > quiet; });
            if (loud && quietFrom >= 0) {
                end(at + std::int64_t(frame));
            } else if (!loud && quietFrom < 0) {
                quietFrom = at + std::int64_t(frame);
            }
        }
        at += std::int64_t(frames);
    }
    if (quietFrom >= 0 && !abandoned) end(to);
    return found;
}

}  // namespace

std::vector<Silence> FindSilences(DecodedAudio& audio, std::int64_t from, std::int64_t to,
                                  const SilenceRule& rule) {
    from = std::max<std::int64_t>(from, 0);
    to = std::min(to, audio.Length());
    if (from >= to) return {};
    const std::atomic<bool> never = false;
    return Scan(audio, from, to, QuietLimit(rule.ThresholdDb),
                LeastFrames(rule.MinSeconds, audio.Rate()), false, never);
}

FileSilences FindSilences(AudioDecoder& decoder, FileSystem& files, const std::string& path,
                          const SilenceRule& rule) {
    const auto open = [&] {
        return decoder.Open(files.OpenSource(path), AudioDecoder::Length::Stated);
    };
    const std::unique_ptr<DecodedAudio> first = open();
    FileSilences silences{first->Rate(), first->Length(), {}};
    const std::int32_t quiet = QuietLimit(rule.ThresholdDb);
    const std::int64_t least = LeastFrames(rule.MinSeconds, silences.Rate);
    // The second half on a thread of its own, through a decoding of its own, which primes
    // itself with the frames before the middle; a silence across the middle is found as
    // the end of the first half's last and the start of the second half's first.
    const std::int64_t middle = silences.Length / 2;
    std::atomic<bool> abandoned = false;
    std::vector<Silence> later;
    std::exception_ptr laterFailed;
    std::jthread second([&] {
        try {
            later = Scan(*open(), middle, silences.Length, quiet, least, true, abandoned);
        } catch (...) {
            laterFailed = std::current_exception();
            abandoned = true;
        }
    });
    std::vector<Silence> earlier;
    try {
        earlier = Scan(*first, 0, middle, quiet, least, true, abandoned);
    } catch (...) {
        abandoned = true;
        throw;
    }
    second.join();
    if (laterFailed) std::rethrow_exception(laterFailed);

    if (!earlier.empty() && !later.empty() && earlier.back().End == middle &&
        later.front().Start == middle) {
        earlier.back().End = later.front().End;
        later.erase(later.begin());
    }
    earlier.insert(earlier.end(), later.begin(), later.end());
    std::copy_if(earlier.begin(), earlier.end(), std::back_inserter(silences.Found),
                 [least](const Silence& silence) { return silence.End - silence.Start >= least; });
    return silences;
}

}  // namespace quorvel
