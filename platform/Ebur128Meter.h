#pragma once

#include "engine/LoudnessMeter.h"

namespace quorvel::platform {

// The engine's loudness meter over libebur128, in the desktop module, loaded when first
// asked for a measure.
class Ebur128Meter final : public LoudnessMeter {
  public:
    std::optional<std::string> Unavailable() override;
    std::unique_ptr<LoudnessMeasure> Start(std::int32_t rate, std::int32_t channels,
                                           bool truePeak) override;
    Loudness Of(std::span<LoudnessMeasure* const> measures) override;
};

}  // namespace quorvel::platform
