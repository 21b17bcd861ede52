#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quorvel {

// A loudness as EBU R128 (ITU-R BS.1770) measures it.
struct Loudness {
    // Integrated loudness in LUFS; minus infinity where nothing passes the gates (silence).
    double IntegratedLufs = -std::numeric_limits<double>::infinity();
    double RangeLu = 0;     // loudness range in LU
    double Peak = 0;        // the largest sample, 1 being full scale
    bool TruePeak = false;  // Peak between the samples too (oversampled), not the samples alone
    double PeakDbfs() const { return 20 * std::log10(Peak); }
};

// Decoded audio measured as it comes: its samples added a stretch at a time, in order.
class LoudnessMeasure {
  public:
    virtual ~LoudnessMeasure() = default;
    // Sample frames, 16-bit with the channels interleaved.
    virtual void Add(std::span<const std::int16_t> samples) = 0;
};

// What measuring loudness needs of a meter.
class LoudnessMeter {
  public:
    virtual ~LoudnessMeter() = default;
    // Why nothing can be measured (the meter's library could not be loaded); none where it
    // can.
    virtual std::optional<std::string> Unavailable() = 0;
    // A measure of audio at `rate` sample frames a second in `channels` channels, its peak
    // a true peak where `truePeak`. Throws std::runtime_error where it cannot be had.
    virtual std::unique_ptr<LoudnessMeasure> Start(std::int32_t rate, std::int32_t channels,
                                                   bool truePeak) = 0;
    // The loudness of the audio the measures were given, taken as one programme: one file's,
    // or an album's, whose gates are applied to all its stretches together. Each measure
    // is one of this meter's.
    virtual Loudness Of(std::span<LoudnessMeasure* const> measures) = 0;
};

}  // namespace quorvel
