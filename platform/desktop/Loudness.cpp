// The module's loudness measures (EBU R128), through libebur128.

#include <ebur128.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "platform/desktop/Module.h"

struct QuorvelLoudness {
    ebur128_state* state = nullptr;
    bool truePeak = false;
};

namespace quorvel::desktop {

QuorvelLoudness* LoudnessStart(long rate, int channels, bool truePeak, char** why) {
    if (rate <= 0 || channels <= 0) {
        *why = Copy("no audio to measure");
        return nullptr;
    }
    const int mode = EBUR128_MODE_I | EBUR128_MODE_LRA |
                     (truePeak ? EBUR128_MODE_TRUE_PEAK : EBUR128_MODE_SAMPLE_PEAK);
    ebur128_state* state =
        ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate), mode);
    if (!state) {
        *why = Copy("libebur128 cannot measure " + std::to_string(channels) + " channels at " +
                    std::to_string(rate) + " Hz");
        return nullptr;
    }
    auto* measure = new (std::nothrow) QuorvelLoudness{state, truePeak};
    if (!measure) {
        ebur128_destroy(&state);
        *why = Copy("out of memory");
    }
    return measure;
}

bool LoudnessAdd(QuorvelLoudness* measure, const short* samples, std::size_t frames) {
    return ebur128_add_frames_short(measure->state, samples, frames) == EBUR128_SUCCESS;
}

bool LoudnessOf(QuorvelLoudness* const* measures, std::size_t count, double* integrated,
                double* range, double* peak) {
    try {
        std::vector<ebur128_state*> states;
        double largest = 0;
        for (std::size_t i = 0; i < count; ++i) {
            ebur128_state* state = measures[i]->state;
            states.push_back(state);
            for (unsigned channel = 0; channel < state->channels; ++channel) {
                double found = 0;
                const int status = measures[i]->truePeak
                                       ? ebur128_true_peak(state, channel, &found)
                                       : ebur128_sample_peak(state, channel, &found);
                if (status != EBUR128_SUCCESS) return false;
                largest = std::max(largest, found);
            }
        }
        *peak = largest;
        return ebur128_loudness_global_multiple(states.data(), count, integrated) ==
                   EBUR128_SUCCESS &&
               ebur128_loudness_range_multiple(states.data(), count, range) == EBUR128_SUCCESS;
    } catch (...) {
        return false;
    }
}

void LoudnessEnd(QuorvelLoudness* measure) {
    if (!measure) return;
    ebur128_destroy(&measure->state);
    delete measure;
}

}  // namespace quorvel::desktop
