#include "platform/Ebur128Meter.h"

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "platform/DesktopServices.h"

namespace quorvel::platform {
namespace {

// A measure in the module, which is loaded by the time one is started.
class ModuleMeasure final : public LoudnessMeasure {
  public:
    ModuleMeasure(const QuorvelDesktopModule& module, QuorvelLoudness* measure,
                  std::size_t channels, bool truePeak)
        : module_(module), measure_(measure), channels_(channels), truePeak_(truePeak) {}
    ~ModuleMeasure() override { module_.LoudnessEnd(measure_); }
    ModuleMeasure(const ModuleMeasure&) = delete;
    ModuleMeasure& operator=(const ModuleMeasure&) = delete;

    void Add(std::span<const std::int16_t> samples) override {
        if (!module_.LoudnessAdd(measure_, samples.data(), samples.size() / channels_)) {
            throw std::runtime_error("libebur128 cannot measure the samples");
        }
    }
    QuorvelLoudness* Measure() const { return measure_; }
    bool TruePeak() const { return truePeak_; }

  private:
    const QuorvelDesktopModule& module_;
    QuorvelLoudness* measure_;
    std::size_t channels_;
    bool truePeak_;
};

}  // namespace

std::optional<std::string> Ebur128Meter::Unavailable() {
    return DesktopUnavailable();
}

std::unique_ptr<LoudnessMeasure> Ebur128Meter::Start(std::int32_t rate, std::int32_t channels,
                                                     bool truePeak) {
    std::string why;
    const QuorvelDesktopModule* module = DesktopModule(why);
    if (!module) throw std::runtime_error(why);
    char* refused = nullptr;
    QuorvelLoudness* measure = module->LoudnessStart(rate, channels, truePeak, &refused);
    if (!measure) {
        const std::string reason = refused ? refused : "libebur128 cannot measure it";
        std::free(refused);
        throw std::runtime_error(reason);
    }
    return std::make_unique<ModuleMeasure>(*module, measure, static_cast<std::size_t>(channels),
                                           truePeak);
}

Loudness Ebur128Meter::Of(std::span<LoudnessMeasure* const> measures) {
    std::string why;
    const QuorvelDesktopModule* module = DesktopModule(why);
    if (!module) throw std::runtime_error(why);
    std::vector<QuorvelLoudness*> own;
    Loudness loudness;
    loudness.TruePeak = !measures.empty();
    for (LoudnessMeasure* measure : measures) {
        const auto& started = dynamic_cast<const ModuleMeasure&>(*measure);
        own.push_back(started.Measure());
        loudness.TruePeak = loudness.TruePeak && started.TruePeak();
    }
    if (!module->LoudnessOf(own.data(), own.size(), &loudness.IntegratedLufs, &loudness.RangeLu,
                            &loudness.Peak)) {
        throw std::runtime_error("libebur128 cannot give the loudness");
    }
    return loudness;
}

}  // namespace quorvel::platform
