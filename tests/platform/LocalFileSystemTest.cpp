// What the split and the analysis do when the file system fails them: every failure is
// told by name and reason, leaves no temporary file behind and harms no older file.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "FakeForm.h"
#include "TestFiles.h"
#include "engine/FrameChain.h"
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

namespace fs = std::filesystem;
using test::Bytes;
using test::ReadFile;

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A window that runs a step of the test's own at the n-th repaint of the log, to
// change the file system while the engine is at work.
class MeddlingWindow : public test::FakeForm {
  public:
    int meddleAtRepaint = 0;
    std::function<void()> meddle;

    void LogRepaint() override {
        FakeForm::LogRepaint();
        if (repaints == meddleAtRepaint) meddle();
    }
};

// A folder holding a copy of a fixture named song.mp3, ready to be split at 0:02.
class SplitFailures : public testing::Test {
  protected:
    void SetUp() override {
        source = folder + "/song.mp3";
        fs::copy_file(std::string(QUORVEL_FIXTURES) + "/cbr128.mp3", source);
        original = ReadFile(source);
        window.texts[Control::txtMP3] = source;
        window.texts[Control::txtToFolder] = folder;
        window.texts[Control::txtSplitMinute] = "0";
        window.texts[Control::txtSplitSecond] = "2";
        ASSERT_EQ(AnalyseSourceFile(window, files, info), AnalysisOutcome::FramesFound);
        window.log.clear();
        window.repaints = 0;
        MemorySource memory(original);
        FileInformation scratch;
        point = FindSafeSplitPoint(memory, 2, scratch);
        ASSERT_GT(point.SplitMainDataBegin, 0);
    }

    // The run failed with `message`, told both in a box and in the log, with the
    // `kept` older output that the log had said it was deleting.
    void ExpectFailure(const std::string& message, const std::string& kept = {}) {
        EXPECT_EQ(window.messages, std::vector<std::string>{message});
        const std::string tail = "\r\n" + message +
                                 (kept.empty() ? "" : "\r\nFile " + kept + " was kept.") +
                                 "\r\nFile splitting aborted.";
        EXPECT_TRUE(window.log.ends_with(tail)) << window.log;
        EXPECT_EQ(window.scrolls, 1);
    }
    void ExpectNoTemporaryFiles() {
        for (const auto& entry : fs::directory_iterator(folder)) {
            EXPECT_FALSE(entry.path().filename().string().starts_with(".quorvel-")) << entry.path();
        }
    }

    test::TempFolder temp;
    const std::string folder = temp.path;
    std::string source;
    Bytes original;
    SplitPoint point;
    MeddlingWindow window;
    FileInformation info;
};

TEST_F(SplitFailures, AFullDiskKeepsTheFinishedOutputAndTheOlderSecondOne) {
    // The first output fits under the limit, the second does not. The older second
    // output that the user agreed to replace stays as it was.
    const std::int64_t secondSize =
        std::int64_t(original.size()) - point.SplitPosition + point.PrevFrameLength;
    const std::string older = "older output in " + folder;
    WriteFile(folder + "/song2.mp3", older);
    window.answers = {true};
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(point.SplitPosition + secondSize) / 2;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const SplitOutcome outcome = SplitFile(window, files, tags, info);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(outcome, SplitOutcome::Failed);
    ExpectFailure("Cannot write " + folder + "/song2.mp3: File too large.", folder + "/song2.mp3");
    EXPECT_EQ(fs::file_size(folder + "/song1.mp3"), std::uintmax_t(point.SplitPosition));
    EXPECT_EQ(ReadFile(folder + "/song2.mp3"), Bytes(older.begin(), older.end()));
    ExpectNoTemporaryFiles();
}

TEST_F(SplitFailures, AFolderThatRefusesNewFilesIsNamedWithTheSystemsReason) {
    // Even root cannot create files in /sys.
    window.texts[Control::txtToFolder] = "/sys";
    EXPECT_EQ(SplitFile(window, files, tags, info), SplitOutcome::Failed);
    ASSERT_EQ(window.messages.size(), 1u);
    const std::string& message = window.messages[0];
    EXPECT_TRUE(message.starts_with("Cannot write /sys/song1.mp3: ")) << message;
    EXPECT_TRUE(message.ends_with(".")) << message;
    EXPECT_GT(message.size(), std::string("Cannot write /sys/song1.mp3: .").size());
    ExpectFailure(message);
}

TEST_F(SplitFailures, ADestinationThatIsNoFolderIsRefusedBeforeAnythingIsWritten) {
    const std::string file = folder + "/plain.txt";
    WriteFile(file, "x");
    window.texts[Control::txtToFolder] = file;
    EXPECT_EQ(SplitFile(window, files, tags, info), SplitOutcome::Refused);
    EXPECT_EQ(window.messages, std::vector<std::string>{"Cannot write to " + file +
                                                        ": it is a file, not a folder."});
    EXPECT_EQ(window.focus, std::vector<Control>{Control::txtToFolder});

    // A folder beneath that file cannot exist.
    window.messages.clear();
    window.texts[Control::txtToFolder] = file + "/sub";
    EXPECT_EQ(SplitFile(window, files, tags, info), SplitOutcome::Refused);
    EXPECT_EQ(window.messages, std::vector<std::string>{"Please create destination folder."});
    EXPECT_TRUE(window.log.empty());
    EXPECT_EQ(fs::file_size(file), 1u);
}

TEST_F(SplitFailures, ASourceThatGoesAwayAfterTheChecksIsReportedAsUnreadable) {
    // Removed when the search starts: the source cannot be opened any more.
    window.meddleAtRepaint = 1;
    window.meddle = [&] { fs::rename(source, folder + "/away.mp3"); };
    EXPECT_EQ(SplitFile(window, files, tags, info), SplitOutcome::Failed);
    ExpectFailure("Cannot read " + source + ": No such file or directory.");
    EXPECT_EQ(window.log, "Finding safe point to split file...\r\nCannot read " + source +
                              ": No such file or directory.\r\nFile splitting aborted.");
    EXPECT_FALSE(fs::exists(folder + "/song1.mp3"));
    ExpectNoTemporaryFiles();
}

TEST_F(SplitFailures, ASourceThatShrinksWhileAnOutputIsWrittenIsReportedAsChanged) {
    // Repaint 3 follows "Writing to .../song1.mp3", repaint 4 "Writing to .../song2.mp3":
    // the source is cut to 1000 bytes before that output is copied from it. The first is
    // copied in the kernel; the second, behind its added frame, out of the mapped source.
    for (const int repaint : {3, 4}) {
        SCOPED_TRACE(testing::Message() << "cut at repaint " << repaint);
        fs::remove(folder + "/song1.mp3");
        WriteFile(source, std::string(original.begin(), original.end()));
        window.log.clear();
        window.messages.clear();
        window.repaints = 0;
        window.scrolls = 0;
        window.meddleAtRepaint = repaint;
        window.meddle = [&] { fs::resize_file(source, 1000); };
        EXPECT_EQ(SplitFile(window, files, tags, info), SplitOutcome::Failed);
        ExpectFailure("Cannot read " + source + ": the file changed while it was being read.");
        EXPECT_EQ(fs::exists(folder + "/song1.mp3"), repaint == 4);
        EXPECT_FALSE(fs::exists(folder + "/song2.mp3"));
        ExpectNoTemporaryFiles();
    }
}

// A source cut short while the walk reads it through a mapping: where the rest of the
// window is gone, where only the rest of the page the walk is in is, and where the file
// is cut at the end of a page. Whole-file and the smallest windows alike end with the
// message of a read that failed, never with the program's end.
TEST_F(SplitFailures, ASourceThatShrinksBeneathItsMappingIsReportedAsChanged) {
    const auto size = std::int64_t(original.size());
    for (const std::size_t window : {std::size_t(1), std::size_t(8) << 20}) {
        for (const std::int64_t cut :
             {std::int64_t(0), std::int64_t(4096 * 2 + 100), std::int64_t(4096 * 3), size - 10}) {
            SCOPED_TRACE(testing::Message() << "window " << window << ", cut to " << cut);
            WriteFile(source, std::string(original.begin(), original.end()));
            platform::LocalFileSystem mapped({.MappedWindow = window});
            const auto file = mapped.OpenSource(source);
            BlockReader reader(*file);
            FileInformation scratch;
            std::int64_t frames = 0;
            try {
                // Frame 12 starts past the second page.
                WalkFrameChain(reader, scratch, [&](const ChainFrame&) {
                    if (++frames == 12) fs::resize_file(source, std::uintmax_t(cut));
                    return true;
                });
                ADD_FAILURE() << "the walk ended after " << frames << " frames";
            } catch (const FileError& error) {
                EXPECT_EQ(error.Message(),
                          "Cannot read " + source + ": the file changed while it was being read.");
            }
        }
    }
}

TEST_F(SplitFailures, TheAnalysisOfASourceThatShrinksClaimsNothing) {
    window.meddleAtRepaint = 1;
    window.meddle = [&] { fs::resize_file(source, 100); };
    EXPECT_EQ(AnalyseSourceFile(window, files, info), AnalysisOutcome::Unreadable);
    const std::string message =
        "Cannot read " + source + ": the file changed while it was being read.";
    EXPECT_EQ(window.messages, std::vector<std::string>{message});
    EXPECT_EQ(window.log, "Analysing chosen file " + source +
                              "... Please wait for a few seconds.\r\n" + message);
    for (const auto field :
         {Control::txtSelectedFileSize, Control::txtSelectedType, Control::txtSelectedBitRate,
          Control::txtSelectedSampling, Control::txtSelectedFrames, Control::txtSelectedDuration}) {
        EXPECT_EQ(window.texts[field], "");
    }
    EXPECT_EQ(window.focus, std::vector<Control>{Control::txtMP3});
}

// An output name that leads to the source, by a hard link or a symbolic one, ends the
// run before any question: the source stays whole, where it is.
TEST_F(SplitFailures, AnOutputThatIsTheSourceEndsTheRunAndChangesNothing) {
    const std::string first = folder + "/song1.mp3";
    const std::string second = folder + "/song2.mp3";
    fs::create_hard_link(source, first);
    EXPECT_EQ(SplitFile(window, files, tags, info), SplitOutcome::Failed);
    ExpectFailure("Cannot write " + first + ": it is the source file " + source + ".");
    EXPECT_TRUE(window.questions.empty());
    EXPECT_EQ(ReadFile(source), original);
    EXPECT_EQ(fs::hard_link_count(source), 2u);
    EXPECT_FALSE(fs::exists(second));

    fs::remove(first);
    fs::create_symlink(source, second);
    window.messages.clear();
    EXPECT_EQ(SplitFile(window, files, tags, info), SplitOutcome::Failed);
    EXPECT_EQ(window.messages, std::vector<std::string>{"Cannot write " + second +
                                                        ": it is the source file " + source + "."});
    EXPECT_EQ(ReadFile(source), original);
    EXPECT_TRUE(fs::is_symlink(second));
    EXPECT_FALSE(fs::exists(first));
    ExpectNoTemporaryFiles();
}

// Another run takes the second output's name while this one writes it: its file stays,
// and this run ends as failed instead of replacing it without a question.
TEST_F(SplitFailures, AnOutputThatAppearsWhileItIsWrittenIsKept) {
    const std::string second = folder + "/song2.mp3";
    window.meddleAtRepaint = 4;  // "Writing to" the second output
    window.meddle = [&] { WriteFile(second, "other run"); };
    EXPECT_EQ(SplitFile(window, files, tags, info), SplitOutcome::Failed);
    ExpectFailure("Cannot write " + second +
                  ": a file of that name appeared while it was written.");
    EXPECT_EQ(ReadFile(second), Bytes({'o', 't', 'h', 'e', 'r', ' ', 'r', 'u', 'n'}));
    EXPECT_TRUE(window.questions.empty());
    ExpectNoTemporaryFiles();
}

// The files of this computer, but the process is ended by `signal` as soon as the
// second output's file is made.
class DyingFiles final : public FileSystem {
  public:
    DyingFiles(bool unnamed, int signal) : local_({.UnnamedOutputs = unnamed}), signal_(signal) {}
    bool OrdinaryFileExists(const std::string& path) const override {
        return local_.OrdinaryFileExists(path);
    }
    bool EntryExists(const std::string& path) const override { return local_.EntryExists(path); }
    bool IsDirectory(const std::string& path) const override { return local_.IsDirectory(path); }
    std::optional<std::int64_t> FileLength(const std::string& path) const override {
        return local_.FileLength(path);
    }
    bool NameTaken(const std::string& path) const override { return local_.NameTaken(path); }
    bool SameFile(const std::string& one, const std::string& other) const override {
        return local_.SameFile(one, other);
    }
    std::unique_ptr<SourceFile> OpenSource(const std::string& path) override {
        return local_.OpenSource(path);
    }
    std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override {
        auto output = local_.CreateOutput(path);
        if (path.ends_with("2.mp3")) ::raise(signal_);
        return output;
    }
    Removal MoveToTrash(const std::string& path) override { return local_.MoveToTrash(path); }

  private:
    platform::LocalFileSystem local_;
    int signal_;
};

// A run ended by a signal while it writes leaves the finished first output and nothing
// of the second: no part under its name, no temporary file. Files without a name need no
// help even against SIGKILL; the hidden named ones are removed by the signals that end
// the program.
TEST_F(SplitFailures, ARunEndedByASignalLeavesNothingHalfWritten) {
    for (const auto& [unnamed, signal] :
         {std::pair{true, SIGKILL}, {false, SIGTERM}, {false, SIGINT}, {false, SIGHUP}}) {
        SCOPED_TRACE(testing::Message()
                     << (unnamed ? "unnamed, " : "named, ") << strsignal(signal));
        fs::remove(folder + "/song1.mp3");
        const pid_t child = ::fork();
        if (child == 0) {
            DyingFiles dying(unnamed, signal);
            SplitFile(window, dying, tags, info);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(temp.Names(), (std::set<std::string>{"song.mp3", "song1.mp3"}));
        EXPECT_EQ(ReadFile(source), original);
    }
}

TEST_F(SplitFailures, AFolderInTheWayOfAnOutputIsNamedAndKept) {
    const std::string first = folder + "/song1.mp3";
    fs::create_directory(first);
    WriteFile(first + "/inside.txt", "kept");
    EXPECT_EQ(SplitFile(window, files, tags, info), SplitOutcome::Failed);
    EXPECT_TRUE(window.questions.empty());
    ExpectFailure("Cannot write " + first + ": Is a directory.");
    EXPECT_EQ(ReadFile(first + "/inside.txt"), (Bytes{'k', 'e', 'p', 't'}));
    EXPECT_FALSE(fs::exists(folder + "/song2.mp3"));
    ExpectNoTemporaryFiles();
}

TEST_F(SplitFailures, OutputsTheLookupCannotSeeAreReplacedWithoutWritingThroughThem) {
    // A link to nowhere at the first output, and a hidden second output: the source
    // named " .x.mp3" (a blank first) is an ordinary file, but its base name ".x" makes
    // hidden outputs. Neither is asked about; both end up as the new outputs.
    const fs::path workingFolder = fs::current_path();
    fs::current_path(folder);
    fs::rename(source, folder + "/ .x.mp3");
    window.texts[Control::txtMP3] = " .x.mp3";
    const std::string first = folder + "/.x1.mp3";
    const std::string second = folder + "/.x2.mp3";
    fs::create_symlink(folder + "/target.mp3", first);
    WriteFile(second, "older");
    const SplitOutcome outcome = SplitFile(window, files, tags, info);
    fs::current_path(workingFolder);

    EXPECT_EQ(outcome, SplitOutcome::Completed) << window.log;
    EXPECT_TRUE(window.questions.empty());
    EXPECT_FALSE(fs::is_symlink(first));
    EXPECT_FALSE(fs::exists(folder + "/target.mp3"));
    const auto at = point.SplitPosition;
    const Bytes one = ReadFile(first);
    const Bytes two = ReadFile(second);
    // Each part opens with its own copy of the source's 417-byte Info frame.
    const std::int64_t infoFrame = 417;
    ASSERT_EQ(std::int64_t(one.size()), at);
    EXPECT_TRUE(std::equal(one.begin() + infoFrame, one.end() - point.SplitMainDataBegin,
                           original.begin() + infoFrame));
    ASSERT_EQ(std::int64_t(two.size()),
              std::int64_t(original.size()) - at + infoFrame + point.PrevFrameLength);
    EXPECT_TRUE(std::equal(two.begin() + infoFrame + point.PrevFrameLength, two.end(),
                           original.begin() + at));
    ExpectNoTemporaryFiles();
}

}  // namespace
}  // namespace quorvel
