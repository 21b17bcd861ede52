#include "engine/CopyAhead.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "FakeForm.h"
#include "TestFiles.h"
#include "engine/Split.h"
#include "platform/LocalFileSystem.h"
#include "platform/TagLibEditor.h"

namespace quorvel {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::ReadFile;
using test::TempFolder;

platform::LocalFileSystem local;
test::NoDecoder decoder;

// The files, counting the source bytes copied into outputs, those on the copy ahead's thread
// apart.
class CountedCopies final : public FileSystemWrapper {
  public:
    explicit CountedCopies(FileSystem& files) : FileSystemWrapper(files) {}
    std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override {
        struct Output final : OutputFile {
            std::unique_ptr<OutputFile> output;
            CountedCopies& files;
            Output(std::unique_ptr<OutputFile> o, CountedCopies& f)
                : output(std::move(o)), files(f) {}
            void Write(std::span<const std::uint8_t> bytes) override { output->Write(bytes); }
            void CopyFrom(SourceFile& source, std::int64_t offset, std::int64_t length) override {
                output->CopyFrom(source, offset, length);
                (std::this_thread::get_id() == files.aheadThread.load() ? files.ahead
                                                                        : files.bySplit) += length;
            }
            void MoveTo(std::int64_t at) override { output->MoveTo(at); }
            void EndHere() override { output->EndHere(); }
            std::unique_ptr<SourceFile> ReadBack() override { return output->ReadBack(); }
            std::string Stage() override { return output->Stage(); }
            void Release() override { output->Release(); }
        };
        // The split creates its outputs on its own thread, the copy ahead on its.
        if (std::this_thread::get_id() != split) aheadThread = std::this_thread::get_id();
        return std::make_unique<Output>(FileSystemWrapper::CreateOutput(path), *this);
    }

    const std::thread::id split = std::this_thread::get_id();
    std::atomic<std::thread::id> aheadThread;
    std::atomic<std::int64_t> bySplit = 0, ahead = 0;
};

SplitRequest Request(const std::string& source, const std::string& folder, bool exact,
                     std::chrono::milliseconds at, double fade = 0) {
    SplitRequest request;
    request.FadeInSeconds = request.FadeOutSeconds = fade;
    request.Source = source;
    request.Folder = folder;
    request.Exact = exact;
    request.Existing = ExistingOutputs::Replace;
    request.Parts.Times = {{at}};
    return request;
}

// A fixture split at `at` in a folder of its own, its last part's audio copied ahead for a
// split at `ahead` where given: the parts, the log with the folder left out, and the source
// bytes copied by the split and ahead of it.
struct Made {
    std::vector<Bytes> parts;
    std::string log;
    std::int64_t bySplit = 0, ahead = 0;
};

Made SplitFixture(const std::string& name, bool exact, std::chrono::milliseconds at, double fade,
                  std::optional<std::chrono::milliseconds> ahead = std::nullopt) {
    const TempFolder folder;
    const std::string source =
        folder.Write(name + ".mp3", ReadFile(std::string(QUORVEL_FIXTURES) + "/" + name + ".mp3"));
    CountedCopies counted(local);
    platform::TagLibEditor aheadTags, tags;
    CopyAhead copying(counted, [] { return false; });
    if (ahead) copying.Start(Request(source, folder.path, exact, *ahead, fade), aheadTags);
    test::FakeForm window;
    const SplitReport report =
        Split(Request(source, folder.path, exact, at, fade), copying, tags, decoder, window);
    copying.Abandon();
    EXPECT_EQ(report.Outcome, SplitOutcome::Completed) << window.log;
    Made made{{}, window.log, counted.bySplit, counted.ahead};
    for (const std::string& path : report.Paths) made.parts.push_back(ReadFile(path));
    for (auto at = made.log.find(folder.path); at != std::string::npos;
         at = made.log.find(folder.path)) {
        made.log.replace(at, folder.path.size(), "FOLDER");
    }
    EXPECT_EQ(folder.Names().size(), 1 + made.parts.size());
    return made;
}

// The parts and the log are the split's whether its last part's audio was copied ahead or
// not, by either rule, with or without an ID3v2 tag, chapters, a header frame or free-format
// frames, faded or not: copied ahead for its own time, the audio the split copies is not
// copied again; for another time, it lies elsewhere and reaches further or not as far, and is
// written over, as are the bytes a fade changes.
TEST(CopyAhead, GivesTheSplitsOwnParts) {
    struct Row {
        const char* fixture;
        std::chrono::milliseconds ahead, at;
        double fade = 0;
    };
    const Row rows[] = {
        {"cbr128", 2s, 2s}, {"id3v2", 2s, 2s}, {"chapters", 2s, 2s},    {"apev2", 2s, 2s},
        {"id3v1", 2s, 2s},  {"vbr", 2s, 2s},   {"free", 2s, 2s},        {"mpeg2", 2s, 2s},
        {"id3v2", 1s, 3s},  {"id3v2", 3s, 1s}, {"cbr128", 2s, 2s, 0.5},
    };
    for (const Row& row : rows) {
        for (const bool exact : {false, true}) {
            SCOPED_TRACE(std::string(row.fixture) + (exact ? " exactly, " : ", ") +
                         std::to_string(row.ahead.count()) + " ms ahead");
            const Made plain = SplitFixture(row.fixture, exact, row.at, row.fade);
            const Made made = SplitFixture(row.fixture, exact, row.at, row.fade, row.ahead);
            ASSERT_EQ(plain.parts.size(), 2u);
            EXPECT_TRUE(made.parts == plain.parts);
            EXPECT_EQ(made.log, plain.log);
            EXPECT_GT(made.ahead, 0);
            if (row.ahead == row.at && row.fade == 0) {
                EXPECT_EQ(made.bySplit + made.ahead, plain.bySplit);
            }
        }
    }
}

// A copy ahead that no split asks for, abandoned or stopped, leaves the folder as it was.
TEST(CopyAhead, LeavesNothingUnasked) {
    const TempFolder folder;
    const std::string source =
        folder.Write("song.mp3", ReadFile(std::string(QUORVEL_FIXTURES) + "/cbr128.mp3"));
    platform::TagLibEditor tags;
    for (const bool stopped : {false, true}) {
        CopyAhead copying(local, [stopped] { return stopped; });
        copying.Start(Request(source, folder.path, false, 2s), tags);
        copying.Abandon();
        EXPECT_EQ(folder.Names(), std::set<std::string>{"song.mp3"});
    }
}

// A source rewritten once its copy ahead began is split as it stands when the split opens
// it, whatever the copy read.
TEST(CopyAhead, ASourceRewrittenMeanwhileIsSplitAsItStands) {
    const TempFolder folder, other;
    Bytes rewritten = ReadFile(std::string(QUORVEL_FIXTURES) + "/cbr128.mp3");
    const std::string source = folder.Write("song.mp3", rewritten);
    rewritten.back() ^= 0x55;
    const std::string expected = other.Write("song.mp3", rewritten);
    // Written long ago, so that the rewrite shows in its times whatever the clock's steps.
    const timespec longAgo[2] = {{946684800, 0}, {946684800, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), longAgo, 0), 0);

    platform::TagLibEditor aheadTags, tags;
    CopyAhead copying(local, [] { return false; });
    copying.Start(Request(source, folder.path, false, 2s), aheadTags);
    folder.Write("song.mp3", rewritten);
    test::FakeForm window, plain;
    ASSERT_EQ(
        Split(Request(source, folder.path, false, 2s), copying, tags, decoder, window).Outcome,
        SplitOutcome::Completed);
    ASSERT_EQ(Split(Request(expected, other.path, false, 2s), local, tags, decoder, plain).Outcome,
              SplitOutcome::Completed);
    for (const char* part : {"/song1.mp3", "/song2.mp3"}) {
        EXPECT_EQ(ReadFile(folder.path + part), ReadFile(other.path + part)) << part;
    }
}

}  // namespace
}  // namespace quorvel
