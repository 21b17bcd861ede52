#include "engine/Loudness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/LocalFileSystem.h"

namespace quorvel {
namespace {

constexpr double kSilent = -std::numeric_limits<double>::infinity();

TEST(ReplayGainTexts, GainsToTheReferenceAndPeaksToSixPlaces) {
    const Loudness track{-11.8, 4, 0.98855349, true};
    EXPECT_EQ(ReplayGainTexts(track, std::nullopt),
              (std::vector<UserText>{{"REPLAYGAIN_TRACK_GAIN", "-6.20 dB"},
                                     {"REPLAYGAIN_TRACK_PEAK", "0.988553"}}));
    // A gain that rounds to nothing is no cut; a quiet album is raised.
    const Loudness reference{-17.996, 0, 1.2, true};
    const Loudness album{-23.456, 6, 0.5, true};
    EXPECT_EQ(ReplayGainTexts(reference, album),
              (std::vector<UserText>{{"REPLAYGAIN_TRACK_GAIN", "0.00 dB"},
                                     {"REPLAYGAIN_TRACK_PEAK", "1.200000"},
                                     {"REPLAYGAIN_ALBUM_GAIN", "5.46 dB"},
                                     {"REPLAYGAIN_ALBUM_PEAK", "0.500000"}}));
    // Silence has no gain, in a track or an album.
    EXPECT_EQ(ReplayGainTexts({kSilent, 0, 0, true}, std::nullopt), std::nullopt);
    EXPECT_EQ(ReplayGainTexts(track, Loudness{kSilent, 0, 0, true}), std::nullopt);
}

// Audio of `Length()` sample frames of one channel, sample i being i, wrapped to 16 bits.
class Counting final : public DecodedAudio {
  public:
    explicit Counting(std::int64_t length) : length_(length) {}
    std::int32_t Rate() const override { return 1000; }
    std::int32_t Channels() const override { return 1; }
    std::int64_t Length() const override { return length_; }
    std::vector<std::int16_t> Read(std::int64_t from, std::int64_t count) override {
        std::vector<std::int16_t> samples;
        for (std::int64_t at = from; at < std::min(from + count, length_); ++at) {
            samples.push_back(std::int16_t(at % 30000));
        }
        return samples;
    }

  private:
    std::int64_t length_;
};

class CountingDecoder final : public AudioDecoder {
  public:
    explicit CountingDecoder(std::int64_t length) : length_(length) {}
    std::optional<std::string> Unavailable() override { return std::nullopt; }
    using AudioDecoder::Open;
    std::unique_ptr<DecodedAudio> Open(std::unique_ptr<SourceFile>, Length,
                                       const WalkedFrames&) override {
        return std::make_unique<Counting>(length_);
    }

  private:
    std::int64_t length_;
};

// A meter that counts: a measure's samples, whether each follows the one before it, and, as
// the loudness of several programmes, their samples in all (integrated), the measures (range)
// and whether each measure followed on, starting in its programme where the one before it
// ended (peak 1).
class CountingMeter final : public LoudnessMeter {
  public:
    struct Measure final : LoudnessMeasure {
        void Add(std::span<const std::int16_t> samples) override {
            for (const std::int16_t sample : samples) {
                if (next >= 0 && sample != std::int16_t(next % 30000)) inOrder = false;
                next = (next < 0 ? sample : next) + 1;
                ++count;
            }
        }
        std::int64_t next = -1;
        std::int64_t count = 0;
        std::int64_t offset = 0;
        bool inOrder = true;
    };
    std::unique_ptr<LoudnessMeasure> Start(std::int32_t, std::int32_t, bool truePeak,
                                           std::int64_t offset) override {
        EXPECT_TRUE(truePeak);
        auto measure = std::make_unique<Measure>();
        measure->offset = offset;
        return measure;
    }
    Loudness Of(std::span<const Programme> programmes) override {
        Loudness loudness{0, 0, 1, true};
        for (const Programme& programme : programmes) {
            std::int64_t next = 0;
            for (LoudnessMeasure* measure : programme) {
                const auto& counted = dynamic_cast<const Measure&>(*measure);
                loudness.IntegratedLufs += double(counted.count);
                loudness.RangeLu += 1;
                if (!counted.inOrder || counted.offset != next) loudness.Peak = 0;
                next = counted.offset + counted.count;
            }
        }
        return loudness;
    }
};

// A long file is measured in two halves taken as one, every sample once; several files one
// a thread, each whole, the album all of them, and none where one of them cannot be read.
TEST(MeasureLoudness, HalvesALongFileAndMeasuresSeveralOneAThread) {
    platform::LocalFileSystem files;
    CountingMeter meter;
    const std::string song = std::string(QUORVEL_FIXTURES) + "/cbr128.mp3";
    const std::int64_t longer = 125'001;  // over two minutes at 1000 a second
    CountingDecoder decoder(longer);
    const LoudnessReport one = MeasureLoudness(decoder, meter, files, {song}, true);
    ASSERT_EQ(one.Files.size(), 1u);
    ASSERT_TRUE(one.Files[0].Measured) << English(*one.Files[0].Problem);
    EXPECT_EQ(one.Files[0].Measured->IntegratedLufs, double(longer));
    EXPECT_EQ(one.Files[0].Measured->RangeLu, 2);
    EXPECT_EQ(one.Files[0].Measured->Peak, 1);
    EXPECT_FALSE(one.Album);

    CountingDecoder shorter(119'000);
    const LoudnessReport whole = MeasureLoudness(shorter, meter, files, {song}, true);
    EXPECT_EQ(whole.Files[0].Measured->RangeLu, 1);

    const std::string mono = std::string(QUORVEL_FIXTURES) + "/mono.mp3";
    const LoudnessReport album = MeasureLoudness(decoder, meter, files, {song, mono, song}, true);
    for (const FileLoudness& file : album.Files) {
        ASSERT_TRUE(file.Measured);
        EXPECT_EQ(file.Measured->IntegratedLufs, double(longer));
        EXPECT_EQ(file.Measured->RangeLu, 1);
    }
    ASSERT_TRUE(album.Album);
    EXPECT_EQ(album.Album->IntegratedLufs, 3.0 * longer);
    EXPECT_EQ(album.Album->RangeLu, 3);

    const std::string bad = std::string(QUORVEL_FIXTURES) + "/missing.mp3";
    const LoudnessReport missing = MeasureLoudness(decoder, meter, files, {song, bad}, true);
    EXPECT_TRUE(missing.Files[0].Measured);
    EXPECT_FALSE(missing.Files[1].Measured);
    ASSERT_TRUE(missing.Files[1].Problem);
    EXPECT_NE(English(*missing.Files[1].Problem).find(bad), std::string::npos);
    EXPECT_FALSE(missing.Album);
}

}  // namespace
}  // namespace quorvel
