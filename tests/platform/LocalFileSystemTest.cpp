// What the split and the analysis do when the file system fails them: every failure is
// told by name and reason, leaves no temporary file behind and harms no older file.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
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
#include "engine/SplitSearch.h"
#include "platform/LocalFileSystem.h"
#include "platform/TagLibEditor.h"

namespace quorvel {
namespace {

// The files of this computer, as the window and the companion reach them.
platform::LocalFileSystem files;
platform::TagLibEditor tags;
test::NoDecoder decoder;

namespace fs = std::filesystem;
using test::Bytes;
using test::Control;
using test::ReadFile;

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A window that runs a step of the test's own when a line that starts as given reaches the
// log, to change the file system while the engine is at work.
class MeddlingWindow : public test::FakeForm {
  public:
    std::string meddleAt = "(never)";
    std::function<void()> meddle;

    void Heard(const std::string& line) override {
        if (line.starts_with(meddleAt)) meddle();
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
        MemorySource memory(original);
        FileInformation scratch;
        point = FindCut(memory, std::chrono::seconds(2), false, scratch);
        ASSERT_GT(point.Borrowed, 0);
    }

    // The run failed with `message`, told both in a box and in the log, and changed
    // nothing.
    void ExpectFailure(const std::string& message) {
        EXPECT_EQ(window.messages, std::vector<std::string>{message});
        const std::string tail = "\r\n" + message +
                                 "\r\nFile splitting aborted.\r\nNothing was changed: the "
                                 "split failed.";
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
    Cut point;
    MeddlingWindow window;
    FileInformation info;
};

// The second output does not fit under the limit: the older outputs that the user agreed
// to replace stay as they were, and the first new one never takes a name.
TEST_F(SplitFailures, AFullDiskWhileThePartTwoIsWrittenChangesNothing) {
    const std::int64_t secondSize =
        std::int64_t(original.size()) - point.At + point.PrevFrameLength;
    WriteFile(folder + "/song1.mp3", "older first output");
    WriteFile(folder + "/song2.mp3", "older second output");
    const auto before = test::Snapshot(folder);
    window.answers = {true, true};
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(point.At + secondSize) / 2;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const SplitOutcome outcome = SplitFile(window, files, tags, decoder, info);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(outcome, SplitOutcome::Failed);
    ExpectFailure("Cannot write " + folder + "/song2.mp3: File too large.");
    EXPECT_EQ(test::Snapshot(folder), before);
}

TEST_F(SplitFailures, AFolderThatRefusesNewFilesIsNamedWithTheSystemsReason) {
    // Even root cannot create files in /sys.
    window.texts[Control::txtToFolder] = "/sys";
    EXPECT_EQ(SplitFile(window, files, tags, decoder, info), SplitOutcome::Failed);
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
    EXPECT_EQ(SplitFile(window, files, tags, decoder, info), SplitOutcome::Refused);
    EXPECT_EQ(window.messages, std::vector<std::string>{"Cannot write to " + file +
                                                        ": it is a file, not a folder."});
    EXPECT_EQ(window.focus, std::vector<Control>{Control::txtToFolder});

    // A folder beneath that file cannot exist.
    window.messages.clear();
    window.texts[Control::txtToFolder] = file + "/sub";
    EXPECT_EQ(SplitFile(window, files, tags, decoder, info), SplitOutcome::Refused);
    EXPECT_EQ(window.messages, std::vector<std::string>{"Please create destination folder."});
    EXPECT_TRUE(window.log.empty());
    EXPECT_EQ(fs::file_size(file), 1u);
}

TEST_F(SplitFailures, ASourceThatGoesAwayAfterTheChecksIsReportedAsUnreadable) {
    // Removed when the search starts: the source cannot be opened any more.
    window.meddleAt = "Finding safe point";
    window.meddle = [&] { fs::rename(source, folder + "/away.mp3"); };
    EXPECT_EQ(SplitFile(window, files, tags, decoder, info), SplitOutcome::Failed);
    ExpectFailure("Cannot read " + source + ": No such file or directory.");
    EXPECT_TRUE(window.log.starts_with("Finding safe point to split file...\r\nCannot read " +
                                       source + ": No such file or directory.\r\n"));
    EXPECT_FALSE(fs::exists(folder + "/song1.mp3"));
    ExpectNoTemporaryFiles();
}

TEST_F(SplitFailures, ASourceThatShrinksWhileAnOutputIsWrittenIsReportedAsChanged) {
    // The source is cut to 1000 bytes before an output is copied from it. The first is
    // copied in the kernel; the second, behind its added frame, out of the mapped source.
    for (const char* output : {"/song1.mp3", "/song2.mp3"}) {
        SCOPED_TRACE(testing::Message() << "cut before writing " << output);
        WriteFile(source, std::string(original.begin(), original.end()));
        window.log.clear();
        window.messages.clear();
        window.scrolls = 0;
        window.meddleAt = "Writing to " + folder + output;
        window.meddle = [&] { fs::resize_file(source, 1000); };
        EXPECT_EQ(SplitFile(window, files, tags, decoder, info), SplitOutcome::Failed);
        ExpectFailure("Cannot read " + source + ": the file changed while it was being read.");
        EXPECT_EQ(temp.Names(), std::set<std::string>{"song.mp3"});
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
                EXPECT_EQ(English(error.Message()),
                          "Cannot read " + source + ": the file changed while it was being read.");
            }
        }
    }
}

TEST_F(SplitFailures, TheAnalysisOfASourceThatShrinksClaimsNothing) {
    window.meddleAt = "Analysing chosen file";
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
    EXPECT_EQ(SplitFile(window, files, tags, decoder, info), SplitOutcome::Failed);
    ExpectFailure("Cannot write " + first + ": it is the source file " + source + ".");
    EXPECT_TRUE(window.questions.empty());
    EXPECT_EQ(ReadFile(source), original);
    EXPECT_EQ(fs::hard_link_count(source), 2u);
    EXPECT_FALSE(fs::exists(second));

    fs::remove(first);
    fs::create_symlink(source, second);
    window.messages.clear();
    EXPECT_EQ(SplitFile(window, files, tags, decoder, info), SplitOutcome::Failed);
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
    window.meddleAt = "Writing to " + second;
    window.meddle = [&] { WriteFile(second, "other run"); };
    EXPECT_EQ(SplitFile(window, files, tags, decoder, info), SplitOutcome::Failed);
    ExpectFailure("Cannot write " + second +
                  ": a file of that name appeared while it was written.");
    EXPECT_EQ(ReadFile(second), Bytes({'o', 't', 'h', 'e', 'r', ' ', 'r', 'u', 'n'}));
    EXPECT_TRUE(window.questions.empty());
    ExpectNoTemporaryFiles();

    // Of four parts, the three named before the last takes the name back.
    fs::remove(second);
    const std::string last = folder + "/song4.mp3";
    window = MeddlingWindow();
    window.texts = {{Control::txtMP3, source}, {Control::txtToFolder, folder}};
    window.meddleAt = "Writing to " + last;
    window.meddle = [&] { WriteFile(last, "other run"); };
    PartsRequest request;
    request.Times.At = {std::chrono::seconds(1), std::chrono::seconds(2), std::chrono::seconds(3)};
    EXPECT_EQ(SplitIntoParts(window, files, tags, decoder, info, request), SplitOutcome::Failed);
    ExpectFailure("Cannot write " + last + ": a file of that name appeared while it was written.");
    EXPECT_EQ(temp.Names(), (std::set<std::string>{"song.mp3", "song4.mp3"}));
}

// The files of this computer, but the process is ended by `signal` as soon as the
// second output's file is made.
class DyingFiles final : public FileSystemWrapper {
  public:
    DyingFiles(FileSystem& files, int signal) : FileSystemWrapper(files), signal_(signal) {}
    std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override {
        auto output = files_.CreateOutput(path);
        if (path.ends_with("2.mp3")) ::raise(signal_);
        return output;
    }

  private:
    int signal_;
};

// A run ended by a signal while it writes leaves nothing: no part under its name, no
// temporary file. Files without a name need no help even against SIGKILL; the hidden
// named ones are removed by the signals that end the program.
TEST_F(SplitFailures, ARunEndedByASignalLeavesNothingHalfWritten) {
    for (const auto& [unnamed, signal] :
         {std::pair{true, SIGKILL}, {false, SIGTERM}, {false, SIGINT}, {false, SIGHUP}}) {
        SCOPED_TRACE(testing::Message()
                     << (unnamed ? "unnamed, " : "named, ") << strsignal(signal));
        const pid_t child = ::fork();
        if (child == 0) {
            platform::LocalFileSystem local({.UnnamedOutputs = unnamed});
            DyingFiles dying(local, signal);
            SplitFile(window, dying, tags, decoder, info);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(temp.Names(), std::set<std::string>{"song.mp3"});
        EXPECT_EQ(ReadFile(source), original);
    }
}

TEST_F(SplitFailures, AFolderInTheWayOfAnOutputIsNamedAndKept) {
    const std::string first = folder + "/song1.mp3";
    fs::create_directory(first);
    WriteFile(first + "/inside.txt", "kept");
    EXPECT_EQ(SplitFile(window, files, tags, decoder, info), SplitOutcome::Failed);
    EXPECT_TRUE(window.questions.empty());
    ExpectFailure("Cannot write " + first + ": it is a folder.");
    EXPECT_EQ(ReadFile(first + "/inside.txt"), (Bytes{'k', 'e', 'p', 't'}));
    EXPECT_FALSE(fs::exists(folder + "/song2.mp3"));
    ExpectNoTemporaryFiles();
}

// Whatever has an output's name is an older output: a link to nowhere, to a folder or to
// itself, a pipe, a socket. Each is asked about like a file; declined, everything stays;
// agreed, each goes to the trash as itself, a link's target untouched. A source whose
// name starts with a dot (here " .x.mp3", a blank first) is split like any other.
TEST_F(SplitFailures, AnyEntryAtAnOutputNameIsAskedAboutAndTrashedAsItself) {
    const fs::path workingFolder = fs::current_path();
    fs::current_path(folder);
    fs::rename(source, folder + "/ .x.mp3");
    window.texts[Control::txtMP3] = " .x.mp3";
    const std::string first = folder + "/.x1.mp3";
    const std::string second = folder + "/.x2.mp3";
    fs::create_directory(folder + "/music");
    WriteFile(folder + "/music/kept.txt", "kept");
    const auto makeSecond = [&](int kind) {
        switch (kind) {
            case 0:
                return fs::create_directory_symlink(folder + "/music", second);
            case 1:
                return fs::create_symlink(second, second);
            case 2:
                ASSERT_EQ(::mkfifo(second.c_str(), 0666), 0);
                return;
            default:
                return;
        }
    };
    for (const int kind : {0, 1, 2}) {
        SCOPED_TRACE(testing::Message() << "second output of kind " << kind);
        fs::create_symlink(folder + "/nowhere.mp3", first);
        makeSecond(kind);
        const auto before = test::Snapshot(folder);
        for (const bool agree : {false, true}) {
            window.questions.clear();
            window.answers = {agree};
            const SplitOutcome outcome = SplitFile(window, files, tags, decoder, info);
            EXPECT_EQ(window.questions.size(), 1u);
            if (!agree) {
                EXPECT_EQ(outcome, SplitOutcome::Declined);
                EXPECT_EQ(test::Snapshot(folder), before);
                continue;
            }
            EXPECT_EQ(outcome, SplitOutcome::Completed) << window.log;
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(first)));
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(second)));
            EXPECT_FALSE(fs::exists(folder + "/nowhere.mp3"));
            EXPECT_EQ(ReadFile(folder + "/music/kept.txt"), (Bytes{'k', 'e', 'p', 't'}));
        }
        fs::remove(first);
        fs::remove(second);
    }

    // The parts are the source's: each opens with its own copy of the 417-byte Info frame.
    const SplitOutcome outcome = SplitFile(window, files, tags, decoder, info);
    fs::current_path(workingFolder);
    EXPECT_EQ(outcome, SplitOutcome::Completed);
    const auto at = point.At;
    const Bytes one = ReadFile(first);
    const Bytes two = ReadFile(second);
    const std::int64_t infoFrame = 417;
    ASSERT_EQ(std::int64_t(one.size()), at);
    EXPECT_TRUE(std::equal(one.begin() + infoFrame, one.end() - point.Borrowed,
                           original.begin() + infoFrame));
    ASSERT_EQ(std::int64_t(two.size()),
              std::int64_t(original.size()) - at + infoFrame + point.PrevFrameLength);
    EXPECT_TRUE(std::equal(two.begin() + infoFrame + point.PrevFrameLength, two.end(),
                           original.begin() + at));
    ExpectNoTemporaryFiles();
}

}  // namespace
}  // namespace quorvel
