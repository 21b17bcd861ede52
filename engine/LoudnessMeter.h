#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
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

// One programme's measures: the stretches of one file in order, each starting where the one
// before it ended.
using Programme = std::vector<LoudnessMeasure*>;

// What measuring loudness needs of a meter.
class LoudnessMeter {
  public:
    virtual ~LoudnessMeter() = default;
    // A measure of audio at `rate` sample frames a second in `channels` channels that starts
    // `offset` sample frames into its programme (a later stretch of a file measured in
    // parts), its peak a true peak where `truePeak`. Throws std::runtime_error where it
    // cannot be had.
    virtual std::unique_ptr<LoudnessMeasure> Start(std::int32_t rate, std::int32_t channels,
                                                   bool truePeak, std::int64_t offset) = 0;
    // The loudness of the programmes taken together: one file's, or an album's, whose gates
    // are applied to all its programmes' blocks at once. Each measure is one of this meter's.
    virtual Loudness Of(std::span<const Programme> programmes) = 0;
};

}  // namespace quorvel
