#include "engine/R128Meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace quorvel {
namespace {

// A stretch of a 1 kHz sine (or another frequency) at `dbfs`, in every channel alike.
struct Tone {
    double Seconds;
    double Dbfs;
    double Hertz = 1000;
    double Phase = 0;
};

std::vector<std::int16_t> Made(std::int32_t rate, std::int32_t channels,
                               const std::vector<Tone>& tones) {
    std::vector<std::int16_t> samples;
    for (const Tone& tone : tones) {
        const double amplitude = 32767 * std::pow(10, tone.Dbfs / 20);
        for (std::int64_t i = 0; i < std::int64_t(tone.Seconds * rate); ++i) {
            const double at = 2 * std::numbers::pi * tone.Hertz * double(i) / rate + tone.Phase;
            for (std::int32_t c = 0; c < channels; ++c) {
                samples.push_back(std::int16_t(std::lround(amplitude * std::sin(at))));
            }
        }
    }
    return samples;
}

// The loudness of the samples measured as stretches starting at `cuts` (sample frames),
// each added in pieces of an odd length.
Loudness Measured(std::int32_t rate, std::int32_t channels,
                  const std::vector<std::int16_t>& samples, bool truePeak = false,
                  const std::vector<std::int64_t>& cuts = {0}) {
    R128Meter meter;
    std::vector<std::unique_ptr<LoudnessMeasure>> measures;
    Programme programme;
    const auto frames = std::int64_t(samples.size()) / channels;
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        measures.push_back(meter.Start(rate, channels, truePeak, cuts[i]));
        programme.push_back(measures.back().get());
        const std::int64_t end = i + 1 < cuts.size() ? cuts[i + 1] : frames;
        for (std::int64_t at = cuts[i]; at < end; at += 9'999) {
            const std::int64_t piece = std::min<std::int64_t>(9'999, end - at);
            measures.back()->Add(std::span(samples).subspan(std::size_t(at * channels),
                                                            std::size_t(piece * channels)));
        }
    }
    return meter.Of(std::span(&programme, 1));
}

// EBU Tech 3341's and 3342's signals: a stereo 1 kHz sine at -23 dBFS measures -23 LUFS at
// every rate (mono 3 LU less); quieter stretches fall below the gates; the range is the
// difference between a stretch's loudness and another's.
TEST(R128Meter, MeasuresTheStandardsTestSignals) {
    struct Case {
        std::int32_t rate, channels;
        std::vector<Tone> tones;
        double integrated, range;
    };
    const Case cases[] = {
        {48000, 2, {{20, -23}}, -23, 0},
        {44100, 2, {{20, -23}}, -23, 0},
        {11025, 2, {{20, -23}}, -23, 0},
        {8000, 2, {{20, -23}}, -23, 0},
        {22050, 1, {{20, -23}}, -26, 0},
        {48000, 2, {{20, -33}}, -33, 0},
        {48000, 2, {{10, -36}, {60, -23}, {10, -36}}, -23, 13},
        {44100, 2, {{10, -72}, {10, -36}, {60, -23}, {10, -36}, {10, -72}}, -23, 13},
        {48000, 2, {{20, -20}, {20, -30}}, -22.6, 10},
        {44100, 2, {{20, -20}, {20, -15}}, -16.8, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.tones.size() << " tones");
        const Loudness loudness = Measured(c.rate, c.channels, Made(c.rate, c.channels, c.tones));
        EXPECT_NEAR(loudness.IntegratedLufs, c.integrated, 0.1);
        EXPECT_NEAR(loudness.RangeLu, c.range, 0.2);
        EXPECT_FALSE(loudness.TruePeak);
    }
}

// A file measured in stretches on several threads measures as one: the blocks across the
// cut are whole again.
TEST(R128Meter, StretchesOfAProgrammeMeasureAsOne) {
    for (const std::int32_t channels : {1, 2}) {
        const std::vector<std::int16_t> samples =
            Made(44100, channels, {{7, -30}, {5.3, -18, 440}, {9, -25, 3000}});
        const Loudness whole = Measured(44100, channels, samples);
        const Loudness cut = Measured(44100, channels, samples, false, {0, 123'457, 300'001});
        EXPECT_NEAR(cut.IntegratedLufs, whole.IntegratedLufs, 0.001);
        EXPECT_NEAR(cut.RangeLu, whole.RangeLu, 0.001);
        EXPECT_EQ(cut.Peak, whole.Peak);
    }
}

// The sample peak is the largest sample; the true peak finds a sine's crest between its
// samples: at a quarter of the rate, shifted by an eighth of a turn, every sample lies 3 dB
// below it. Silence has no loudness.
TEST(R128Meter, PeaksAndSilence) {
    const std::vector<std::int16_t> crest = Made(48000, 2, {{2, -6, 12000, std::numbers::pi / 4}});
    const Loudness samplePeak = Measured(48000, 2, crest);
    EXPECT_NEAR(samplePeak.PeakDbfs(), -9.03, 0.02);
    const Loudness truePeak = Measured(48000, 2, crest, true);
    EXPECT_TRUE(truePeak.TruePeak);
    EXPECT_NEAR(truePeak.PeakDbfs(), -6.02, 0.2);

    const std::vector<std::int16_t> full(20'000, -32768);
    EXPECT_EQ(Measured(8000, 1, full).Peak, 1);
    const Loudness silent = Measured(44100, 2, std::vector<std::int16_t>(441'000, 0));
    EXPECT_EQ(silent.IntegratedLufs, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(silent.RangeLu, 0);
    EXPECT_EQ(silent.Peak, 0);
}

}  // namespace
}  // namespace quorvel
