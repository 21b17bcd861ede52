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
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "FakeForm.h"
#include "Frames.h"
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
        ASSERT_EQ(AnalyseSourceFile(window, files), AnalysisOutcome::FramesFound);
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
    const SplitOutcome outcome = SplitFile(window, files, tags, decoder);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(outcome, SplitOutcome::Failed);
    ExpectFailure("Cannot write " + folder + "/song2.mp3: File too large.");
    EXPECT_EQ(test::Snapshot(folder), before);
}

TEST_F(SplitFailures, AFolderThatRefusesNewFilesIsNamedWithTheSystemsReason) {
    // Even root cannot create files in /sys.
    window.texts[Control::txtToFolder] = "/sys";
    EXPECT_EQ(SplitFile(window, files, tags, decoder), SplitOutcome::Failed);
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
    EXPECT_EQ(SplitFile(window, files, tags, decoder), SplitOutcome::Refused);
    EXPECT_EQ(window.messages, std::vector<std::string>{"Cannot write to " + file +
                                                        ": it is a file, not a folder."});
    EXPECT_EQ(window.focus, std::vector<Control>{Control::txtToFolder});

    // A folder beneath that file cannot exist.
    window.messages.clear();
    window.texts[Control::txtToFolder] = file + "/sub";
    EXPECT_EQ(SplitFile(window, files, tags, decoder), SplitOutcome::Refused);
    EXPECT_EQ(window.messages, std::vector<std::string>{"Please create destination folder."});
    EXPECT_TRUE(window.log.empty());
    EXPECT_EQ(fs::file_size(file), 1u);
}

TEST_F(SplitFailures, ASourceThatGoesAwayAfterTheChecksIsReportedAsUnreadable) {
    // Removed when the search starts: the source cannot be opened any more.
    window.meddleAt = "Finding safe point";
    window.meddle = [&] { fs::rename(source, folder + "/away.mp3"); };
    EXPECT_EQ(SplitFile(window, files, tags, decoder), SplitOutcome::Failed);
    ExpectFailure("Cannot read " + source + ": No such file or directory.");
    EXPECT_TRUE(window.log.starts_with("Finding safe point to split file...\r\nCannot read " +
                                       source + ": No such file or directory.\r\n"));
    EXPECT_FALSE(fs::exists(folder + "/song1.mp3"));
    ExpectNoTemporaryFiles();
}

TEST_F(SplitFailures, ASourceThatShrinksWhileAnOutputIsWrittenIsReportedAsChanged) {
    // The source is cut to 1000 bytes before an output is copied from it. The first is
    // copied between the files in the kernel; the second, behind its added frame, through a
    // pipe.
    for (const char* output : {"/song1.mp3", "/song2.mp3"}) {
        SCOPED_TRACE(testing::Message() << "cut before writing " << output);
        WriteFile(source, std::string(original.begin(), original.end()));
        window.log.clear();
        window.messages.clear();
        window.scrolls = 0;
        window.meddleAt = "Writing to " + folder + output;
        window.meddle = [&] { fs::resize_file(source, 1000); };
        EXPECT_EQ(SplitFile(window, files, tags, decoder), SplitOutcome::Failed);
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
    EXPECT_EQ(AnalyseSourceFile(window, files), AnalysisOutcome::Unreadable);
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
    EXPECT_EQ(SplitFile(window, files, tags, decoder), SplitOutcome::Failed);
    ExpectFailure("Cannot write " + first + ": it is the source file " + source + ".");
    EXPECT_TRUE(window.questions.empty());
    EXPECT_EQ(ReadFile(source), original);
    EXPECT_EQ(fs::hard_link_count(source), 2u);
    EXPECT_FALSE(fs::exists(second));

    fs::remove(first);
    fs::create_symlink(source, second);
    window.messages.clear();
    EXPECT_EQ(SplitFile(window, files, tags, decoder), SplitOutcome::Failed);
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
    EXPECT_EQ(SplitFile(window, files, tags, decoder), SplitOutcome::Failed);
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
    EXPECT_EQ(SplitIntoParts(window, files, tags, decoder, request), SplitOutcome::Failed);
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
            SplitFile(window, dying, tags, decoder);
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
    EXPECT_EQ(SplitFile(window, files, tags, decoder), SplitOutcome::Failed);
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
            const SplitOutcome outcome = SplitFile(window, files, tags, decoder);
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
    const SplitOutcome outcome = SplitFile(window, files, tags, decoder);
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

// The files of this computer, but the naming of the outputs fails at its `failAt`-th step
// (a journal written, a folder made, an entry renamed, the journal marked, an older entry
// trashed or removed), or the process is killed right after its `killAfter`-th.
class NamingSteps final : public FileSystemWrapper {
  public:
    explicit NamingSteps(FileSystem& files) : FileSystemWrapper(files) {}
    int failAt = 0;
    int killAfter = 0;
    int steps = 0;

    // Each step: failed before, or ended after.
    template <typename Do>
    auto Step(const std::string& path, Do&& step) -> decltype(step()) {
        if (++steps == failAt) {
            throw FileError(FileError::Operation::Write, path,
                            Tr("Files", "the destination's file system does not accept that name"));
        }
        auto result = step();
        if (steps == killAfter) ::raise(SIGKILL);
        return result;
    }

    std::string CreateJournal(const std::string& folder, const std::string& text) override {
        return Step(folder, [&] { return files_.CreateJournal(folder, text); });
    }
    void MakeFolder(const std::string& path) override {
        Step(path, [&] { return (files_.MakeFolder(path), 0); });
    }
    void Rename(const std::string& from, const std::string& to) override {
        Step(to, [&] { return (files_.Rename(from, to), 0); });
    }
    void AppendToJournal(const std::string& path, const std::string& text) override {
        Step(path, [&] { return (files_.AppendToJournal(path, text), 0); });
    }
    std::optional<std::string> MoveToTrash(const std::string& path) override {
        return Step(path, [&] { return files_.MoveToTrash(path); });
    }
    void Remove(const std::string& path) override {
        Step(path, [&] { return (files_.Remove(path), 0); });
    }
};

// Four parts, two of whose names hold older files: the naming's steps are the journal, the
// folder the older files are set aside in, their two renames there, the four outputs'
// renames to their names, the journal's mark, then the older files into the trash and the
// folder and the journal removed.
class NamingFaults : public SplitFailures {
  protected:
    static constexpr int kMarked = 9;  // the step that marks the journal complete
    static constexpr int kSteps = 13;

    void SetUp() override {
        SplitFailures::SetUp();
        parts.Times.At = {std::chrono::seconds(1), std::chrono::seconds(2),
                          std::chrono::seconds(3)};
        window.texts = {{Control::txtMP3, source}, {Control::txtToFolder, folder}};
        test::FakeForm made;
        made.texts = {{Control::txtMP3, source}, {Control::txtToFolder, reference.path}};
        ASSERT_EQ(SplitIntoParts(made, files, tags, decoder, parts), SplitOutcome::Completed);
    }
    // The folder as it is before each run: the source and two older files, unique to `run`.
    void Older(int run) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().filename() != "song.mp3") fs::remove_all(entry.path());
        }
        for (const char* name : {"song1", "song3"}) {
            WriteFile(folder + "/" + name + ".mp3", OlderText(name, run));
        }
        before = test::Snapshot(folder);
        window.log.clear();
        window.messages.clear();
        window.answers = {true};
    }
    static std::string OlderText(const std::string& name, int run) {
        return "older " + name + " of naming run " + std::to_string(run);
    }
    // The four new parts, and the older files in the trash.
    void ExpectNewParts(int run) {
        EXPECT_EQ(temp.Names(), (std::set<std::string>{"song.mp3", "song1.mp3", "song2.mp3",
                                                       "song3.mp3", "song4.mp3"}));
        for (const char* name : {"/song1.mp3", "/song2.mp3", "/song3.mp3", "/song4.mp3"}) {
            EXPECT_EQ(ReadFile(folder + name), ReadFile(reference.path + name)) << name;
        }
        std::set<std::string> trashed;
        for (const auto& entry :
             fs::directory_iterator(std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files")) {
            // Other tests' pipes are in the trash too.
            if (!fs::is_regular_file(entry.symlink_status())) continue;
            const Bytes bytes = ReadFile(entry.path().string());
            trashed.emplace(bytes.begin(), bytes.end());
        }
        EXPECT_TRUE(trashed.contains(OlderText("song1", run)));
        EXPECT_TRUE(trashed.contains(OlderText("song3", run)));
    }

    test::TempFolder reference;
    PartsRequest parts;
    std::map<std::string, std::string> before;
};

// Whichever step of the naming fails, every name given is taken back and every older file
// has its own again: the folder is as it was, and the message names the file and why.
TEST_F(NamingFaults, AStepThatFailsUndoesEveryName) {
    for (int step = 1; step <= kMarked; ++step) {
        SCOPED_TRACE(testing::Message() << "failing at step " << step);
        Older(step);
        NamingSteps failing(files);
        failing.failAt = step;
        EXPECT_EQ(SplitIntoParts(window, failing, tags, decoder, parts), SplitOutcome::Failed);
        ASSERT_EQ(window.messages.size(), 1u);
        EXPECT_TRUE(window.messages[0].starts_with("Cannot write " + folder));
        EXPECT_TRUE(window.messages[0].ends_with(
            ": the destination's file system does not accept that name."))
            << window.messages[0];
        EXPECT_TRUE(
            window.log.ends_with("\r\nFile splitting aborted.\r\nNothing was changed: "
                                 "the split failed."))
            << window.log;
        EXPECT_EQ(window.log.find("to the trash"), std::string::npos) << window.log;
        EXPECT_EQ(test::Snapshot(folder), before);
    }
    Older(0);
    NamingSteps counted(files);
    EXPECT_EQ(SplitIntoParts(window, counted, tags, decoder, parts), SplitOutcome::Completed);
    EXPECT_EQ(counted.steps, kSteps);
    ExpectNewParts(0);
}

// A run ended after any step of the naming leaves a journal that the next run into the
// folder acts on, saying so in its log: until the journal is marked, it is rolled back to
// the older files; once it is, it is completed, the older files going to the trash. The
// next run here is refused for a cut past the end, after that.
TEST_F(NamingFaults, ARunEndedWhileNamingIsRolledBackOrCompletedByTheNext) {
    for (int step = 1; step <= kSteps; ++step) {
        SCOPED_TRACE(testing::Message() << "ended after step " << step);
        const int run = 100 + step;
        Older(run);
        const pid_t child = ::fork();
        if (child == 0) {
            NamingSteps ending(files);
            ending.killAfter = step;
            SplitIntoParts(window, ending, tags, decoder, parts);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;

        window.log.clear();
        PartsRequest past;
        past.Times.At = {std::chrono::seconds(9)};
        EXPECT_EQ(SplitIntoParts(window, files, tags, decoder, past), SplitOutcome::Refused);
        const std::string earlier =
            "\r\nAn earlier run into " + folder + " was ended while it named its parts";
        if (step < kMarked) {
            EXPECT_NE(window.log.find(earlier + ": it was rolled back, the older files are as "
                                                "they were.\r\n"),
                      std::string::npos)
                << window.log;
            EXPECT_EQ(test::Snapshot(folder), before);
            continue;
        }
        if (step < kSteps) {
            EXPECT_NE(window.log.find(earlier + ", once all had their names: it was completed."),
                      std::string::npos)
                << window.log;
        } else {
            EXPECT_EQ(window.log.find(earlier), std::string::npos) << window.log;
        }
        ExpectNewParts(run);
    }
}

// A file system that takes names in any case for one and refuses some characters, as
// exFAT does (here through FUSE, in an image mounted through a loop device, as root), for
// as long as this lives; where it cannot be had, Why() says why.
class ExFatMount {
  public:
    ExFatMount() {
        const std::string image = image_.path + "/image", at = image_.path + "/mount";
        if (::geteuid() != 0) {
            why_ = "mounting a loop device takes root";
        } else if (std::system("command -v mkfs.exfat mount.exfat-fuse >/dev/null") != 0) {
            why_ = "mkfs.exfat or mount.exfat-fuse is not installed";
        } else if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            why_ = "no /dev/fuse";
        } else if (std::system(("mkdir '" + at + "' && truncate -s 64M '" + image +
                                "' && mkfs.exfat '" + image + "' >/dev/null && mount -t " +
                                "exfat-fuse -o loop '" + image + "' '" + at + "'")
                                   .c_str()) != 0) {
            why_ = "no exFAT file system could be made and mounted";
        } else {
            path_ = at;
        }
    }
    ~ExFatMount() {
        if (!path_.empty()) {
            EXPECT_EQ(std::system(("umount '" + path_ + "'").c_str()), 0) << path_;
        }
    }
    ExFatMount(const ExFatMount&) = delete;
    ExFatMount& operator=(const ExFatMount&) = delete;

    const std::string& Path() const { return path_; }
    const std::string& Why() const { return why_; }

  private:
    test::TempFolder image_;
    std::string path_;
    std::string why_;
};

// On exFAT, names that differ only in case are one: titles "Intro" and "INTRO" beside an
// older Intro.mp3 are refused before anything is written, naming both, as is a title
// whose ":" exFAT does not take, in plain words. Parts with names it takes are named and
// replace the older file, which goes to the trash.
TEST_F(SplitFailures, NamesTheDestinationTakesAsOneOrNotAtAllAreRefusedFirst) {
    const ExFatMount exfat;
    if (!exfat.Why().empty()) GTEST_SKIP() << exfat.Why();
    const std::string& at = exfat.Path();
    WriteFile(at + "/Intro.mp3", "older intro");
    PartsRequest parts;
    parts.Times.At = {std::chrono::seconds(1), std::chrono::seconds(2), std::chrono::seconds(3)};
    parts.NamePattern = "%t";
    const struct {
        std::vector<std::string> titles;
        std::string message;
    } refused[] = {
        {{"Intro", "Verse", "INTRO", "Coda"},
         "Two parts would have one name: the file system of " + at +
             " takes Intro.mp3 and INTRO.mp3 for the same name."},
        {{"Intro", "Verse: one", "Outro", "Coda"},
         "The file system of " + at + " does not accept the name Verse: one.mp3."},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.message);
        const auto before = test::Snapshot(at);
        window = MeddlingWindow();
        window.texts = {{Control::txtMP3, source}, {Control::txtToFolder, at}};
        window.answers = {true};
        parts.Labels.Titles = c.titles;
        EXPECT_EQ(SplitIntoParts(window, files, tags, decoder, parts), SplitOutcome::Refused);
        EXPECT_EQ(window.messages, std::vector<std::string>{c.message});
        EXPECT_TRUE(window.questions.empty());
        EXPECT_EQ(test::Snapshot(at), before);
    }

    // A part named as the source in another case would be the source.
    const std::string song = at + "/Song.mp3";
    fs::copy_file(source, song);
    window = MeddlingWindow();
    window.texts = {{Control::txtMP3, song}, {Control::txtToFolder, at}};
    window.answers = {true};
    parts.Labels.Titles = {"Intro", "SONG", "Outro", "Coda"};
    const auto before = test::Snapshot(at);
    EXPECT_EQ(SplitIntoParts(window, files, tags, decoder, parts), SplitOutcome::Failed);
    EXPECT_EQ(window.messages,
              std::vector<std::string>{"Cannot write " + at + "/SONG.mp3: it is the source file " +
                                       song + "."});
    EXPECT_EQ(test::Snapshot(at), before);
    fs::remove(song);

    window = MeddlingWindow();
    window.texts = {{Control::txtMP3, source}, {Control::txtToFolder, at}};
    window.answers = {true};
    parts.Labels.Titles = {"intro", "Verse", "Outro", "Coda"};
    EXPECT_EQ(SplitIntoParts(window, files, tags, decoder, parts), SplitOutcome::Completed)
        << window.log;
    EXPECT_EQ(window.questions.size(), 1u);
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(at)) names.insert(entry.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{".Trash-0", "intro.mp3", "Verse.mp3", "Outro.mp3",
                                            "Coda.mp3"}));
    EXPECT_EQ(ReadFile(at + "/.Trash-0/files/intro.mp3"),
              (Bytes{'o', 'l', 'd', 'e', 'r', ' ', 'i', 'n', 't', 'r', 'o'}));
}

// The window's request to cut a stream of 400 frames, none of which borrows from another,
// written at `path`, into `count` parts 100 ms apart.
PartsRequest PartsOfStream(test::FakeForm& window, const std::string& path, int count) {
    const Bytes stream = test::Stream(400);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(stream.data()), std::streamsize(stream.size()));
    window.texts = {{Control::txtMP3, path},
                    {Control::txtToFolder, path.substr(0, path.rfind('/'))}};
    PartsRequest parts;
    for (int part = 1; part < count; ++part) {
        parts.Times.At.push_back(std::chrono::milliseconds(part * 100));
    }
    return parts;
}

// Past the usual limit of open files, in few: 100 parts under a limit of 24 more than the
// test holds open already. No output holds a descriptor from its writing to its naming.
TEST_F(SplitFailures, MorePartsThanOpenFilesAreWritten) {
    std::size_t open = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++open;
    const PartsRequest parts = PartsOfStream(window, folder + "/many.mp3", 100);
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(open + 24);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limited), 0);
    const SplitOutcome outcome = SplitIntoParts(window, files, tags, decoder, parts);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(outcome, SplitOutcome::Completed) << window.log;
    EXPECT_TRUE(fs::exists(folder + "/many001.mp3") && fs::exists(folder + "/many100.mp3"));
    ExpectNoTemporaryFiles();
}

// What the log and the question show of names: a control character of a title or a path
// written out, never sent to the screen as it is; of 30 older files, the question lists
// ten and how many more.
TEST_F(SplitFailures, NamesAreShownPrintableAndQuestionsShort) {
    const PartsRequest parts = PartsOfStream(window, folder + "/\x1b[31mred\x1b[0m.mp3", 30);
    EXPECT_EQ(SplitIntoParts(window, files, tags, decoder, parts), SplitOutcome::Completed)
        << window.log;
    EXPECT_EQ(window.log.find('\x1b'), std::string::npos);
    EXPECT_NE(window.log.find("Writing to " + folder + "/\\x1b[31mred\\x1b[0m01.mp3"),
              std::string::npos)
        << window.log;

    window.log.clear();
    window.answers = {false};
    EXPECT_EQ(SplitIntoParts(window, files, tags, decoder, parts), SplitOutcome::Declined);
    ASSERT_EQ(window.questions.size(), 1u);
    std::string listed;
    for (int part = 1; part <= 10; ++part) {
        listed += (part > 1 ? ", " : "") + folder + "/\\x1b[31mred\\x1b[0m" +
                  (part < 10 ? "0" : "") + std::to_string(part) + ".mp3";
    }
    EXPECT_EQ(window.questions[0], "Output files " + listed +
                                       " and 20 more already exist. Do you want to replace them?");
}

// An output's copies of the source hold its bytes wherever they lie within a page against
// the source's: at the same place (the kernel's copy between files), after a few bytes of
// the output's own (through a pipe, in several fills of it), one copy after another, up to
// the source's end; in the source's folder and on another file system, where the kernel
// does not copy between files.
TEST(OutputCopies, HoldTheSourcesBytesWhereverTheyLieInAPage) {
    const test::TempFolder temp;
    Bytes bytes(std::size_t(5) << 20);
    std::uint32_t state = 1;
    for (std::uint8_t& byte : bytes)
        byte = std::uint8_t((state = state * 1103515245 + 12345) >> 24);
    const std::string path = temp.Write("source.mp3", bytes);
    const auto size = std::int64_t(bytes.size());
    const auto source = files.OpenSource(path);
    struct Copy {
        std::int64_t from, length;
    };
    struct Case {
        const char* what;
        std::size_t own;  // bytes of the output's own before its copies
        std::vector<Copy> copies;
    };
    const test::TempFolder shm(fs::is_directory("/dev/shm") ? fs::path("/dev/shm")
                                                            : fs::temp_directory_path());
    for (const std::string& folder : {temp.path, shm.path}) {
        for (const Case& copy :
             {Case{"all of it", 0, {{0, size}}},
              Case{"behind a frame of its own", 418, {{3, (std::int64_t(3) << 20) + 5}}},
              Case{"at the same place, to the end", 4096 - 7, {{4096 - 7, size - 4089}}},
              Case{"one after another",
                   1049,
                   {{1049, 100000}, {200000, std::int64_t(2) << 20}, {size - 4099, 4099}}}}) {
            SCOPED_TRACE(folder + ": " + copy.what);
            const auto output = files.CreateOutput(folder + "/part.mp3");
            Bytes expected(copy.own, 0xA5);
            output->Write(expected);
            for (const Copy& range : copy.copies) {
                output->CopyFrom(*source, range.from, range.length);
                expected.insert(expected.end(), bytes.begin() + range.from,
                                bytes.begin() + range.from + range.length);
            }
            EXPECT_TRUE(ReadFile(output->Stage()) == expected);
        }
    }
}

// A source shown through windows of two pages shows its own bytes to a reader that goes
// front to back a frame at a time, or byte by byte across the edge of the window it jumped
// into, to one that asks for more than a window holds, and to one that jumps back and
// forth.
TEST(SourceViews, ShowTheSourcesBytesHoweverTheyAreRead) {
    const test::TempFolder temp;
    Bytes bytes(std::size_t(256) << 10);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t(i * 7 + (i >> 9));
    const auto size = std::int64_t(bytes.size());
    platform::LocalFileSystem mapped({.MappedWindow = 1});
    const auto source = mapped.OpenSource(temp.Write("source.mp3", bytes));
    const auto expect = [&](std::int64_t offset, std::size_t count) {
        const auto shown = source->View(offset, count);
        ASSERT_GE(shown.size(), std::min<std::size_t>(count, std::size_t(size - offset))) << offset;
        EXPECT_TRUE(std::equal(shown.begin(), shown.end(), bytes.begin() + offset)) << offset;
    };
    for (std::int64_t offset = 0; offset < size; offset += 418) expect(offset, 4);
    for (const std::int64_t jump : {size - 3, std::int64_t(0), std::int64_t(8190), size / 2,
                                    std::int64_t(4096), size / 2 - 5000}) {
        for (std::int64_t offset = jump; offset < std::min(size, jump + 9000); ++offset) {
            expect(offset, 4);
        }
        expect(jump, 20000);
    }
}

}  // namespace
}  // namespace quorvel
