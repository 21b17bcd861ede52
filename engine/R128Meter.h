#pragma once

#include "engine/LoudnessMeter.h"

namespace quorvel {

// Loudness as EBU R128 measures it: the samples K-weighted (ITU-R BS.1770-4); the integrated
// loudness of the 400 ms blocks, a block every 100 ms, that pass the gates; the range of the
// 3 s blocks, also one every 100 ms, that pass theirs (EBU Tech 3342); the peak of the
// samples, or between them where asked, four times oversampled.
class R128Meter final : public LoudnessMeter {
  public:
    std::unique_ptr<LoudnessMeasure> Start(std::int32_t rate, std::int32_t channels, bool truePeak,
                                           std::int64_t offset) override;
    Loudness Of(std::span<const Programme> programmes) override;
};

}  // namespace quorvel
