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
#include "platform/TagLibEditor.h"

namespace quorvel {
namespace {

// The files of this computer, as the window and the companion reach them.
platform::LocalFileSystem files;
platform::TagLibEditor tags;

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
    {"margin", "MPEG1 Layer 3", 44100, "160000", 1152, 2},
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

// What a command printed on both its outputs, and whether it ran at all.
struct Said {
    bool ran = false;
    std::string text;
};

Said RunCommand(const std::string& command) {
    Said said;
    if (FILE* pipe = ::popen((command + " 2>&1 </dev/null").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            said.text.append(buffer, n);
        }
        said.ran = ::pclose(pipe) == 0;
    }
    return said;
}

bool Have(const char* tool) {
    return RunCommand(std::string("command -v ") + tool).ran;
}

// The lines of mp3val's report that are warnings or errors, less the file's name.
std::vector<std::string> Mp3valComplaints(const std::string& path) {
    std::vector<std::string> complaints;
    const std::string report = RunCommand("mp3val '" + path + "'").text;
    std::size_t line = 0;
    for (std::size_t end; (end = report.find('\n', line)) != std::string::npos; line = end + 1) {
        std::string text = report.substr(line, end - line);
        if (!text.starts_with("WARNING") && !text.starts_with("ERROR")) continue;
        if (const auto name = text.find(path); name != std::string::npos)
            text.erase(name, path.size());
        complaints.push_back(text);
    }
    return complaints;
}

double ProbedSeconds(const std::string& path) {
    return std::atof(
        RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'")
            .text.c_str());
}

std::string ProbedTag(const std::string& path, const std::string& tag) {
    std::string text = RunCommand("ffprobe -v error -show_entries format_tags=" + tag +
                                  " -of csv=p=0 '" + path + "'")
                           .text;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// Samples a gapless player plays: mpg123 skips the encoder's delay and padding that the
// LAME tag states.
std::int64_t GaplessSamples(const std::string& path) {
    const std::string raw = RunCommand("mpg123 -q -s '" + path + "'").text;
    return std::int64_t(raw.size() / sizeof(std::int16_t));
}

// Whether the LAME tag in the first Info frame of `file` holds its own CRC: CRC-16 with
// the reflected polynomial 0xA001 from 0, over the frame up to that field. Players that
// find it wrong ignore the tag's gapless values.
bool LameTagCrcHolds(const Bytes& file) {
    const std::string text(file.begin(), file.begin() + std::min<std::size_t>(file.size(), 4096));
    const std::size_t info = std::min(text.find("Info"), text.find("Xing"));
    const std::size_t lame = text.find("LAME", info);
    if (info == std::string::npos || lame == std::string::npos) return false;
    std::size_t frame = info;
    for (const std::size_t sideInfo : {9, 17, 32}) {
        if (info >= 4 + sideInfo && file[info - 4 - sideInfo] == 0xFF) frame = info - 4 - sideInfo;
    }
    std::uint16_t crc = 0;
    for (std::size_t i = frame; i < lame + 34; ++i) {
        crc ^= file[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return (file[lame + 34] << 8 | file[lame + 35]) == crc;
}

class RealSplit : public testing::TestWithParam<std::tuple<Fixture, int>> {};

TEST_P(RealSplit, BothPartsPlayRightInEveryPlayer) {
    const auto& [fixture, splitSecond] = GetParam();
    const std::string path = FixturePath(fixture);
    const Bytes source = ReadFile(path);
    const std::int64_t frames = InfoFrameCount(source) + 1;
    TempFolder folder;

    FakeForm window;
    window.texts[Control::txtMP3] = path;
    window.texts[Control::txtToFolder] = folder.path;
    window.texts[Control::txtSplitMinute] = "0";
    window.texts[Control::txtSplitSecond] = std::to_string(splitSecond);
    FileInformation info;
    ASSERT_EQ(AnalyseSourceFile(window, files, info), AnalysisOutcome::FramesFound);
    ASSERT_EQ(SplitFile(window, files, tags, info), SplitOutcome::Completed) << window.log;

    MemorySource memory(source);
    const SplitPoint point = FindSafeSplitPoint(memory, splitSecond, info);
    // The fixtures are encoded so that the frame at the cut borrows from the one before.
    ASSERT_GT(point.SplitMainDataBegin, 0);
    EXPECT_GE(double(point.FramesBeforeSplit) * fixture.samplesPerFrame / fixture.samplingRate,
              splitSecond);
    // At 0:03 frame 115 borrows 487 bytes from a frame with 484 bytes of main data behind
    // its header, CRC and side information: the cut waits one frame.
    if (fixture.name == std::string("margin") && splitSecond == 3) {
        EXPECT_EQ(point.FramesBeforeSplit, 116);
    }

    const std::string first = folder.path + "/" + fixture.name + "1.mp3";
    const std::string second = folder.path + "/" + fixture.name + "2.mp3";
    const Bytes one = ReadFile(first);
    const Bytes two = ReadFile(second);
    const std::string rule(42, '=');
    EXPECT_EQ(window.log,
              "Finding safe point to split file...\r\n"
              "Found safe position to split at byte " +
                  std::to_string(point.SplitPosition) + " (frame " +
                  std::to_string(point.FramesBeforeSplit) +
                  ")\r\nBeginning to split files now.\r\nWriting to " + first + "\r\nWriting to " +
                  second + "\r\n" + rule +
                  "\r\nSource file size      : " + std::to_string(source.size()) +
                  " bytes.\r\nTotal bytes written : " + std::to_string(one.size() + two.size()) +
                  " bytes.\r\n(added 1 new frame of " + std::to_string(point.PrevFrameLength) +
                  " bytes to preserve data)\r\n" + rule + "\r\nMP3 splitting completed.");
    // The second part goes on with the source's bytes from the split frame to the end.
    const std::size_t rest = source.size() - std::size_t(point.SplitPosition);
    ASSERT_GE(two.size(), rest);
    EXPECT_TRUE(std::equal(two.end() - std::ptrdiff_t(rest), two.end(),
                           source.begin() + point.SplitPosition));
    ASSERT_TRUE(LameTagCrcHolds(source));
    EXPECT_TRUE(LameTagCrcHolds(one));
    EXPECT_TRUE(LameTagCrcHolds(two));
    // Both parts end with the source's ID3v1 tag where it has one.
    if (fixture.name == std::string("id3v1")) {
        EXPECT_EQ(Slice(one, one.size() - 128, one.size()),
                  Slice(source, source.size() - 128, source.size()));
    }

    if (!HaveMpg123()) GTEST_SKIP() << "mpg123 is not installed";
    const std::int64_t frameSamples = std::int64_t(fixture.samplesPerFrame) * fixture.channels;
    const Decoded original = Decode(path);
    const Decoded decodedOne = Decode(first);
    const Decoded decodedTwo = Decode(second);
    ExpectDecodedThrough(decodedOne, 0, first);
    ExpectDecodedThrough(decodedTwo, 0, second);
    ASSERT_EQ(std::int64_t(original.samples.size()), (frames - 1) * frameSamples);
    // The first part is the source's audio up to the cut; the second holds the added
    // frame, silent, and every frame from the split frame on.
    ASSERT_EQ(std::int64_t(decodedOne.samples.size()),
              (point.FramesBeforeSplit - 1) * frameSamples);
    ASSERT_EQ(std::int64_t(decodedTwo.samples.size()),
              (frames - point.FramesBeforeSplit + 1) * frameSamples);
    EXPECT_TRUE(
        std::equal(decodedOne.samples.begin(), decodedOne.samples.end(), original.samples.begin()));
    EXPECT_TRUE(std::all_of(decodedTwo.samples.begin(), decodedTwo.samples.begin() + frameSamples,
                            [](std::int16_t sample) { return sample == 0; }));

    // The second output's frame k is the source's frame FramesBeforeSplit - 1 + k, which
    // mpg123, skipping the Info frame, plays as its frame FramesBeforeSplit - 2 + k. The
    // added frame is silent and the split frame overlaps with it; from the frame after
    // the split frame on (one more in MPEG 2 and 2.5, whose one granule per frame leaves
    // the split frame's overlap in the synthesis filter's history) the sound is the
    // source's own, which it can only be when the borrowed main data came through
    // intact. mpg123's floating-point synthesis rounds a sample by one step now and then,
    // depending on where decoding began, so a difference of 1 is allowed.
    const int settle = fixture.samplesPerFrame == 1152 ? 2 : 3;
    const auto mine = decodedTwo.samples.begin() + settle * frameSamples;
    const auto theirs =
        original.samples.begin() + (point.FramesBeforeSplit - 2 + settle) * frameSamples;
    int worst = 0;
    std::int64_t exact = 0;
    for (auto a = mine, b = theirs; a != decodedTwo.samples.end(); ++a, ++b) {
        worst = std::max(worst, std::abs(*a - *b));
        exact += *a == *b;
    }
    EXPECT_LE(worst, 1);
    EXPECT_GT(exact, (decodedTwo.samples.end() - mine) * 99 / 100);

    // Played gaplessly, the two parts are as long as the source.
    EXPECT_EQ(GaplessSamples(first) + GaplessSamples(second), GaplessSamples(path));

    if (!Have("ffmpeg") || !Have("ffprobe") || !Have("mp3val")) {
        GTEST_SKIP() << "ffmpeg, ffprobe or mp3val is not installed";
    }
    const auto sourceComplaints = Mp3valComplaints(path);
    const double frameSeconds = double(fixture.samplesPerFrame) / fixture.samplingRate;
    for (const auto& [part, decoded] : {std::pair{first, &decodedOne}, {second, &decodedTwo}}) {
        SCOPED_TRACE(part);
        // ffmpeg's decoder, in most players and browsers, finds nothing to say.
        EXPECT_EQ(RunCommand("ffmpeg -v warning -i '" + part + "' -f null -").text, "");
        // The length players show is the length that decodes.
        const double decodedSeconds =
            double(decoded->samples.size()) / fixture.channels / fixture.samplingRate;
        EXPECT_NEAR(ProbedSeconds(part), decodedSeconds, frameSeconds);
        // mp3val finds nothing it does not find in the source.
        EXPECT_EQ(Mp3valComplaints(part), sourceComplaints);
        // The tags read back as the source's.
        EXPECT_EQ(ProbedTag(part, "title"), ProbedTag(path, "title"));
    }
    // A length frame in the ID3v2 tag states each part's own length.
    if (!ProbedTag(path, "TLEN").empty()) {
        EXPECT_NEAR(std::atof(ProbedTag(first, "TLEN").c_str()),
                    (point.FramesBeforeSplit - 1) * frameSeconds * 1000, 1);
        EXPECT_NEAR(std::atof(ProbedTag(second, "TLEN").c_str()),
                    (frames - point.FramesBeforeSplit) * frameSeconds * 1000, 1);
    }
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
