#include "engine/R128Meter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numbers>
#include <numeric>
#include <stdexcept>
#include <string>

namespace quorvel {
namespace {

// Four lanes of samples filtered side by side. The K-weighting's feedback keeps each sample
// waiting on the one before it, so that a single stretch leaves the core mostly idle: a
// batch of frames is filtered as several stretches at once, in two vectors of four lanes.
using Four = float __attribute__((vector_size(16)));
constexpr int kVectors = 2;
constexpr int kLanes = 4 * kVectors;
// The 100 ms blocks each lane filters of a batch.
constexpr std::int64_t kBlocksPerLane = 8;
// A lane's stretch after the first starts this many frames early, from silence: by its start
// the filter has forgotten the silence (its slowest pole, the high pass's near 38 Hz, decays
// by e^-10 over them even at 48 kHz).
constexpr std::int64_t kWarmUp = 2048;
constexpr double kFullScale = 32768;
constexpr double kAbsoluteGate = -70;    // LUFS
constexpr double kIntegratedGate = -10;  // LU below the mean of the blocks above the absolute one
constexpr double kRangeGate = -20;
constexpr std::size_t kMomentaryBlocks = 4;   // 400 ms
constexpr std::size_t kShortTermBlocks = 30;  // 3 s
// Taps of the true peak's interpolator for each of the three points between two samples.
constexpr std::size_t kTaps = 12;
using Taps = std::array<std::array<float, kTaps>, 3>;

struct Biquad {
    float B0, B1, B2, A1, A2;
};

// Both K-weighting stages over lanes: the shelf's coefficients, the high pass's feedback (its
// feedforward is 1, -2, 1) and each stage's two states, four lanes to a vector. Kept apart from
// the measure so that a copy of it on the stack stays in registers.
struct KFilter {
    Four B0, B1, B2, A1, A2, HighA1, HighA2;
    std::array<std::array<Four, 4>, kVectors> Z = {};

    Four Step(int v, Four x) {
        std::array<Four, 4>& z = Z[std::size_t(v)];
        const Four y = B0 * x + z[0];
        z[0] = B1 * x - A1 * y + z[1];
        z[1] = B2 * x - A2 * y;
        const Four w = y + z[2];
        z[2] = -2 * y - HighA1 * w + z[3];
        z[3] = y - HighA2 * w;
        return w;
    }
};

// BS.1770's K-weighting at `rate`: a high shelf of +4 dB above about 1.7 kHz, then a high
// pass near 38 Hz, each made for the rate from the analogue filter behind the standard's
// 48 kHz coefficients.
std::array<Biquad, 2> KWeighting(double rate) {
    double k = std::tan(std::numbers::pi * 1681.974450955533 / rate);
    double q = 0.7071752369554196;
    const double high = std::pow(10.0, 3.999843853973347 / 20);
    const double band = std::pow(high, 0.4996667741545416);
    double a0 = 1 + k / q + k * k;
    const Biquad shelf{float((high + band * k / q + k * k) / a0), float(2 * (k * k - high) / a0),
                       float((high - band * k / q + k * k) / a0), float(2 * (k * k - 1) / a0),
                       float((1 - k / q + k * k) / a0)};
    k = std::tan(std::numbers::pi * 38.13547087602444 / rate);
    q = 0.5003270373238773;
    a0 = 1 + k / q + k * k;
    const Biquad highPass{1, -2, 1, float(2 * (k * k - 1) / a0), float((1 - k / q + k * k) / a0)};
    return {shelf, highPass};
}

// A Hann-windowed sinc for the points a quarter, a half and three quarters of the way from
// the sixth of twelve samples to the seventh, each phase's taps adding up to one.
Taps Interpolator() {
    Taps taps;
    for (std::size_t phase = 0; phase < taps.size(); ++phase) {
        double sum = 0;
        std::array<double, kTaps> made;
        for (std::size_t tap = 0; tap < kTaps; ++tap) {
            const double distance = double(tap) - 5 - double(phase + 1) / 4;
            const double x = std::numbers::pi * distance;
            made[tap] = std::sin(x) / x * 0.5 * (1 + std::cos(x / 6));
            sum += made[tap];
        }
        for (std::size_t tap = 0; tap < kTaps; ++tap) taps[phase][tap] = float(made[tap] / sum);
    }
    return taps;
}

double Lufs(double meanSquare) {
    return -0.691 + 10 * std::log10(meanSquare);
}

// Mean squares of blocks, kept as floats: a day's blocks, one every 100 ms, take 3.5 MB so.
using Blocks = std::vector<float>;

double Mean(const Blocks& blocks) {
    return std::accumulate(blocks.begin(), blocks.end(), 0.0) / double(blocks.size());
}

// Leaves of `blocks` those louder than the absolute gate and than `relative` LU below the
// mean of those.
void Gate(Blocks& blocks, double relative) {
    std::erase_if(blocks, [](float block) { return Lufs(block) <= kAbsoluteGate; });
    if (blocks.empty()) return;
    const double gate = Lufs(Mean(blocks)) + relative;
    std::erase_if(blocks, [gate](float block) { return Lufs(block) <= gate; });
}

class R128Measure final : public LoudnessMeasure {
  public:
    R128Measure(std::int32_t rate, std::int32_t channels, bool truePeak, std::int64_t offset)
        : channels_(channels),
          block_((rate + 5) / 10),
          offset_(offset),
          position_(offset),
          first_(offset / block_),
          truePeak_(truePeak),
          tails_(std::size_t(channels) * (kTaps - 1), 0.0f) {
        const auto [shelf, highPass] = KWeighting(rate);
        const auto all = [](float value) { return Four{value, value, value, value}; };
        filter_ = {all(shelf.B0), all(shelf.B1),    all(shelf.B2),   all(shelf.A1),
                   all(shelf.A2), all(highPass.A1), all(highPass.A2)};
        if (truePeak) taps_ = Interpolator();
        // Lane l of the batch filters channel l % channels of its l / channels-th stretch.
        for (int lane = 0; lane < kLanes; ++lane) {
            starts_[lane] =
                (lane / channels_) * kBlocksPerLane * block_ * channels_ + lane % channels_;
        }
    }

    void Add(std::span<const std::int16_t> samples) override {
        if (truePeak_) AddTruePeaks(samples);
        pending_.insert(pending_.end(), samples.begin(), samples.end());
        Drain(false);
    }

    // Filters the frames still held back.
    void Finish() { Drain(true); }

    std::int32_t BlockFrames() const { return block_; }
    std::int64_t Offset() const { return offset_; }
    std::int64_t Position() const { return position_; }
    bool TruePeak() const { return truePeak_; }
    double Peak() const { return std::max(samplePeak_, truePeakFound_) / kFullScale; }

    // Adds the sums of squares of its 100 ms blocks into those of its programme, which
    // start with the block numbered `base`.
    void Into(std::vector<double>& sums, std::int64_t base) const {
        const auto from = std::size_t(first_ - base);
        if (sums.size() < from + blocks_.size()) sums.resize(from + blocks_.size(), 0.0);
        for (std::size_t block = 0; block < blocks_.size(); ++block) {
            sums[from + block] += blocks_[block];
        }
    }

  private:
    std::int64_t Frames() const { return std::int64_t(pending_.size()) / channels_; }
    std::int64_t BatchFrames() const { return kLanes / channels_ * kBlocksPerLane * block_; }

    // Filters the frames held back up to the next block's start one at a time, then in whole
    // batches, and where `all` the rest one at a time too.
    void Drain(bool all) {
        const std::int64_t frames = Frames();
        std::int64_t at = std::min(frames, (block_ - position_ % block_) % block_);
        FilterOneByOne(pending_.data(), at);
        for (; frames - at >= BatchFrames(); at += BatchFrames()) {
            FilterBatch(pending_.data() + at * channels_);
        }
        if (all) {
            FilterOneByOne(pending_.data() + at * channels_, frames - at);
            at = frames;
        }
        pending_.erase(pending_.begin(), pending_.begin() + at * channels_);
    }

    // The frames as one stretch in the first lanes, the filter carried on from the frame
    // before them.
    void FilterOneByOne(const std::int16_t* frames, std::int64_t count) {
        for (std::int64_t frame = 0; frame < count; ++frame, ++position_) {
            const std::int16_t* sample = frames + frame * channels_;
            Four x = {};
            for (int channel = 0; channel < channels_; ++channel) {
                x[channel] = sample[channel];
                samplePeak_ = std::max(samplePeak_, std::abs(double(sample[channel])));
            }
            const Four w = filter_.Step(0, x);
            double energy = 0;
            for (int channel = 0; channel < channels_; ++channel) energy += w[channel] * w[channel];
            AddToBlock(position_, energy);
        }
    }

    void AddToBlock(std::int64_t position, double energy) {
        const auto block = std::size_t(position / block_ - first_);
        if (block >= blocks_.size()) blocks_.resize(block + 1, 0.0);
        blocks_[block] += energy;
    }

    // A batch of whole blocks, starting at a block's start: each lane's stretch filtered at
    // once, the first carrying on from the frame before it, the others warmed up on the
    // frames before theirs.
    void FilterBatch(const std::int16_t* frames) {
        KFilter filter = filter_;
        // Where each lane's samples start; the first stretch, which has no frames before it
        // here, warms up on the second's, and its state is then set back to what was carried.
        std::array<const std::int16_t*, kLanes> lanes, warming;
        for (int l = 0; l < kLanes; ++l) {
            lanes[std::size_t(l)] = frames + starts_[std::size_t(l)];
            warming[std::size_t(l)] =
                frames + starts_[std::size_t(l < channels_ ? l + channels_ : l)];
        }
        const auto load = [this](const std::array<const std::int16_t*, kLanes>& from, int v,
                                 std::int64_t frame) {
            const std::int16_t* const* p = from.data() + 4 * v;
            const std::int64_t at = frame * channels_;
            return Four{float(p[0][at]), float(p[1][at]), float(p[2][at]), float(p[3][at])};
        };
        filter.Z = {};
        for (std::int64_t at = -kWarmUp; at < 0; ++at) {
            for (int v = 0; v < kVectors; ++v) filter.Step(v, load(warming, v, at));
        }
        for (int l = 0; l < channels_; ++l) {
            for (std::size_t s = 0; s < 4; ++s) filter.Z[0][s][l] = filter_.Z[0][s][l];
        }
        std::array<Four, kVectors> peaks = {};
        const int stretches = kLanes / channels_;
        std::vector<double> sums(std::size_t(stretches * kBlocksPerLane), 0.0);
        for (std::int64_t block = 0; block < kBlocksPerLane; ++block) {
            std::array<Four, kVectors> energy = {};
            for (std::int64_t at = block * block_; at < (block + 1) * block_; ++at) {
#pragma GCC unroll 2
                for (int v = 0; v < kVectors; ++v) {
                    const Four x = load(lanes, v, at);
                    const Four w = filter.Step(v, x);
                    energy[v] += w * w;
                    const Four magnitude = x < 0 ? -x : x;
                    peaks[v] = magnitude > peaks[v] ? magnitude : peaks[v];
                }
            }
            for (int l = 0; l < kLanes; ++l) {
                sums[std::size_t((l / channels_) * kBlocksPerLane + block)] += energy[l / 4][l % 4];
            }
        }
        for (int v = 0; v < kVectors; ++v) {
            for (int l = 0; l < 4; ++l) samplePeak_ = std::max(samplePeak_, double(peaks[v][l]));
        }
        // The filter carries on from the last stretch's lanes.
        for (int l = 0; l < channels_; ++l) {
            const int last = kLanes - channels_ + l;
            for (std::size_t s = 0; s < 4; ++s) {
                filter_.Z[0][s][l] = filter.Z[std::size_t(last / 4)][s][last % 4];
            }
        }
        const auto block = std::size_t(position_ / block_ - first_);
        blocks_.resize(block + sums.size(), 0.0);
        std::copy(sums.begin(), sums.end(), blocks_.begin() + std::ptrdiff_t(block));
        position_ += BatchFrames();
    }

    // The largest of the points between the samples, each channel carrying on from its last
    // samples before these: four points of a phase at a time, then any left one by one.
    void AddTruePeaks(std::span<const std::int16_t> samples) {
        const std::size_t frames = samples.size() / std::size_t(channels_);
        for (std::size_t channel = 0; channel < std::size_t(channels_); ++channel) {
            const auto tail = tails_.begin() + std::ptrdiff_t(channel * (kTaps - 1));
            points_.assign(tail, tail + kTaps - 1);
            for (std::size_t frame = 0; frame < frames; ++frame) {
                points_.push_back(samples[frame * std::size_t(channels_) + channel]);
            }
            const std::size_t starts = points_.size() + 1 - kTaps;
            Four peak = {};
            std::size_t at = 0;
            for (; at + 4 <= starts; at += 4) {
                for (const auto& phase : taps_) {
                    Four point = {};
                    for (std::size_t tap = 0; tap < kTaps; ++tap) {
                        Four four;
                        std::memcpy(&four, &points_[at + tap], sizeof four);
                        point += phase[tap] * four;
                    }
                    const Four magnitude = point < 0 ? -point : point;
                    peak = magnitude > peak ? magnitude : peak;
                }
            }
            for (; at < starts; ++at) {
                for (const auto& phase : taps_) {
                    float point = 0;
                    for (std::size_t tap = 0; tap < kTaps; ++tap) {
                        point += phase[tap] * points_[at + tap];
                    }
                    truePeakFound_ = std::max(truePeakFound_, double(std::abs(point)));
                }
            }
            for (int lane = 0; lane < 4; ++lane) {
                truePeakFound_ = std::max(truePeakFound_, double(peak[lane]));
            }
            std::copy(points_.end() - (kTaps - 1), points_.end(), tail);
        }
    }

    std::int32_t channels_;
    std::int32_t block_;     // frames in 100 ms
    std::int64_t offset_;    // the first frame's in the programme
    std::int64_t position_;  // the next frame's to filter in the programme
    std::int64_t first_;     // the number of the block the first frame lies in
    bool truePeak_;
    KFilter filter_{};
    std::array<std::int64_t, kLanes> starts_{};  // where each lane's samples start in a batch
    std::vector<std::int16_t> pending_;          // frames not yet filtered
    std::vector<double> blocks_;  // sums of squares of the K-weighted samples, a 100 ms block each
    double samplePeak_ = 0;
    double truePeakFound_ = 0;
    Taps taps_{};
    std::vector<float> tails_;   // each channel's last samples, for the points after them
    std::vector<float> points_;  // one channel's samples, after its tail
};

}  // namespace

std::unique_ptr<LoudnessMeasure> R128Meter::Start(std::int32_t rate, std::int32_t channels,
                                                  bool truePeak, std::int64_t offset) {
    if (rate < 1000 || channels < 1 || channels > 2) {
        throw std::runtime_error("no meter for " + std::to_string(channels) + " channels at " +
                                 std::to_string(rate) + " Hz");
    }
    return std::make_unique<R128Measure>(rate, channels, truePeak, offset);
}

Loudness R128Meter::Of(std::span<const Programme> programmes) {
    Loudness loudness;
    loudness.TruePeak = !programmes.empty();
    Blocks momentary, shortTerm;
    for (const Programme& programme : programmes) {
        if (programme.empty()) continue;
        std::vector<double> sums;
        const auto& opening = dynamic_cast<R128Measure&>(*programme.front());
        const std::int64_t frames = opening.BlockFrames();
        const std::int64_t base = opening.Offset() / frames;
        std::int64_t end = 0;
        for (LoudnessMeasure* measure : programme) {
            auto& stretch = dynamic_cast<R128Measure&>(*measure);
            if (stretch.BlockFrames() != frames) {
                throw std::runtime_error("the stretches of one programme differ in rate");
            }
            stretch.Finish();
            stretch.Into(sums, base);
            end = stretch.Position();
            loudness.Peak = std::max(loudness.Peak, stretch.Peak());
            loudness.TruePeak = loudness.TruePeak && stretch.TruePeak();
        }
        // Only whole blocks count: not one cut short at either end.
        const std::size_t from = opening.Offset() % frames == 0 ? 0 : 1;
        const std::size_t to = sums.size() - (end % frames == 0 ? 0 : 1);
        const double scale = 1 / (double(frames) * kFullScale * kFullScale);
        for (const auto& [length, meanSquares] :
             {std::pair{kMomentaryBlocks, &momentary}, std::pair{kShortTermBlocks, &shortTerm}}) {
            double window = 0;
            for (std::size_t block = from; block < to; ++block) {
                window += sums[block];
                if (block >= from + length) window -= sums[block - length];
                if (block + 1 >= from + length) {
                    meanSquares->push_back(float(std::max(window, 0.0) * scale / double(length)));
                }
            }
        }
    }
    Gate(momentary, kIntegratedGate);
    if (!momentary.empty()) loudness.IntegratedLufs = Lufs(Mean(momentary));
    Gate(shortTerm, kRangeGate);
    if (!shortTerm.empty()) {
        std::sort(shortTerm.begin(), shortTerm.end());
        const auto at = [&](double share) {
            return Lufs(shortTerm[std::size_t(std::lround(double(shortTerm.size() - 1) * share))]);
        };
        loudness.RangeLu = at(0.95) - at(0.10);
    }
    return loudness;
}

}  // namespace quorvel
