#include "engine/CopyAhead.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
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

using test::Bytes;
using test::ReadFile;
using test::TempFolder;

platform::LocalFileSystem local;

// The files, counting the source bytes the outputs copy, and of those the bytes copied on
// another thread than the test's.
class CountedCopies final : public FileSystemWrapper {
  public:
    explicit CountedCopies(FileSystem& files) : FileSystemWrapper(files) {}
    std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override {
        return std::make_unique<Output>(FileSystemWrapper::CreateOutput(path), *this);
    }

    std::atomic<std::int64_t> copied = 0;
    std::atomic<std::int64_t> copiedAhead = 0;

  private:
    class Output final : public OutputFile {
      public:
        Output(std::unique_ptr<OutputFile> output, CountedCopies& files)
            : output_(std::move(output)), files_(files) {}
        void Write(std::span<const std::uint8_t> bytes) override { output_->Write(bytes); }
        void CopyFrom(SourceFile& source, std::int64_t offset, std::int64_t length) override {
            output_->CopyFrom(source, offset, length);
            files_.copied += length;
            if (std::this_thread::get_id() != kTests) files_.copiedAhead += length;
        }
        void MoveTo(std::int64_t at) override { output_->MoveTo(at); }
        void EndHere() override { output_->EndHere(); }
        std::unique_ptr<SourceFile> ReadBack() override { return output_->ReadBack(); }
        std::string Stage() override { return output_->Stage(); }
        void Release() override { output_->Release(); }

      private:
        std::unique_ptr<OutputFile> output_;
        CountedCopies& files_;
    };
    static inline const std::thread::id kTests = std::this_thread::get_id();
};

// A split of a fixture into a folder of its own, its audio copied ahead at `ahead` (none:
// not), the split itself at `at`.
struct Made {
    std::vector<Bytes> parts;
    std::string log;
    std::int64_t copied = 0;  // source bytes copied into the outputs, ahead or by the split
    std::int64_t copiedAhead = 0;
};

SplitRequest Request(const std::string& source, const std::string& folder, bool exact,
                     std::chrono::milliseconds at) {
    SplitRequest request;
    request.Source = source;
    request.Folder = folder;
    request.Exact = exact;
    request.Existing = ExistingOutputs::Replace;
    request.Parts.Times = {{at}};
    return request;
}

Made SplitFixture(const std::string& name, bool exact,
                  std::optional<std::chrono::milliseconds> ahead, std::chrono::milliseconds at) {
    const TempFolder folder;
    const std::string source =
        folder.Write(name + ".mp3", ReadFile(std::string(QUORVEL_FIXTURES) + "/" + name + ".mp3"));
    CountedCopies counted(local);
    platform::TagLibEditor aheadTags, tags;
    CopyAhead copying(counted, [] { return false; });
    if (ahead) copying.Start(Request(source, folder.path, exact, *ahead), aheadTags);
    test::FakeForm window;
    test::NoDecoder decoder;
    const SplitReport report =
        Split(Request(source, folder.path, exact, at), copying, tags, decoder, window);
    copying.Abandon();
    EXPECT_EQ(report.Outcome, SplitOutcome::Completed) << window.log;
    Made made{{}, window.log, counted.copied, counted.copiedAhead};
    for (const std::string& path : report.Paths) made.parts.push_back(ReadFile(path));
    // Named from the folder: the same in both runs.
    for (auto at = made.log.find(folder.path); at != std::string::npos;
         at = made.log.find(folder.path)) {
        made.log.replace(at, folder.path.size(), "FOLDER");
    }
    EXPECT_EQ(folder.Names().size(), 1 + made.parts.size());
    return made;
}

// The parts and the log are the same whether the last part's audio was copied ahead or not,
// by either rule, with or without an ID3v2 tag, chapters, a header frame or free-format
// frames; the audio copied ahead is not copied again.
TEST(CopyAhead, GivesTheSplitsOwnPartsCopyingTheAudioOnce) {
    using namespace std::chrono_literals;
    for (const char* name :
         {"cbr128", "id3v2", "chapters", "apev2", "id3v1", "vbr", "free", "mpeg2"}) {
        for (const bool exact : {false, true}) {
            SCOPED_TRACE(std::string(name) + (exact ? " at the sample" : " by the frame rule"));
            const Made plain = SplitFixture(name, exact, std::nullopt, 2s);
            const Made ahead = SplitFixture(name, exact, 2s, 2s);
            ASSERT_EQ(plain.parts.size(), 2u);
            EXPECT_TRUE(ahead.parts == plain.parts);
            EXPECT_EQ(ahead.log, plain.log);
            EXPECT_EQ(ahead.copied, plain.copied);
            EXPECT_GT(ahead.copiedAhead, 0);
        }
    }
}

// Copied ahead for another time than the split's, the audio lies elsewhere than the split
// puts it, and reaches further or not as far: the parts are the split's all the same.
TEST(CopyAhead, AWrongGuessIsWrittenOver) {
    using namespace std::chrono_literals;
    for (const auto& [ahead, at] : {std::pair{1s, 3s}, std::pair{3s, 1s}}) {
        SCOPED_TRACE(std::to_string(ahead.count()) + " s ahead, " + std::to_string(at.count()) +
                     " s split");
        const Made plain = SplitFixture("id3v2", false, std::nullopt, at);
        const Made wrong = SplitFixture("id3v2", false, ahead, at);
        EXPECT_TRUE(wrong.parts == plain.parts);
        EXPECT_EQ(wrong.log, plain.log);
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
        copying.Start(Request(source, folder.path, false, std::chrono::seconds(2)), tags);
        copying.Abandon();
        EXPECT_EQ(folder.Names(), std::set<std::string>{"song.mp3"});
    }
}

// A source rewritten once its copy ahead began is split as it stands when the split opens
// it, whatever the copy read.
TEST(CopyAhead, ASourceRewrittenMeanwhileIsSplitAsItStands) {
    const TempFolder folder, other;
    const Bytes fixture = ReadFile(std::string(QUORVEL_FIXTURES) + "/cbr128.mp3");
    const std::string source = folder.Write("song.mp3", fixture);
    Bytes rewritten = fixture;
    rewritten.back() ^= 0x55;
    const std::string expected = other.Write("song.mp3", rewritten);
    // Written long ago, so that the rewrite shows in its times whatever the clock's steps.
    const timespec longAgo[2] = {{946684800, 0}, {946684800, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), longAgo, 0), 0);

    platform::TagLibEditor aheadTags, tags;
    test::NoDecoder decoder;
    CopyAhead copying(local, [] { return false; });
    copying.Start(Request(source, folder.path, false, std::chrono::seconds(2)), aheadTags);
    std::fstream(source, std::ios::in | std::ios::out | std::ios::binary)
        .write(reinterpret_cast<const char*>(rewritten.data()), std::streamsize(rewritten.size()));
    test::FakeForm window, plain;
    const auto at = std::chrono::seconds(2);
    ASSERT_EQ(
        Split(Request(source, folder.path, false, at), copying, tags, decoder, window).Outcome,
        SplitOutcome::Completed);
    ASSERT_EQ(Split(Request(expected, other.path, false, at), local, tags, decoder, plain).Outcome,
              SplitOutcome::Completed);
    EXPECT_EQ(ReadFile(folder.path + "/song2.mp3"), ReadFile(other.path + "/song2.mp3"));
    EXPECT_EQ(ReadFile(folder.path + "/song1.mp3"), ReadFile(other.path + "/song1.mp3"));
}

}  // namespace
}  // namespace quorvel
