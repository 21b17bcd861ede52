// The analysis and the split on MP3 files made by lame (tests/fixtures/make-fixtures.sh),
// checked against the files' own Info frames and against what mpg123 decodes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "FakeForm.h"
#include "TestFiles.h"
#include "engine/SourceAnalysis.h"
#include "engine/Split.h"
#include "engine/SplitPlan.h"
#include "platform/LocalFileSystem.h"

namespace quorvel {
namespace {

// The files of this computer, as the window and the companion reach them.
platform::LocalFileSystem files;

using test::Bytes;
using test::FakeForm;
using test::ReadFile;
using test::Slice;
using test::TempFolder;

struct Fixture {
    const char* name;
    const char* type;
    int samplingRate;
    const char* bitRate;  // null where the bit rate varies
    int samplesPerFrame;
    int channels;
};

const Fixture kFixtures[] = {
    {"cbr128", "MPEG1 Layer 3", 44100, "128000", 1152, 2},
    {"vbr", "MPEG1 Layer 3", 44100, nullptr, 1152, 2},
    {"mpeg2", "MPEG2 Layer 3", 22050, "64000", 576, 2},
    {"mpeg25", "MPEG2.5 Layer 3", 11025, "32000", 576, 2},
    {"mono", "MPEG1 Layer 3", 32000, "96000", 1152, 1},
    {"crc", "MPEG1 Layer 3", 32000, "96000", 1152, 2},
    {"id3v1", "MPEG1 Layer 3", 48000, "80000", 1152, 2},
    {"id3v2", "MPEG2 Layer 3", 24000, "64000", 576, 2},
};

void PrintTo(const Fixture& fixture, std::ostream* out) {
    *out << fixture.name;
}

std::string FixturePath(const Fixture& fixture) {
    return std::string(QUORVEL_FIXTURES) + "/" + fixture.name + ".mp3";
}

// The number of audio frames that lame wrote into the Info (or Xing) frame, which
// opens the stream and is itself a frame of the chain.
std::int64_t InfoFrameCount(const Bytes& file) {
    for (std::size_t i = 0; i + 12 < std::min<std::size_t>(file.size(), 2048); ++i) {
        const std::string tag(file.begin() + i, file.begin() + i + 4);
        if ((tag == "Info" || tag == "Xing") && (file[i + 7] & 1)) {
            return std::int64_t(file[i + 8]) << 24 | file[i + 9] << 16 | file[i + 10] << 8 |
                   file[i + 11];
        }
    }
    return -1;
}

bool HaveMpg123() {
    return std::system("command -v mpg123 >/dev/null 2>&1") == 0;
}

struct Decoded {
    std::vector<std::int16_t> samples;  // interleaved when stereo
    std::string messages;               // what mpg123 said on stderr
};

// Raw 16-bit samples of every frame, the encoder's delay and padding not removed.
Decoded Decode(const std::string& path) {
    std::string messages = (std::filesystem::temp_directory_path() / "quorvel-mpg123-XXXXXX");
    ::close(::mkstemp(messages.data()));
    const std::string command =
        "mpg123 --no-gapless -s '" + path + "' 2>'" + messages + "' </dev/null";
    Decoded out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::int16_t buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, sizeof buffer[0], std::size(buffer), pipe)) > 0) {
            out.samples.insert(out.samples.end(), buffer, buffer + n);
        }
        EXPECT_EQ(::pclose(pipe), 0) << command;
    } else {
        ADD_FAILURE() << "cannot run " << command;
    }
    const Bytes text = ReadFile(messages);
    out.messages.assign(text.begin(), text.end());
    std::filesystem::remove(messages);
    return out;
}

// mpg123 decoded every frame without losing its way in the stream; at most
// `damagedFrames` frames were reported as undecodable.
void ExpectDecodedThrough(const Decoded& decoded, int damagedFrames, const std::string& what) {
    int errors = 0;
    std::size_t line = 0;
    for (std::size_t end; (end = decoded.messages.find('\n', line)) != std::string::npos;
         line = end + 1) {
        const std::string text = decoded.messages.substr(line, end - line);
        EXPECT_EQ(text.find("Note:"), std::string::npos) << what << ": " << text;
        errors += text.find("error") != std::string::npos;
    }
    EXPECT_LE(errors, damagedFrames) << what << ":\n" << decoded.messages;
}

class RealFiles : public testing::TestWithParam<Fixture> {};

TEST_P(RealFiles, AnalysisAgreesWithTheEncoder) {
    const Fixture& fixture = GetParam();
    const std::string path = FixturePath(fixture);
    const Bytes file = ReadFile(path);
    ASSERT_FALSE(file.empty()) << path << ": run tests/fixtures/make-fixtures.sh";
    const std::int64_t frames = InfoFrameCount(file) + 1;
    ASSERT_GT(frames, 1);

    FakeForm window;
    window.texts[Control::txtMP3] = path;
    FileInformation info;
    ASSERT_EQ(AnalyseSourceFile(window, files, info), AnalysisOutcome::FramesFound);

    const auto seconds = static_cast<std::int64_t>(
        std::floor(double(frames) * fixture.samplesPerFrame / fixture.samplingRate));
    EXPECT_EQ(window.texts[Control::txtSelectedFrames], std::to_string(frames));
    EXPECT_EQ(window.texts[Control::txtSelectedDuration],
              std::to_string(seconds / 60) + ":" + std::to_string(seconds % 60));
    EXPECT_EQ(window.texts[Control::txtSelectedType], fixture.type);
    EXPECT_EQ(window.texts[Control::txtSelectedSampling], std::to_string(fixture.samplingRate));
    if (fixture.bitRate) {
        EXPECT_EQ(window.texts[Control::txtSelectedBitRate], fixture.bitRate);
    }
    EXPECT_TRUE(window.messages.empty());

    if (!HaveMpg123()) GTEST_SKIP() << "mpg123 is not installed";
    // mpg123 plays every frame but the Info frame.
    const Decoded decoded = Decode(path);
    ExpectDecodedThrough(decoded, 0, path);
    EXPECT_EQ(std::int64_t(decoded.samples.size()),
              (frames - 1) * fixture.samplesPerFrame * fixture.channels);
}

class RealSplit : public testing::TestWithParam<std::tuple<Fixture, int>> {};

TEST_P(RealSplit, OutputsAreTheSourceRangesAndKeepTheBorrowedData) {
    const auto& [fixture, splitSecond] = GetParam();
    const std::string path = FixturePath(fixture);
    const Bytes source = ReadFile(path);
    const auto length = std::int64_t(source.size());
    const std::int64_t frames = InfoFrameCount(source) + 1;
    TempFolder folder;

    FakeForm window;
    window.texts[Control::txtMP3] = path;
    window.texts[Control::txtToFolder] = folder.path;
    window.texts[Control::txtSplitMinute] = "0";
    window.texts[Control::txtSplitSecond] = std::to_string(splitSecond);
    FileInformation info;
    ASSERT_EQ(AnalyseSourceFile(window, files, info), AnalysisOutcome::FramesFound);
    ASSERT_EQ(SplitFile(window, files, info), SplitOutcome::Completed) << window.log;

    MemorySource memory(source);
    const SplitPoint point = FindSafeSplitPoint(memory, splitSecond, info);
    const std::int64_t at = point.SplitPosition;
    const std::int64_t borrowed = point.SplitMainDataBegin;
    const std::int64_t added = point.PrevFrameLength;
    // The fixtures are encoded so that the frame at the cut borrows from the one before.
    ASSERT_GT(borrowed, 0);
    EXPECT_GE(double(point.FramesBeforeSplit) * fixture.samplesPerFrame / fixture.samplingRate,
              splitSecond);

    const std::string first = folder.path + "/" + fixture.name + "1.mp3";
    const std::string second = folder.path + "/" + fixture.name + "2.mp3";
    const std::string rule(42, '=');
    EXPECT_EQ(window.log,
              "Finding safe point to split file...\r\n"
              "Found safe position to split at byte " +
                  std::to_string(at) + " (frame " + std::to_string(point.FramesBeforeSplit) +
                  ")\r\nBeginning to split files now.\r\nWriting to " + first + "\r\nWriting to " +
                  second + "\r\n" + rule + "\r\nSource file size      : " + std::to_string(length) +
                  " bytes.\r\nTotal bytes written : " + std::to_string(length + added) +
                  " bytes.\r\n(added 1 new frame of " + std::to_string(added) +
                  " bytes to preserve data)\r\n" + rule + "\r\nMP3 splitting completed.");

    Bytes expectedFirst = Slice(source, 0, at);
    std::fill(expectedFirst.end() - borrowed, expectedFirst.end(), 0);
    EXPECT_EQ(ReadFile(first), expectedFirst);

    const Bytes out = ReadFile(second);
    ASSERT_EQ(std::int64_t(out.size()), length - at + added);
    EXPECT_EQ(Slice(out, added, out.size()), Slice(source, at, length));
    EXPECT_EQ(Slice(out, 0, 4), Slice(source, at - added, at - added + 4));
    EXPECT_EQ(Slice(out, added - borrowed, added), Slice(source, at - borrowed, at));
    // The added frame's own back pointer (9 bits in MPEG 1, 8 in MPEG 2 and 2.5, after
    // the CRC when there is one) no longer reaches into data that the output lacks.
    const std::size_t pointer = (out[1] & 1) ? 4 : 6;
    const int back =
        fixture.samplesPerFrame == 1152 ? out[pointer] << 1 | out[pointer + 1] >> 7 : out[pointer];
    EXPECT_LE(back, 1);

    if (!HaveMpg123()) GTEST_SKIP() << "mpg123 is not installed";
    const std::int64_t frameSamples = std::int64_t(fixture.samplesPerFrame) * fixture.channels;
    const Decoded original = Decode(path);
    const Decoded one = Decode(first);
    const Decoded two = Decode(second);
    // Every frame decodes: the first output ends with the frame before the cut, the
    // second holds the added frame and the rest.
    ASSERT_EQ(std::int64_t(one.samples.size()), (point.FramesBeforeSplit - 1) * frameSamples);
    ASSERT_EQ(std::int64_t(two.samples.size()),
              (frames - point.FramesBeforeSplit + 1) * frameSamples);
    ASSERT_EQ(std::int64_t(original.samples.size()), (frames - 1) * frameSamples);

    // The first output plays as the source up to the cut, its last frame included.
    const bool mpeg1 = fixture.samplesPerFrame == 1152;
    ExpectDecodedThrough(one, 0, first);
    EXPECT_TRUE(std::equal(one.samples.begin(), one.samples.end(), original.samples.begin()));

    // The added frame keeps its side information over zeroed data, which the decoder
    // may report as broken; it is the only one.
    ExpectDecodedThrough(two, 1, second);

    // The second output's frame k is the source's frame FramesBeforeSplit - 1 + k, which
    // mpg123, skipping the Info frame, plays as its frame FramesBeforeSplit - 2 + k. The
    // added frame has no sound of its own and the split frame overlaps with it; from the
    // frame after the split frame on (one more in MPEG 2 and 2.5, whose one granule per frame
    // leaves the split frame's overlap in the synthesis filter's history) the sound is the source's
    // own, which it can only be when the borrowed main data came through intact. mpg123's
    // floating-point synthesis rounds a sample by one step now and then, depending on
    // where decoding began, so a difference of 1 is allowed.
    const int settle = mpeg1 ? 2 : 3;
    const auto mine = two.samples.begin() + settle * frameSamples;
    const auto theirs =
        original.samples.begin() + (point.FramesBeforeSplit - 2 + settle) * frameSamples;
    int worst = 0;
    std::int64_t exact = 0;
    for (auto a = mine, b = theirs; a != two.samples.end(); ++a, ++b) {
        worst = std::max(worst, std::abs(*a - *b));
        exact += *a == *b;
    }
    EXPECT_LE(worst, 1);
    EXPECT_GT(exact, (two.samples.end() - mine) * 99 / 100);
}

std::string FixtureName(const testing::TestParamInfo<Fixture>& param) {
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RealFiles, testing::ValuesIn(kFixtures), FixtureName);
INSTANTIATE_TEST_SUITE_P(Fixtures, RealSplit,
                         testing::Combine(testing::ValuesIn(kFixtures), testing::Values(2, 3)),
                         [](const testing::TestParamInfo<std::tuple<Fixture, int>>& param) {
                             return std::string(std::get<0>(param.param).name) + "_at_0_" +
                                    std::to_string(std::get<1>(param.param));
                         });

}  // namespace
}  // namespace quorvel
