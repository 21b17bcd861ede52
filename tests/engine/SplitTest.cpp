#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "FakeForm.h"
#include "Frames.h"
#include "TestFiles.h"
#include "engine/SourceAnalysis.h"
#include "engine/Split.h"
#include "platform/LocalFileSystem.h"
#include "platform/TagLibEditor.h"

namespace quorvel {
namespace {

// The files of this computer, as the window and the companion reach them.
platform::LocalFileSystem files;
platform::TagLibEditor tags;
test::NoDecoder decoder;

namespace fs = std::filesystem;
using test::AddedFrame;
using test::Bytes;
using test::ReadFile;
using test::Slice;
using test::TempFolder;
using test::operator+;
using test::Control;
using test::FakeForm;
using test::SetBackPointer;
using test::Stream;
using test::WithoutNewHeader;

void Fill(FakeForm& window, const std::string& mp3, const std::string& folder,
          const std::string& minute, const std::string& second, const std::string& duration) {
    window.texts = {{Control::txtMP3, mp3},
                    {Control::txtToFolder, folder},
                    {Control::txtSplitMinute, minute},
                    {Control::txtSplitSecond, second},
                    {Control::txtSelectedDuration, duration}};
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
    FakeForm window;
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
        {song, dir + "/" + std::string(300, 'x'),
         "Cannot write to " + dir + "/" + std::string(300, 'x') + ": File name too long.",
         Control::txtToFolder},
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
        EXPECT_EQ(SplitFile(window, files, tags, decoder), SplitOutcome::Refused);
        EXPECT_EQ(window.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(window.focus, c.focus ? std::vector<Control>{*c.focus} : std::vector<Control>{});
        EXPECT_EQ(window.log, "earlier log");
        EXPECT_EQ(window.scrolls, c.message == late ? 1 : 0);
        EXPECT_EQ(temp.Names(), names);
    }
}

class SplitRun : public testing::Test {
  protected:
    SplitOutcome Run(const std::string& name = "song.mp3", std::string folder = {}) {
        if (folder.empty()) folder = temp.path;
        const std::string base = name.substr(0, name.rfind('.'));
        const std::string stem = folder + (folder.ends_with('/') ? "" : "/") + base;
        first = stem + "1.mp3";
        second = stem + "2.mp3";
        Fill(window, temp.Write(name, source), folder, "0", "1", "0:2");
        return SplitFile(window, files, tags, decoder);
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
            "Seam check skipped: the decoder could not be loaded (none in this test).",
            std::string(42, '='), "Source file size      : 33440 bytes.",
            "Total bytes written : " + std::to_string(written) + " bytes."};
        if (added) lines.push_back("(added 1 new frame of 418 bytes to preserve data)");
        lines.insert(lines.end(), {std::string(42, '='), "MP3 splitting completed."});
        return lines;
    }
    std::string Question(const std::string& path) const {
        return "Output file " + path + " already exists. Do you want to replace?";
    }
    std::string Question(const std::string& one, const std::string& other) const {
        return "Output files " + one + ", " + other +
               " already exist. Do you want to replace them?";
    }
    static constexpr std::size_t kAt = 39 * 418;  // 80 frames, split at 1 s: frame 39
    TempFolder temp;
    FakeForm window;
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
    const Bytes added = AddedFrame(Slice(source, kAt - 418, kAt), 4, 120);
    EXPECT_EQ(ReadFile(first), firstBytes);
    const Bytes two = ReadFile(second);
    EXPECT_EQ(WithoutNewHeader(two), added + Slice(source, kAt, source.size()));
    EXPECT_EQ(window.log, Log({"Writing to " + first, "Writing to " + second},
                              Summary(firstBytes.size() + two.size(), true)));
    EXPECT_EQ(window.scrolls, 1);
    EXPECT_TRUE(window.messages.empty() && window.questions.empty());
    EXPECT_EQ(temp.Names(), (std::set<std::string>{"song.mp3", "song1.mp3", "song2.mp3"}));
}

TEST_F(SplitRun, SaysWhenTheCutFallsLateOrNowhere) {
    // Frames 39 to 49 borrow more than one frame holds: the cut waits for frame 50.
    for (std::size_t frame = 39; frame < 50; ++frame) SetBackPointer(source, frame, 511);
    window.decimalSeparator = ",";
    EXPECT_EQ(Run(), SplitOutcome::Completed);
    EXPECT_EQ(window.log.substr(0, window.log.find("\r\nBeginning")),
              "Finding safe point to split file...\r\nFound safe position to split at byte 20900 "
              "(frame 50)\r\nSafe position lies at 0:01,31, 0,31 seconds after the split "
              "time.\r\n(how to split exactly)");

    for (std::size_t frame = 39; frame < 80; ++frame) SetBackPointer(source, frame, 511);
    EXPECT_EQ(Run(), SplitOutcome::NoSafePosition);
    EXPECT_EQ(window.log,
              "Finding safe point to split file...\r\nNo safe position found for splitting this "
              "file.\r\nFile splitting aborted.\r\n(how to split exactly)");
    EXPECT_EQ(window.scrolls, 2);
}

// A source without a header plays every frame: at 1 s (44,100 samples) the nearest frame
// boundary is frame 38's. The second part opens with a header frame whose LAME tag skips a
// silent frame and frame 37, which decodes unheard so that frame 38 decodes as in the
// source. Frame 37 borrows 511 bytes, 382 from frame 36's main data and 129 from the end
// of frame 35's: the silent frame, at 320 kbit/s, ends with them.
TEST_F(SplitRun, ExactlyAtTheFrameBoundaryNearestTheTime) {
    for (std::size_t frame = 30; frame < 80; ++frame) SetBackPointer(source, frame, 511);
    window.exact = true;
    EXPECT_EQ(Run(), SplitOutcome::Completed);
    EXPECT_EQ(ReadFile(first), Slice(source, 0, 38 * 418));

    const Bytes two = ReadFile(second);
    ASSERT_EQ(two.size(), 208 + 1044 + 43 * 418u);  // the header frame at 64 kbit/s
    const Bytes header = Slice(two, 0, 208);
    EXPECT_EQ(Slice(header, 0, 4), (Bytes{0xFF, 0xFB, 0x50, 0x64}));
    EXPECT_EQ(std::string(header.begin() + 36, header.begin() + 40), "Info");
    EXPECT_EQ(Slice(header, 44, 48), (Bytes{0, 0, 0, 44}));  // frames: 2 added, 42 copied
    EXPECT_EQ(std::string(header.begin() + 156, header.begin() + 165), "LAME3.100");
    // Start delay 2 * 1152 - 529 = 1775, end padding 529: every last sample plays.
    EXPECT_EQ(Slice(header, 177, 180), (Bytes{0x6E, 0xF2, 0x11}));
    Bytes carrier(1044, 0);
    carrier[0] = 0xFF, carrier[1] = 0xFB, carrier[2] = 0xE0, carrier[3] = 0x64;
    const Bytes borrowed =
        Slice(source, 36 * 418 - 129, 36 * 418) + Slice(source, 36 * 418 + 36, 37 * 418);
    std::copy(borrowed.begin(), borrowed.end(), carrier.end() - 511);
    EXPECT_EQ(Slice(two, 208, two.size()), carrier + Slice(source, 37 * 418, source.size()));
    EXPECT_EQ(window.log.substr(0, window.log.find("\r\nBeginning")),
              "Finding safe point to split file...\r\nFound safe position to split at byte 15884 "
              "(frame 38)\r\nCutting at 0:00.993 (sample 43,776), the frame boundary nearest "
              "the time: the source carries no gapless information.");
    EXPECT_NE(window.log.find("\r\n(added 2 new frames of 1462 bytes, which gapless players do not "
                              "play)\r\n"),
              std::string::npos);
}

// A split into parts refuses, naming the times, cuts it cannot make: two that fall on one
// frame (the safe frame for 1 s follows 1.01 s; 0.5 s and 0.505 s share the frame boundary
// nearest them), one past the 80 frames' 2.089 s, one at the start, one whose primer, frame
// 37, borrows 300 bytes in a free-format stream whose frames hold 264 bytes of main data;
// and names that two parts would share. Nothing is written.
TEST_F(SplitRun, PartsRefuseCutsTheyCannotMake) {
    Bytes free = Stream(80, 300);
    for (std::size_t frame = 0; frame < 80; ++frame) {
        free[frame * 300 + 2] = 0x00;
        if (frame >= 30) SetBackPointer(free, frame, 300, 300);
    }
    const struct {
        std::vector<std::int64_t> times;
        bool exact;
        const char* pattern;
        std::string message;
        Bytes stream = {};  // none: the source
    } cases[] = {
        {{1010, 1000}, false, "", "The cuts at 0:01.000 and 0:01.010 fall on the same frame."},
        {{500, 505}, true, "", "The cuts at 0:00.500 and 0:00.505 fall on the same frame."},
        {{1000, 5000},
         false,
         "",
         "The cut at 0:05.000 lies at or past the end of the source (0:02.089)."},
        {{1000, 2090},
         true,
         "",
         "The cut at 0:02.090 lies at or past the end of the source (0:02.089)."},
        {{10}, true, "", "The cut at 0:00.010 lies at or before the start of the source."},
        {{30},
         true,
         "",
         "The cut at 0:00.030 leaves a part of a single frame, which players cannot open."},
        {{1000, 1030},
         false,
         "",
         "The cut at 0:01.030 leaves a part of a single frame, which players cannot open."},
        {{0, 1000}, false, "", "The cut at 0:00.000 lies at or before the start of the source."},
        {{1000}, false, "part", "Two parts would have the same name: " + temp.path + "/part.mp3."},
        {{500, 1000},
         true,
         "",
         "The cut at 0:01.000 cannot be made exactly: the frames of this free-format stream, 300 "
         "bytes long, are too short to carry what the part after it needs from before the cut.",
         free},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        window = FakeForm();
        window.texts = {
            {Control::txtMP3, temp.Write("song.mp3", c.stream.empty() ? source : c.stream)},
            {Control::txtToFolder, temp.path}};
        window.exact = c.exact;
        PartsRequest request;
        for (const std::int64_t time : c.times) {
            request.Times.At.push_back(std::chrono::milliseconds(time));
        }
        request.NamePattern = c.pattern;
        EXPECT_EQ(SplitIntoParts(window, files, tags, decoder, request), SplitOutcome::Refused);
        EXPECT_EQ(window.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(temp.Names(), std::set<std::string>{"song.mp3"});
    }
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
    window.answers = {true};
    EXPECT_EQ(Run("track.01.mp3", temp.path + "/"), SplitOutcome::Completed);
    EXPECT_EQ(first, temp.path + "/track.011.mp3");  // the folder's "/" is the only one
    EXPECT_EQ(window.questions, std::vector<std::string>{Question(first, second)});
    // The trash is told of once the older outputs are in it, after the new ones have their
    // names.
    EXPECT_EQ(window.log, Log({"Writing to " + first, "Writing to " + second,
                               "Moved the older " + first + " to the trash.",
                               "Moved the older " + second + " to the trash."},
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
    EXPECT_EQ(window.questions, std::vector<std::string>{Question(first, second)});
    EXPECT_EQ(window.log, Log({"Aborting split file now.",
                               "Nothing was changed: " + first + ", " + second + " were kept."}));
    EXPECT_EQ(window.scrolls, 1);
    EXPECT_EQ(ReadFile(first), Old("old first"));
    EXPECT_EQ(ReadFile(second), Old("old second"));
    EXPECT_EQ(temp.Names(), (std::set<std::string>{"song.mp3", "song1.mp3", "song2.mp3"}));
}

// Both questions come before anything is written: declining the second leaves no new
// first output beside the older second one.
TEST_F(SplitRun, DecliningTheSecondReplacementWritesNothing) {
    temp.Write("song2.mp3", Old("old second"));
    window.answers = {false};
    EXPECT_EQ(Run(), SplitOutcome::Declined);
    EXPECT_EQ(window.questions, std::vector<std::string>{Question(second)});
    EXPECT_EQ(window.log,
              Log({"Aborting split file now.", "Nothing was changed: " + second + " was kept."}));
    EXPECT_EQ(window.scrolls, 1);
    EXPECT_EQ(ReadFile(second), Old("old second"));
    EXPECT_EQ(temp.Names(), (std::set<std::string>{"song.mp3", "song2.mp3"}));
}

// Rewrites the source in place, its last byte, as the second part is begun.
class RewritingSource final : public FileSystemWrapper {
  public:
    RewritingSource(FileSystem& files, std::string source)
        : FileSystemWrapper(files), source_(std::move(source)) {}
    std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override {
        if (path.ends_with("2.mp3")) {
            std::fstream file(source_, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(-1, std::ios::end);
            file.put('\x55');
        }
        return FileSystemWrapper::CreateOutput(path);
    }

  private:
    std::string source_;
};

// A source rewritten while its parts are written gives parts of both versions: none is
// named, and the log and the box say why.
TEST_F(SplitRun, NamesNothingWhereTheSourceChangesMeanwhile) {
    const std::string path = temp.Write("song.mp3", source);
    // Written long ago, so that the rewrite shows in its times whatever the clock's steps.
    const timespec longAgo[2] = {{946684800, 0}, {946684800, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), longAgo, 0), 0);
    RewritingSource rewriting(files, path);
    Fill(window, path, temp.path, "0", "1", "0:2");
    EXPECT_EQ(SplitFile(window, rewriting, tags, decoder), SplitOutcome::Failed);
    const std::string why =
        "Cannot read " + path + ": the source changed while it was being split.";
    EXPECT_EQ(
        window.log,
        Log({"Writing to " + temp.path + "/song1.mp3", "Writing to " + temp.path + "/song2.mp3",
             why, "File splitting aborted.", "Nothing was changed: the split failed."}));
    EXPECT_EQ(window.messages, std::vector<std::string>{why});
    EXPECT_EQ(temp.Names(), std::set<std::string>{"song.mp3"});
}

// Offsets past what 32 bits hold: 2.5 GiB of zeros (a hole, so it costs no disk) before
// 120 frames; on tmpfs where there is one, which reads a hole fastest.
TEST(LargeSource, AnalysesAndSplitsPastTwoGibibytes) {
    const TempFolder temp(fs::is_directory("/dev/shm") ? fs::path("/dev/shm")
                                                       : fs::temp_directory_path());
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
    Fill(window, mp3, path, "0", "1", "");
    ASSERT_EQ(AnalyseSourceFile(window, files), AnalysisOutcome::FramesFound);
    EXPECT_EQ(window.Text(Control::txtSelectedFrames), "120");
    EXPECT_EQ(window.Text(Control::txtSelectedFileSize), "2560.048");

    ASSERT_EQ(SplitFile(window, files, tags, decoder), SplitOutcome::Completed);
    const std::int64_t at = hole + 39 * 418;
    EXPECT_NE(window.log.find("split at byte " + std::to_string(at) + " (frame 39)"),
              std::string::npos);
    // The zeros before the first frame are no part's.
    const Bytes two = ReadFile(path + "/large2.mp3");
    const std::int64_t total = std::int64_t(39 * 418 + two.size());
    EXPECT_NE(window.log.find("Total bytes written : " + std::to_string(total) + " bytes."),
              std::string::npos);
    EXPECT_EQ(std::int64_t(fs::file_size(path + "/large1.mp3")), 39 * 418);
    const Bytes added = AddedFrame(Slice(frames, 38 * 418, 39 * 418), 4, 120);
    EXPECT_EQ(WithoutNewHeader(two), added + Slice(frames, 39 * 418, frames.size()));
    std::ifstream first(path + "/large1.mp3", std::ios::binary);
    first.seekg(38 * 418);
    Bytes tail(418);
    first.read(reinterpret_cast<char*>(tail.data()), 418);
    Bytes expected = Slice(frames, 38 * 418, 39 * 418);
    std::fill(expected.end() - 120, expected.end(), 0);
    EXPECT_EQ(tail, expected);
}

}  // namespace
}  // namespace quorvel
