#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "FakeForm.h"
#include "TestFiles.h"
#include "engine/Numbers.h"
#include "engine/SourceAnalysis.h"
#include "engine/Split.h"
#include "engine/SplitPlan.h"
#include "platform/LocalFileSystem.h"

namespace quorvel {
namespace {

// The files of this computer, as the window and the companion reach them.
platform::LocalFileSystem files;

namespace fs = std::filesystem;
using test::Bytes;
using test::ReadFile;
using test::Slice;
using test::TempFolder;
using test::operator+;
using test::FakeForm;

// MPEG 1 frames at 44100 Hz and 128 kbit/s (417 bytes, 418 padded), byte 1 0xFB without
// CRC or 0xFA with one. Payload bytes are never 0 or 0xFF, so zeroing shows and no
// stray sync byte appears; every back pointer is 0.
Bytes Stream(std::size_t count, std::size_t length = 418, std::uint8_t byte1 = 0xFB) {
    std::mt19937 rng(std::uint32_t(count * length + byte1));
    Bytes out;
    for (std::size_t i = 0; i < count; ++i) {
        out.insert(out.end(), {0xFF, byte1, std::uint8_t(length == 418 ? 0x92 : 0x90), 0x64});
        for (std::size_t j = 4; j < length; ++j) out.push_back(std::uint8_t(1 + rng() % 254));
        const std::size_t pointer = i * length + (byte1 & 1 ? 4 : 6);
        out[pointer] = 0;
        out[pointer + 1] &= 0x7F;
    }
    return out;
}

void SetBackPointer(Bytes& stream, std::size_t frame, int value, std::size_t length = 418) {
    const std::size_t pointer = frame * length + (stream[frame * length + 1] & 1 ? 4 : 6);
    stream[pointer] = std::uint8_t(value / 2);
    stream[pointer + 1] = std::uint8_t((stream[pointer + 1] & 0x7F) | (value % 2 ? 0x80 : 0));
}

void Fill(FakeForm& window, const std::string& mp3, const std::string& folder,
          const std::string& minute, const std::string& second, const std::string& duration) {
    window.texts = {{Control::txtMP3, mp3},
                    {Control::txtToFolder, folder},
                    {Control::txtSplitMinute, minute},
                    {Control::txtSplitSecond, second},
                    {Control::txtSelectedDuration, duration}};
}

TEST(ReadNumber, ReadsTheNumberThatStartsTheText) {
    const std::pair<const char*, double> cases[] = {
        {"12abc", 12}, {"1 2", 12}, {"abc", 0},    {"", 0},       {" \t\n-5", -5},
        {"+7", 7},     {"- 3", -3}, {"--5", 0},    {"1.5", 1.5},  {"1.2.3", 1.2},
        {".5", 0.5},   {"1,5", 1},  {"2E3", 2000}, {"2D3", 2000}, {"1E-2", 0.01},
        {"2E+1", 20},  {"1E", 1},   {"1.5E1", 15}, {"1E 2", 100}, {"7-3", 7},
    };
    for (const auto& [text, value] : cases) EXPECT_DOUBLE_EQ(ReadNumber(text), value) << text;
    EXPECT_EQ(ReadNumber("1e400"), HUGE_VAL);
    EXPECT_EQ(ReadNumber("-1D400"), -HUGE_VAL);
}

class SplitRequest : public testing::Test {
  protected:
    void Ask(const std::string& mp3, const std::string& folder, const std::string& minute,
             const std::string& second, const std::string& duration) {
        window = FakeForm();
        Fill(window, mp3, folder, minute, second, duration);
        window.log = "earlier log";
    }
    TempFolder temp;
    const std::string song = temp.Write("song.mp3", Bytes(10));
    const std::string hidden = temp.Write(".song.mp3", Bytes(10));
    FakeForm window;
    FileInformation info;
};

TEST_F(SplitRequest, RefusesTheFirstCheckThatFails) {
    const std::string dir = temp.path, late = "Split time cannot be <= 0 and >= Source duration";
    struct Refusal {
        std::string mp3, folder, message;
        std::optional<Control> focus;
        std::string minute = "1", second = "0", duration = "5:0";
    };
    std::vector<Refusal> cases = {
        {"   ", "", "Please choose a source MP3 file to split.", Control::txtMP3},
        {song, "  ", "Please enter/choose the destination folder.", Control::txtToFolder},
        {song, dir + "/none", "Please create destination folder.", Control::txtToFolder},
        {song, song, "Cannot write to " + song + ": it is a file, not a folder.",
         Control::txtToFolder},
        {dir + "/none.mp3", dir, "Source MP3 file not found", std::nullopt},
        {dir, dir, "Source MP3 file not found", std::nullopt},
        {hidden, dir + "/", "Source MP3 file not found", std::nullopt},
    };
    // 0.5 rounds to 0; 89.5 to 90, not 89.
    const std::array<std::string, 3> lateTimes[] = {
        {"0", "00", "5:0"},    {"0", "0.5", "5:0"}, {"1", "29.5", "1:30"}, {"3", "25", "3:25"},
        {"4", "0", "3:25"},    {"-1", "30", "5:0"}, {"3", "00", "2:59"},   {"1E300", "0", "5:0"},
        {"1E400", "0", "5:0"}, {"0", "1", ""},      {"0", "1", "300"},
    };
    for (const auto& [minute, second, duration] : lateTimes) {
        cases.push_back({song, dir, late, Control::txtSplitSecond, minute, second, duration});
    }
    const auto names = temp.Names();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mp3 + " | " + c.folder + " | " + c.minute + ":" + c.second + " of " +
                     c.duration);
        Ask(c.mp3, c.folder, c.minute, c.second, c.duration);
        EXPECT_EQ(SplitFile(window, files, info), SplitOutcome::Refused);
        EXPECT_EQ(window.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(window.focus, c.focus ? std::vector<Control>{*c.focus} : std::vector<Control>{});
        EXPECT_EQ(window.log, "earlier log");
        EXPECT_EQ(window.scrolls, c.message == late ? 1 : 0);
        EXPECT_EQ(temp.Names(), names);
    }
}

// The split time is rounded half to even: 89.5 and 90.5 both give 90.
TEST_F(SplitRequest, TurnsMinuteAndSecondIntoWholeSeconds) {
    const struct {
        const char *minute, *second, *duration;
        std::int32_t seconds;
    } cases[] = {
        {"3", "24", "3:25", 204},  {" 3 ", " 24 ", " 3 : 25 ", 204}, {"1", "29.5", "10:0", 90},
        {"1", "30.5", "1:31", 90}, {"0", "1.5", "10:0", 2},          {"0", "2.5", "10:0", 2},
        {"1 2", "0", "20:0", 720}, {"2E1", "0", "30:0", 1200},       {"3", "00", "3:1", 180},
    };
    for (const auto& c : cases) {
        Ask(song, temp.path, c.minute, c.second, c.duration);
        EXPECT_EQ(ValidateSplitRequest(window, files), c.seconds) << c.minute << ":" << c.second;
        EXPECT_TRUE(window.messages.empty());
    }
}

Bytes Tag() {
    Bytes tag(128, 0);
    tag[0] = 'T', tag[1] = 'A', tag[2] = 'G';
    return tag;
}

// Frame 6890 starts at 179.98 s and frame 6891 at 180.01 s.
TEST(FindSafeSplitPoint, CutsAtTheFirstSafeFrameFromTheSplitTime) {
    Bytes stream = Stream(7000, 417);
    const struct {
        int splitFramePointer;
        std::int64_t frame;
        std::int32_t mainDataBegin;
    } cases[] = {{0, 6891, 0}, {384, 6891, 384}, {385, 6892, 0}};
    for (const auto& c : cases) {
        SetBackPointer(stream, 6891, c.splitFramePointer, 417);
        MemorySource source(stream);
        FileInformation info;
        const SplitPoint point = FindSafeSplitPoint(source, 180, info);
        EXPECT_EQ(point.SplitPosition, c.frame * 417);
        EXPECT_EQ(point.FramesBeforeSplit, c.frame);
        EXPECT_EQ(point.PrevFrameLength, 417);
        EXPECT_EQ(point.PrevSideInfoSize, 32);
        EXPECT_EQ(point.SplitMainDataBegin, c.mainDataBegin);
    }
}

TEST(FindSafeSplitPoint, NeverCutsAtAFrameTheChainEndsWith) {
    Bytes greedy = Stream(60, 417);
    for (std::size_t frame = 39; frame < 60; ++frame) SetBackPointer(greedy, frame, 511, 417);
    Bytes leading(1000, 0);
    leading[0] = 'I', leading[1] = 'D', leading[2] = '3';
    const struct {
        const char* what;
        Bytes bytes;
        std::int32_t seconds;
        std::int64_t position, frames;
    } cases[] = {
        {"frame 39 followed by 40", Stream(41, 417), 1, 39 * 417, 39},
        {"frame 39 last", Stream(40, 417), 1, 0, 40},
        {"frame 39 followed by a tag", Stream(40, 417) + Tag(), 1, 0, 40},
        {"frames after the tag", Stream(40, 417) + Tag() + Stream(2, 417), 1, 40 * 417 + 128, 40},
        {"leading bytes", leading + Stream(41, 417), 1, 1000 + 39 * 417, 39},
        {"every frame borrows too much", greedy, 1, 0, 60},
        {"split time in the last frame", Stream(41, 417), 2, 0, 41},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySource source(c.bytes);
        FileInformation info;
        const SplitPoint point = FindSafeSplitPoint(source, c.seconds, info);
        EXPECT_EQ(point.SplitPosition, c.position);
        EXPECT_EQ(point.FramesBeforeSplit, c.frames);
    }
}

// The worked frame: F 418, S 32, M 120; bytes 4 and 5 (6 and 7 after a CRC) hold the
// back pointer, and the frame's own main data runs from the last side-information byte.
TEST(RewriteAddedFrame, KeepsOnlyTheBorrowedMainData) {
    const struct {
        bool crc;
        std::uint8_t second;
        std::int16_t sideInfo;
        std::int32_t mainDataBegin;
        int zeroFrom, zeroTo;  // inclusive; zeroFrom > zeroTo: nothing
    } cases[] = {
        {false, 0x95, 32, 120, 35, 297}, {false, 0x15, 32, 120, 35, 297},
        {true, 0x95, 32, 120, 37, 297},  {false, 0x00, 32, 400, 1, 0},
        {false, 0x00, 17, 397, 20, 20},  {false, 0x80, 17, 398, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "CRC " << c.crc << ", S " << c.sideInfo << ", M " << c.mainDataBegin);
        Bytes frame(418, 0xAA);
        frame[0] = 0xFF, frame[1] = c.crc ? 0xFA : 0xFB, frame[2] = 0x92, frame[3] = 0x64;
        const std::size_t pointer = c.crc ? 6 : 4;
        frame[pointer] = 0x37;
        frame[pointer + 1] = c.second;
        Bytes expected = frame;
        expected[pointer] = 0;
        expected[pointer + 1] = c.second ^ 0x80;  // inverted, not cleared
        for (int i = c.zeroFrom; i <= c.zeroTo; ++i) expected[std::size_t(i)] = 0;
        RewriteAddedFrame(frame, c.sideInfo, c.mainDataBegin);
        EXPECT_EQ(frame, expected);
    }
}

Bytes Materialise(const OutputPlan& plan, const Bytes& source) {
    Bytes out;
    for (const auto& piece : plan) {
        out = out + (piece.Bytes.empty() ? Slice(source, std::size_t(piece.SourceOffset),
                                                 std::size_t(piece.SourceOffset + piece.Length))
                                         : piece.Bytes);
    }
    return out;
}

TEST(SplitOutputs, CarryTheBorrowedDataInAnAddedFrame) {
    const std::size_t at = 39 * 418;
    for (const auto& [mainDataBegin, byte1] : {std::pair{0, 0xFB}, {120, 0xFB}, {120, 0xFA}}) {
        SCOPED_TRACE(testing::Message() << "M " << mainDataBegin << ", byte 1 " << byte1);
        const Bytes stream = Stream(80, 418, std::uint8_t(byte1));
        MemorySource source(stream);
        const SplitPoint point{std::int64_t(at), 39, 418, 32, mainDataBegin};
        Bytes first = Slice(stream, 0, at);
        std::fill(first.end() - mainDataBegin, first.end(), 0);
        Bytes second = Slice(stream, at, stream.size());
        if (mainDataBegin > 0) {
            Bytes added = Slice(stream, at - 418, at);
            RewriteAddedFrame(added, 32, mainDataBegin);
            second = added + second;
        }
        EXPECT_EQ(Materialise(PlanFirstOutput(point), stream), first);
        EXPECT_EQ(Materialise(PlanSecondOutput(point, source), stream), second);
    }
}

TEST(BaseName, DropsTheFolderAndTheLastExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"/music/track.01.mp3", "track.01"},
        {"a.b.mp3", "a.b"},
        {"  song.mp3  ", "song"},
        {"/music/noext", "noext"},
        {"/dir.d/file", "file"},
        {"back\\slash.mp3", "back\\slash"},
        {"/music/song.", "song"},
        {"/music/.mp3", ""},
    };
    for (const auto& [path, name] : cases) EXPECT_EQ(BaseName(path), name) << path;
}

class SplitRun : public testing::Test {
  protected:
    SplitOutcome Run(const std::string& name = "song.mp3", std::string folder = {}) {
        if (folder.empty()) folder = temp.path;
        const std::string base = name.substr(0, name.rfind('.'));
        first = folder + "/" + base + "1.mp3";
        second = folder + "/" + base + "2.mp3";
        Fill(window, temp.Write(name, source), folder, "0", "1", "0:2");
        return SplitFile(window, files, info);
    }
    // The log up to and including the found position, then `lines` and `more`.
    std::string Log(std::vector<std::string> lines, const std::vector<std::string>& more = {}) {
        lines.insert(lines.end(), more.begin(), more.end());
        std::string log =
            "Finding safe point to split file...\r\nFound safe position to split at byte "
            "16302 (frame 39)\r\nBeginning to split files now.";
        for (const auto& line : lines) log += "\r\n" + line;
        return log;
    }
    std::vector<std::string> Summary(std::size_t written, bool added = false) const {
        std::vector<std::string> lines{
            std::string(42, '='), "Source file size      : 33440 bytes.",
            "Total bytes written : " + std::to_string(written) + " bytes."};
        if (added) lines.push_back("(added 1 new frame of 418 bytes to preserve data)");
        lines.insert(lines.end(), {std::string(42, '='), "MP3 splitting completed."});
        return lines;
    }
    std::string Question(const std::string& path) const {
        return "Output file " + path + " already exists. Do you want to replace?";
    }
    static constexpr std::size_t kAt = 39 * 418;  // 80 frames, split at 1 s: frame 39
    TempFolder temp;
    FakeForm window;
    FileInformation info;
    Bytes source = Stream(80);
    std::string first, second;
};

TEST_F(SplitRun, WritesBothOutputsWithTheAddedFrame) {
    SetBackPointer(source, 39, 120);
    source[kAt - 418 + 4] = 0x37;  // the added frame's own back pointer: 111
    source[kAt - 418 + 5] = 0x95;
    EXPECT_EQ(Run(), SplitOutcome::Completed);

    Bytes firstBytes = Slice(source, 0, kAt);
    std::fill(firstBytes.end() - 120, firstBytes.end(), 0);
    Bytes added = Slice(source, kAt - 418, kAt);
    added[4] = 0;
    added[5] = 0x15;
    std::fill(added.begin() + 35, added.begin() + 298, 0);
    EXPECT_EQ(ReadFile(first), firstBytes);
    EXPECT_EQ(ReadFile(second), added + Slice(source, kAt, source.size()));
    EXPECT_EQ(window.log,
              Log({"Writing to " + first, "Writing to " + second}, Summary(33858, true)));
    EXPECT_EQ(window.scrolls, 1);
    EXPECT_TRUE(window.messages.empty() && window.questions.empty());
    EXPECT_EQ(temp.Names(), (std::set<std::string>{"song.mp3", "song1.mp3", "song2.mp3"}));
}

TEST_F(SplitRun, ReportsWhenNoFrameIsSafe) {
    for (std::size_t frame = 39; frame < 80; ++frame) SetBackPointer(source, frame, 511);
    EXPECT_EQ(Run(), SplitOutcome::NoSafePosition);
    EXPECT_EQ(window.log,
              "Finding safe point to split file...\r\nNo safe position found for splitting this "
              "file.\r\nFile splitting aborted.");
    EXPECT_EQ(window.scrolls, 1);
    EXPECT_EQ(temp.Names(), std::set<std::string>{"song.mp3"});
}

// Contents unique to this run, so that they can be told apart in the shared trash.
Bytes Old(const std::string& what) {
    const std::string text =
        what + " " + testing::UnitTest::GetInstance()->current_test_info()->name();
    return Bytes(text.begin(), text.end());
}

// The folder text is kept as typed: its final "/" doubles in the log and in the paths
// handed to the trash.
TEST_F(SplitRun, ReplacesBothOutputsIntoTheTrash) {
    temp.Write("track.011.mp3", Old("old first"));
    temp.Write("track.012.mp3", Old("old second"));
    window.answers = {true, true};
    EXPECT_EQ(Run("track.01.mp3", temp.path + "/"), SplitOutcome::Completed);
    EXPECT_EQ(first, temp.path + "//track.011.mp3");
    EXPECT_EQ(window.questions, (std::vector<std::string>{Question(first), Question(second)}));
    EXPECT_EQ(window.log, Log({"Deleting file " + first, "Writing to " + first,
                               "Deleting file " + second, "Writing to " + second},
                              Summary(33440)));
    EXPECT_EQ(ReadFile(first), Slice(source, 0, kAt));
    EXPECT_EQ(ReadFile(second), Slice(source, kAt, source.size()));

    std::set<Bytes> trashed;
    for (const auto& entry :
         fs::directory_iterator(std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files")) {
        trashed.insert(ReadFile(entry.path().string()));
    }
    EXPECT_TRUE(trashed.contains(Old("old first")));
    EXPECT_TRUE(trashed.contains(Old("old second")));
}

TEST_F(SplitRun, DecliningTheFirstReplacementWritesNothing) {
    temp.Write("song1.mp3", Old("old first"));
    temp.Write("song2.mp3", Old("old second"));
    window.answers = {false};
    EXPECT_EQ(Run(), SplitOutcome::Declined);
    EXPECT_EQ(window.questions, std::vector<std::string>{Question(first)});
    EXPECT_EQ(window.log, Log({"Aborting split file now."}));
    EXPECT_EQ(window.scrolls, 1);
    EXPECT_EQ(ReadFile(first), Old("old first"));
    EXPECT_EQ(ReadFile(second), Old("old second"));
    EXPECT_EQ(temp.Names(), (std::set<std::string>{"song.mp3", "song1.mp3", "song2.mp3"}));
}

TEST_F(SplitRun, DecliningTheSecondReplacementKeepsTheNewFirstOutput) {
    temp.Write("song2.mp3", Old("old second"));
    window.answers = {false};
    EXPECT_EQ(Run(), SplitOutcome::Declined);
    EXPECT_EQ(window.questions, std::vector<std::string>{Question(second)});
    EXPECT_EQ(window.log, Log({"Writing to " + first, "Aborting split file now."}));
    EXPECT_EQ(window.scrolls, 1);
    EXPECT_EQ(ReadFile(first), Slice(source, 0, kAt));
    EXPECT_EQ(ReadFile(second), Old("old second"));
    EXPECT_EQ(temp.Names(), (std::set<std::string>{"song.mp3", "song1.mp3", "song2.mp3"}));
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// Offsets past what 32 bits hold: 2.5 GiB of zeros (a hole, so it costs no disk) before
// 120 frames. In memory when it can be, as the first output is written out in full.
TEST(LargeSource, AnalysesAndSplitsPastTwoGibibytes) {
    // The first output takes 2.5 GiB wherever it is written.
    const auto roomy = [](const fs::path& place) {
        std::error_code error;
        return fs::space(place, error).available > (3ULL << 30) && !error;
    };
    const fs::path folder = roomy("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    if (!roomy(folder)) GTEST_SKIP() << "no room for a 2.5 GiB output";
    const TempFolder temp(folder);
    const std::string& path = temp.path;
    const std::int64_t hole = 5LL << 29;
    Bytes frames = Stream(120);
    SetBackPointer(frames, 39, 120);
    const std::string mp3 = path + "/large.mp3";
    {
        std::ofstream out(mp3, std::ios::binary);
        out.seekp(hole);
        out.write(reinterpret_cast<const char*>(frames.data()), std::streamsize(frames.size()));
    }

    FakeForm window;
    FileInformation info;
    Fill(window, mp3, path, "0", "1", "");
    ASSERT_EQ(AnalyseSourceFile(window, files, info), AnalysisOutcome::FramesFound);
    EXPECT_EQ(window.Text(Control::txtSelectedFrames), "120");
    EXPECT_EQ(window.Text(Control::txtSelectedFileSize), "2560.048");

    ASSERT_EQ(SplitFile(window, files, info), SplitOutcome::Completed);
    const std::int64_t at = hole + 39 * 418;
    EXPECT_NE(window.log.find("split at byte " + std::to_string(at) + " (frame 39)"),
              std::string::npos);
    const std::int64_t total = hole + std::int64_t(frames.size()) + 418;
    EXPECT_NE(window.log.find("Total bytes written : " + std::to_string(total) + " bytes."),
              std::string::npos);
    EXPECT_EQ(std::int64_t(fs::file_size(path + "/large1.mp3")), at);
    Bytes added = Slice(frames, 38 * 418, 39 * 418);
    RewriteAddedFrame(added, 32, 120);
    EXPECT_EQ(ReadFile(path + "/large2.mp3"), added + Slice(frames, 39 * 418, frames.size()));
    std::ifstream first(path + "/large1.mp3", std::ios::binary);
    first.seekg(at - 418);
    Bytes tail(418);
    first.read(reinterpret_cast<char*>(tail.data()), 418);
    Bytes expected = Slice(frames, 38 * 418, 39 * 418);
    std::fill(expected.end() - 120, expected.end(), 0);
    EXPECT_EQ(tail, expected);
}

}  // namespace
}  // namespace quorvel
