// The analysis and the split on MP3 files made by lame (tests/fixtures/make-fixtures.sh),
// checked against the files' own Info frames and against what mpg123 decodes.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
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
#include "engine/FrameChain.h"
#include "engine/SourceAnalysis.h"
#include "engine/Split.h"
#include "engine/SplitPlan.h"
#include "engine/WatchedFiles.h"
#include "platform/LocalFileSystem.h"
#include "platform/Mpg123Decoder.h"
#include "platform/TagLibEditor.h"

namespace quorvel {
namespace {

// The files of this computer, as the window and the companion reach them.
platform::LocalFileSystem files;
platform::TagLibEditor tags;
platform::Mpg123Decoder decoder;

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
    {"noinfo", "MPEG1 Layer 3", 44100, "64000", 1152, 1},
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

// Raw 16-bit samples of every frame, the encoder's delay and padding not removed; or, with
// `gapless`, the samples a gapless player plays, without those its LAME tag says to skip.
Decoded Decode(const std::string& path, bool gapless = false) {
    std::string messages = (std::filesystem::temp_directory_path() / "quorvel-mpg123-XXXXXX");
    ::close(::mkstemp(messages.data()));
    const std::string command = std::string("mpg123 ") + (gapless ? "--gapless" : "--no-gapless") +
                                " -s '" + path + "' 2>'" + messages + "' </dev/null";
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

// What the analysis and the split find in a file, read through one file system.
struct Findings {
    std::int64_t frames = 0;
    double seconds = 0;
    std::tuple<double, int, int, int> stream;
    std::vector<std::tuple<std::int64_t, std::int32_t, Bytes, Bytes>> splits;
    bool operator==(const Findings&) const = default;
};

Findings Find(platform::LocalFileSystem& reader, const std::string& path) {
    const Bytes file = ReadFile(path);
    const auto materialise = [&](const OutputPlan& plan) {
        Bytes out;
        for (const OutputPiece& piece : plan) {
            if (!piece.Bytes.empty()) {
                out.insert(out.end(), piece.Bytes.begin(), piece.Bytes.end());
            } else {
                const Bytes part =
                    Slice(file, piece.SourceOffset, piece.SourceOffset + piece.Length);
                out.insert(out.end(), part.begin(), part.end());
            }
        }
        return out;
    };
    Findings found;
    const auto source = reader.OpenSource(path);
    FileInformation info;
    const ScanResult scan = ScanFrameChain(*source, info);
    found.frames = scan.Frames;
    found.seconds = scan.TotalSeconds;
    found.stream = {info.MpegVersion, info.LayerNumber, info.BitRate, info.SamplingRate};
    for (const int second : {1, 2, 3}) {
        for (const bool exact : {false, true}) {
            const SplitPoint point = exact ? FindExactSplitPoint(*source, second, info)
                                           : FindSafeSplitPoint(*source, second, info);
            const OutputPlans plans = PlanOutputs(point, *source, tags);
            found.splits.emplace_back(point.SplitPosition, point.SplitMainDataBegin,
                                      materialise(plans.First), materialise(plans.Second));
        }
    }
    return found;
}

// A file read in place through the smallest mappings, so that headers lie across
// every kind of window edge, or in the usual windows, gives the same analysis, split
// points and outputs as one read through the buffer.
TEST(MappedReading, FindsWhatBufferedReadingFinds) {
    platform::LocalFileSystem buffered({.MappedWindow = 0});
    platform::LocalFileSystem pages({.MappedWindow = 1});
    for (const Fixture& fixture : kFixtures) {
        SCOPED_TRACE(fixture.name);
        const std::string path = FixturePath(fixture);
        const Findings expected = Find(buffered, path);
        ASSERT_GT(expected.frames, 0);
        EXPECT_TRUE(Find(pages, path) == expected);
        EXPECT_TRUE(Find(files, path) == expected);
    }
}

// What a command printed on both its outputs, and whether it ran at all.
struct Said {
    bool ran = false;
    int exitCode = -1;
    std::string text;
};

Said RunCommand(const std::string& command) {
    Said said;
    if (FILE* pipe = ::popen((command + " 2>&1 </dev/null").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            said.text.append(buffer, n);
        }
        const int status = ::pclose(pipe);
        said.ran = status == 0;
        if (WIFEXITED(status)) said.exitCode = WEXITSTATUS(status);
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

// What the seam check has to say of a source and two parts, worked out here from what
// mpg123 plays of each from its start: a second of the source on either side of the cut,
// where the first part's samples end, against the first part's last and the second part's
// first samples.
std::string SeamLines(const std::string& source, const std::string& first,
                      const std::string& second, int channels, int rate) {
    const std::vector<std::int16_t> whole = Decode(source, true).samples;
    const std::vector<std::int16_t> one = Decode(first, true).samples;
    const std::vector<std::int16_t> two = Decode(second, true).samples;
    const std::int64_t length = std::int64_t(whole.size()) / channels;
    const std::int64_t cut = std::int64_t(one.size()) / channels;
    const std::int64_t rest = std::int64_t(two.size()) / channels;
    const std::int64_t from = cut - std::min<std::int64_t>(rate, cut);
    const std::int64_t to = std::min(cut + std::min<std::int64_t>(rate, rest), length);
    std::int64_t differing = 0, before = 0, after = 0;
    int largest = 0;
    for (std::int64_t at = from; at < to; ++at) {
        int worst = 0;
        for (int channel = 0; channel < channels; ++channel) {
            const int part =
                at < cut ? one[at * channels + channel] : two[(at - cut) * channels + channel];
            worst = std::max(worst, std::abs(part - whole[at * channels + channel]));
        }
        if (worst == 0) continue;
        ++differing;
        largest = std::max(largest, worst);
        if (at < cut) before = std::max(before, cut - at);
        if (at >= cut) after = std::max(after, at - cut + 1);
    }
    const auto grouped = [](std::int64_t number) {
        std::string text = std::to_string(number);
        for (std::size_t at = text.size(); at > 3; at -= 3) text.insert(at - 3, ",");
        return text;
    };
    const auto ms = [&](std::int64_t frames) {
        return grouped((frames * 1000 + rate - 1) / rate) + " ms";
    };
    const std::string compared = grouped(std::max<std::int64_t>(to - from, 0)) + " samples";
    std::string lines =
        differing == 0
            ? "Seam check: the parts join the source exactly (0 of " + compared + " differ)"
            : "Seam check: " + grouped(differing) + " of " + compared +
                  (differing == 1 ? " differs" : " differ") + ", by up to " + grouped(largest) +
                  " of 32,767, " +
                  (before && after ? "from " + ms(before) + " before to " + ms(after) + " after"
                   : after         ? "up to " + ms(after) + " after"
                                   : "up to " + ms(before) + " before") +
                  " the cut.";
    if (const std::int64_t extra = cut + rest - length; extra != 0) {
        lines += "\nSeam check: the parts hold " + grouped(std::abs(extra)) + " sample" +
                 (std::abs(extra) == 1 ? "" : "s") + (extra > 0 ? " more" : " fewer") +
                 " than the source (" + grouped(cut) + " + " + grouped(rest) + " against " +
                 grouped(length) + ").";
    }
    return lines;
}

// What `quorvel-cli verify` says of three files.
Said Verify(const std::string& source, const std::string& first, const std::string& second) {
    Said said = RunCommand(std::string(QUORVEL_CLI) + " verify '" + source + "' '" + first + "' '" +
                           second + "'");
    if (!said.text.empty() && said.text.back() == '\n') said.text.pop_back();
    return said;
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

struct SplitCase {
    Fixture fixture;
    int second;
    bool exact;
};

void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << c.fixture.name << " at 0:" << c.second << (c.exact ? " exactly" : "");
}

// What ffmpeg says as it decodes a file, without the addresses it names its parts by.
std::string FfmpegSays(const std::string& path) {
    std::string said = RunCommand("ffmpeg -v warning -i '" + path + "' -f null -").text;
    for (std::size_t at; (at = said.find(" @ 0x")) != std::string::npos;) {
        said.erase(at, said.find(']', at) - at);
    }
    return said;
}

class RealSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(RealSplit, BothPartsPlayRightInEveryPlayer) {
    const auto& [fixture, splitSecond, exactly] = GetParam();
    const std::string path = FixturePath(fixture);
    const Bytes source = ReadFile(path);
    // A source whose first frame is lame's Info frame: decoders play every frame but it.
    const int info = InfoFrameCount(source) > 0 ? 1 : 0;
    TempFolder folder;

    FakeForm window;
    window.texts[Control::txtMP3] = path;
    window.texts[Control::txtToFolder] = folder.path;
    window.texts[Control::txtSplitMinute] = "0";
    window.texts[Control::txtSplitSecond] = std::to_string(splitSecond);
    window.exact = exactly;
    FileInformation analysed;
    ASSERT_EQ(AnalyseSourceFile(window, files, analysed), AnalysisOutcome::FramesFound);
    const std::int64_t frames = std::atoll(window.texts[Control::txtSelectedFrames].c_str());
    ASSERT_EQ(SplitFile(window, files, tags, decoder, analysed), SplitOutcome::Completed)
        << window.log;

    MemorySource memory(source);
    FileInformation scratch;
    const SplitPoint point = exactly ? FindExactSplitPoint(memory, splitSecond, scratch)
                                     : FindSafeSplitPoint(memory, splitSecond, scratch);
    // The fixtures are encoded so that the frame at the cut borrows from the one before.
    ASSERT_GT(point.SplitMainDataBegin, 0);
    const double frameSeconds = double(fixture.samplesPerFrame) / fixture.samplingRate;
    EXPECT_GE(point.SplitSeconds, splitSecond);
    // Split exactly, the cut is the first frame at or after the time given.
    if (exactly) {
        EXPECT_LT(point.SplitSeconds - frameSeconds, splitSecond);
    }
    // At 0:03 frame 115 borrows 487 bytes from a frame with 484 bytes of main data behind
    // its header, CRC and side information: the cut waits one frame.
    if (fixture.name == std::string("margin") && splitSecond == 3) {
        EXPECT_EQ(point.FramesBeforeSplit, exactly ? 115 : 116);
    }

    const std::string first = folder.path + "/" + fixture.name + "1.mp3";
    const std::string second = folder.path + "/" + fixture.name + "2.mp3";
    const Bytes one = ReadFile(first);
    const Bytes two = ReadFile(second);
    // A cut more than a frame late says so, with the way to split exactly.
    std::string log = window.log;
    const auto lateness = log.find("\r\nSafe position lies at ");
    EXPECT_EQ(lateness != std::string::npos, point.SplitSeconds - splitSecond > frameSeconds);
    if (lateness != std::string::npos) {
        const std::string hint = "\r\n(how to split exactly)";
        const auto end = log.find(hint, lateness);
        ASSERT_NE(end, std::string::npos);
        log.erase(lateness, end + hint.size() - lateness);
    }
    // The seam check's lines come between the outputs and the summary; what they say is
    // checked against mpg123 below.
    const std::string written = "\r\nWriting to " + second + "\r\n";
    const auto seamAt = log.find(written);
    ASSERT_NE(seamAt, std::string::npos);
    const auto seamEnd = log.find("\r\n" + std::string(42, '='), seamAt + written.size());
    ASSERT_NE(seamEnd, std::string::npos);
    std::string seam = log.substr(seamAt + written.size(), seamEnd - seamAt - written.size());
    log.erase(seamAt + written.size() - 2, seamEnd - seamAt - written.size() + 2);
    for (std::size_t at; (at = seam.find("\r\n")) != std::string::npos;) seam.erase(at, 1);
    // The added frames: one of the frame before's size, unless the borrowed bytes span
    // more frames than that.
    const auto addedAt = log.find("\r\n(added ");
    ASSERT_NE(addedAt, std::string::npos);
    const int added = std::atoi(log.c_str() + addedAt + 9);
    if (!exactly) {
        EXPECT_EQ(added, 1);
    }
    const std::string addedLine = log.substr(addedAt, log.find("\r\n", addedAt + 2) - addedAt);
    const std::string rule(42, '=');
    EXPECT_EQ(log,
              "Finding safe point to split file...\r\n"
              "Found safe position to split at byte " +
                  std::to_string(point.SplitPosition) + " (frame " +
                  std::to_string(point.FramesBeforeSplit) +
                  ")\r\nBeginning to split files now.\r\nWriting to " + first + "\r\nWriting to " +
                  second + "\r\n" + rule +
                  "\r\nSource file size      : " + std::to_string(source.size()) +
                  " bytes.\r\nTotal bytes written : " + std::to_string(one.size() + two.size()) +
                  " bytes." + addedLine + "\r\n" + rule + "\r\nMP3 splitting completed.");
    if (!exactly) {
        EXPECT_EQ(addedLine, "\r\n(added 1 new frame of " + std::to_string(point.PrevFrameLength) +
                                 " bytes to preserve data)");
    }
    // Split exactly at 0:03, the 487 bytes need two frames of 160 kbit/s: with an Info
    // frame to skip it, one frame of 192 kbit/s carries them.
    if (fixture.name == std::string("margin") && splitSecond == 3 && exactly) {
        EXPECT_EQ(addedLine, "\r\n(added 1 new frame of 626 bytes to preserve data)");
    }
    // The second part goes on with the source's bytes from the split frame to the end.
    const std::size_t rest = source.size() - std::size_t(point.SplitPosition);
    ASSERT_GE(two.size(), rest);
    EXPECT_TRUE(std::equal(two.end() - std::ptrdiff_t(rest), two.end(),
                           source.begin() + point.SplitPosition));
    if (LameTagCrcHolds(source)) {
        EXPECT_TRUE(LameTagCrcHolds(one));
        EXPECT_TRUE(LameTagCrcHolds(two));
    }
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
    ASSERT_EQ(std::int64_t(original.samples.size()), (frames - info) * frameSamples);
    // The first part is the source's audio up to the cut; the second holds the added
    // frames, silent, and every frame from the split frame on.
    ASSERT_EQ(std::int64_t(decodedOne.samples.size()),
              (point.FramesBeforeSplit - info) * frameSamples);
    ASSERT_EQ(std::int64_t(decodedTwo.samples.size()),
              (frames - point.FramesBeforeSplit + added) * frameSamples);
    EXPECT_TRUE(
        std::equal(decodedOne.samples.begin(), decodedOne.samples.end(), original.samples.begin()));
    EXPECT_TRUE(std::all_of(decodedTwo.samples.begin(),
                            decodedTwo.samples.begin() + added * frameSamples,
                            [](std::int16_t sample) { return sample == 0; }));

    // The second output's frame k, past the added frames, is the source's frame
    // FramesBeforeSplit + k - added, which mpg123 plays as its frame FramesBeforeSplit +
    // k - added - info. The added frames are silent and the split frame overlaps with
    // them; from the frame after the split frame on (one more in MPEG 2 and 2.5, whose one
    // granule per frame leaves the split frame's overlap in the synthesis filter's
    // history) the sound is the source's own, which it can only be when the borrowed main
    // data came through intact. mpg123's floating-point synthesis rounds a sample by one
    // step now and then, depending on where decoding began, so a difference of 1 is allowed.
    const int settle = added + (fixture.samplesPerFrame == 1152 ? 1 : 2);
    const auto mine = decodedTwo.samples.begin() + settle * frameSamples;
    const auto theirs =
        original.samples.begin() + (point.FramesBeforeSplit + settle - added - info) * frameSamples;
    int worst = 0;
    std::int64_t same = 0;
    for (auto a = mine, b = theirs; a != decodedTwo.samples.end(); ++a, ++b) {
        worst = std::max(worst, std::abs(*a - *b));
        same += *a == *b;
    }
    EXPECT_LE(worst, 1);
    EXPECT_GT(same, (decodedTwo.samples.end() - mine) * 99 / 100);

    // Played gaplessly, the two parts are as long as the source.
    if (LameTagCrcHolds(source)) {
        EXPECT_EQ(GaplessSamples(first) + GaplessSamples(second), GaplessSamples(path));
    }
    // The seam check says what mpg123 plays, in the log and from the companion: cut between
    // frames, the second part starts without the synthesis history of the frames before, so
    // samples differ after the cut.
    const std::string expected =
        SeamLines(path, first, second, fixture.channels, fixture.samplingRate);
    EXPECT_EQ(seam, expected);
    const Said verified = Verify(path, first, second);
    EXPECT_EQ(verified.text, expected);
    EXPECT_EQ(verified.exitCode, 1);

    if (!Have("ffmpeg") || !Have("ffprobe") || !Have("mp3val")) {
        GTEST_SKIP() << "ffmpeg, ffprobe or mp3val is not installed";
    }
    const auto sourceComplaints = Mp3valComplaints(path);
    for (const auto& [part, decoded] : {std::pair{first, &decodedOne}, {second, &decodedTwo}}) {
        SCOPED_TRACE(part);
        // ffmpeg's decoder, in most players and browsers, finds nothing the source does
        // not give it to say.
        EXPECT_EQ(FfmpegSays(part), FfmpegSays(path));
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
                    double(point.FramesBeforeSplit - info) * frameSeconds * 1000, 1);
        EXPECT_NEAR(std::atof(ProbedTag(second, "TLEN").c_str()),
                    double(frames - point.FramesBeforeSplit) * frameSeconds * 1000, 1);
    }
}

// What the decoder gives of a range is what mpg123 plays there from the file's start:
// mid-file in the VBR fixture, which it seeks to, in a part whose first frame is not the
// first it plays (the added one is skipped), and in MPEG 2, which it decodes from the
// start. Stopped, it ends at its next read.
TEST(Mpg123Decoding, GivesWhatMpg123PlaysAndStopsWhenAsked) {
    if (!HaveMpg123()) GTEST_SKIP() << "mpg123 is not installed";
    const std::string fixtures = QUORVEL_FIXTURES;
    const TempFolder folder;
    ASSERT_EQ(RunCommand(std::string(QUORVEL_CLI) + " split '" + fixtures + "/mono.mp3' 0 1 '" +
                         folder.path + "'")
                  .exitCode,
              0);
    for (const std::string& path :
         {fixtures + "/vbr.mp3", folder.path + "/mono2.mp3", fixtures + "/mpeg2.mp3"}) {
        SCOPED_TRACE(path);
        const std::vector<std::int16_t> played = Decode(path, true).samples;
        const auto audio = decoder.Open(files.OpenSource(path));
        const std::int64_t channels = audio->Channels();
        ASSERT_EQ(audio->Length() * channels, std::int64_t(played.size()));
        const std::int64_t from = audio->Length() / 2;
        const std::vector<std::int16_t> range = audio->Read(from, audio->Rate());
        ASSERT_EQ(std::int64_t(range.size()), audio->Rate() * channels);
        EXPECT_TRUE(std::equal(range.begin(), range.end(), played.begin() + from * channels));
    }

    std::atomic<bool> stopping = false;
    WatchedFiles watched(files, stopping);
    const auto audio = decoder.Open(watched.OpenSource(fixtures + "/vbr.mp3"));
    stopping = true;
    EXPECT_THROW(audio->Read(audio->Length() / 2, 1000), WorkStopped);
}

// The companion's verify judges a pair it did not make by what mpg123 plays: ffmpeg cuts
// between frames too, and misses samples besides.
TEST(Verify, JudgesAPairCutByFfmpeg) {
    if (!HaveMpg123() || !Have("ffmpeg")) GTEST_SKIP() << "mpg123 or ffmpeg is not installed";
    const std::string path = std::string(QUORVEL_FIXTURES) + "/vbr.mp3";
    const TempFolder folder;
    const std::string first = folder.path + "/first.mp3", second = folder.path + "/second.mp3";
    ASSERT_TRUE(RunCommand("ffmpeg -v error -i '" + path + "' -t 2 -c copy '" + first + "'").ran);
    ASSERT_TRUE(RunCommand("ffmpeg -v error -ss 2 -i '" + path + "' -c copy '" + second + "'").ran);
    const Said verified = Verify(path, first, second);
    EXPECT_EQ(verified.text, SeamLines(path, first, second, 2, 44100));
    EXPECT_EQ(verified.exitCode, 1);
}

// The safe rule at two times on every fixture but the one without an Info frame (where
// safe cuts are rare); the exact rule at three times on all of them.
std::vector<SplitCase> SplitCases() {
    std::vector<SplitCase> cases;
    for (const Fixture& fixture : kFixtures) {
        if (fixture.name != std::string("noinfo")) {
            for (const int second : {2, 3}) cases.push_back({fixture, second, false});
        }
        for (const int second : {1, 2, 3}) cases.push_back({fixture, second, true});
    }
    return cases;
}

std::string FixtureName(const testing::TestParamInfo<Fixture>& param) {
    return param.param.name;
}

// The fixtures whose Info frame the analysis is checked against.
std::vector<Fixture> WithInfoFrames() {
    std::vector<Fixture> fixtures;
    for (const Fixture& fixture : kFixtures) {
        if (fixture.name != std::string("noinfo")) fixtures.push_back(fixture);
    }
    return fixtures;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RealFiles, testing::ValuesIn(WithInfoFrames()), FixtureName);
INSTANTIATE_TEST_SUITE_P(Fixtures, RealSplit, testing::ValuesIn(SplitCases()),
                         [](const testing::TestParamInfo<SplitCase>& param) {
                             return std::string(param.param.fixture.name) + "_at_0_" +
                                    std::to_string(param.param.second) +
                                    (param.param.exact ? "_exactly" : "");
                         });

}  // namespace
}  // namespace quorvel
