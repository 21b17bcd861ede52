#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "TestFiles.h"
#include "engine/FrameChain.h"
#include "engine/PartLists.h"

namespace quorvel {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

// The sample of the played samples a start falls on, as the exact mode's cut rounds it.
std::int64_t SampleOf(microseconds start, std::int64_t rate) {
    return (start.count() * rate + 500'000) / 1'000'000;
}

// The samples mpg123 --gapless plays of each fixture: lame's Info frame, its delay and its
// padding left out; every frame of the one without an Info frame.
TEST(PlayedLength, IsWhatTheDecodersPlayGaplessly) {
    const struct {
        const char* name;
        std::int64_t samples;
        std::int32_t rate;
    } cases[] = {
        {"cbr128.mp3", 198450, 44100}, {"vbr.mp3", 198450, 44100},  {"mpeg2.mp3", 99225, 22050},
        {"mpeg25.mp3", 49613, 11025},  {"mono.mp3", 144000, 32000}, {"noinfo.mp3", 200448, 44100},
        {"vbr48.mp3", 216000, 48000},
    };
    for (const auto& c : cases) {
        const test::Bytes bytes = test::ReadFile(std::string(QUORVEL_FIXTURES "/") + c.name);
        MemorySource source(bytes);
        FileInformation info;
        const double seconds = ScanFrameChain(source, info).TotalSeconds;
        const PlayedLength length = MeasurePlayedLength(source, seconds);
        EXPECT_EQ(length.Samples, c.samples) << c.name;
        EXPECT_EQ(length.SamplingRate, c.rate) << c.name;
    }
}

// Equal parts of the played length: each cut at the sample nearest its share, so that the
// parts differ by a sample at most and together are the whole length (200 s at 48 kHz in
// three: 3,200,000 samples each).
TEST(PartLists, EqualPartsAreWithinASampleOfEachOther) {
    const struct {
        PlayedLength length;
        std::int64_t count;
    } cases[] = {
        {{198450, 44100, 1152}, 4}, {{9600000, 48000, 1152}, 3},   {{8820000, 44100, 1152}, 7},
        {{49613, 11025, 576}, 3},   {{1234567, 48000, 1152}, 999},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.length.Samples << " in " << c.count);
        const std::vector<PartStart> starts = EqualStarts(c.count, c.length);
        ASSERT_EQ(std::int64_t(starts.size()), c.count);
        EXPECT_EQ(starts.front().Start, microseconds(0));
        std::vector<std::int64_t> lengths;
        for (std::size_t i = 0; i < starts.size(); ++i) {
            const std::int64_t end = i + 1 < starts.size()
                                         ? SampleOf(starts[i + 1].Start, c.length.SamplingRate)
                                         : c.length.Samples;
            lengths.push_back(end - SampleOf(starts[i].Start, c.length.SamplingRate));
        }
        const auto [shortest, longest] = std::ranges::minmax(lengths);
        EXPECT_LE(longest - shortest, 1);
        EXPECT_EQ(c.length.Samples / c.count, shortest);
    }
}

// A part every so often from the start; a rest shorter than a frame joins the part before
// (10:00 every 2:30 is four parts, not five with a last of nothing).
TEST(PartLists, EveryStepLeavesNoPartShorterThanAFrame) {
    const struct {
        std::int64_t samples;
        milliseconds step;
        std::vector<std::int64_t> startsMs;
    } cases[] = {
        {600 * 44100, milliseconds(150000), {0, 150000, 300000, 450000}},
        {2 * 44100 + 1152, milliseconds(1000), {0, 1000, 2000}},
        {2 * 44100 + 1151, milliseconds(1000), {0, 1000}},
        {2 * 44100, milliseconds(700), {0, 700, 1400}},
        {2 * 44100, milliseconds(0), {0}},
    };
    for (const auto& c : cases) {
        std::vector<std::int64_t> startsMs;
        for (const PartStart& start : EveryStarts(c.step, {c.samples, 44100, 1152})) {
            startsMs.push_back(std::chrono::duration_cast<milliseconds>(start.Start).count());
        }
        EXPECT_EQ(startsMs, c.startsMs) << c.samples << " every " << c.step.count();
    }
}

// A track's start in the sheet's 1/75 s frames, to the microsecond: at 44.1 kHz the cut
// falls on the frame's own sample (588 a frame), not on the nearest millisecond's.
TEST(PartLists, CueTracksStartWhereTheirFramesDo) {
    CueSheet sheet;
    for (const std::int64_t frames : {0, 1, 2, 60 * 75 + 74}) {
        sheet.Tracks.push_back({frames, "T" + std::to_string(frames), "P", 1});
    }
    const std::vector<PartStart> starts = CueStarts(sheet);
    const std::int64_t expected[] = {0, 13333, 26667, 60986667};
    ASSERT_EQ(starts.size(), 4u);
    for (std::size_t i = 0; i < starts.size(); ++i) {
        EXPECT_EQ(starts[i].Start.count(), expected[i]);
        EXPECT_EQ(SampleOf(starts[i].Start, 44100), sheet.Tracks[i].StartFrames * 588);
        EXPECT_EQ(starts[i].Title, sheet.Tracks[i].Title);
        EXPECT_EQ(starts[i].Performer, "P");
    }
}

// The chapters a tag lists, in the tag's order, as a tag library would read them.
class ListedChapters final : public TagEditor {
  public:
    ListedChapters(std::vector<Chapter> chapters, std::optional<Message> unread)
        : chapters_(std::move(chapters)), unread_(std::move(unread)) {}
    std::optional<std::vector<std::uint8_t>> ForPart(std::span<const std::uint8_t>,
                                                     PartTime) override {
        return std::nullopt;
    }
    std::vector<Chapter> Chapters(std::span<const std::uint8_t>) override { return chapters_; }
    std::optional<Message> Unread() const override { return unread_; }

  private:
    std::vector<Chapter> chapters_;
    std::optional<Message> unread_;
};

// Chapters start parts in the order of their starts, whatever the tag's; each part lasts
// until the next chapter starts, one of no length too. Two chapters that start together
// are refused as a cue sheet's tracks are, naming both by their places in the tag, and so
// is a tag that could not be read.
TEST(PartLists, ChaptersStartPartsOrAreRefusedWhereTwoShareAStart) {
    const struct {
        const char* name;
        std::vector<Chapter> chapters;
        std::vector<std::string> starts;  // milliseconds and title, or the refusal
        std::optional<Message> unread = std::nullopt;
    } cases[] = {
        {"listed out of order",
         {{60000, 90000, "B"}, {0, 60000, "A"}, {90000, 95000, "C"}},
         {"0 A", "60000 B", "90000 C"}},
        {"one of no length",
         {{0, 60000, "A"}, {60000, 60000, "Mark"}, {90000, 95000, "B"}},
         {"0 A", "60000 Mark", "90000 B"}},
        {"one of no length where the next starts",
         {{0, 60000, "A"}, {60000, 60000, "Mark"}, {60000, 95000, "B"}},
         {"Chapter 3 of the tag: 1:00 is also the start of chapter 2; each chapter needs a "
          "start of its own."}},
        {"two at once, listed apart",
         {{61500, 90000, "B"}, {0, 60000, "A"}, {61500, 95000, "C"}},
         {"Chapter 3 of the tag: 1:01,500 is also the start of chapter 1; each chapter needs a "
          "start of its own."}},
        {"none", {}, {}},
        {"a tag left unread",
         {},
         {"The source's ID3v2 tag could not be read (too deep)."},
         Message("too deep")},
    };
    test::Bytes tag{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 16};
    tag.resize(26);
    MemorySource source(tag);
    for (const auto& c : cases) {
        ListedChapters tags(c.chapters, c.unread);
        const auto read = ChapterStarts(source, tags, ",");
        std::vector<std::string> starts;
        if (const auto* why = std::get_if<Message>(&read)) {
            starts.push_back(English(*why));
        } else {
            for (const PartStart& start : std::get<std::vector<PartStart>>(read)) {
                starts.push_back(
                    std::to_string(std::chrono::duration_cast<milliseconds>(start.Start).count()) +
                    " " + start.Title);
            }
        }
        EXPECT_EQ(starts, c.starts) << c.name;
    }
}

// Times typed in any order start parts in order after the first, which the request does
// not cut at; a time typed twice stays, for the split to refuse.
TEST(PartLists, TypedTimesStartPartsInOrder) {
    const PartsRequest request =
        PartsAt(StartsAt({milliseconds(2000), milliseconds(1000), milliseconds(1000)}));
    EXPECT_EQ(request.Times.At, (std::vector<microseconds>{milliseconds(1000), milliseconds(1000),
                                                           milliseconds(2000)}));
    EXPECT_TRUE(request.Labels.Numbered);
    EXPECT_EQ(request.Labels.Titles.size(), 4u);
}

}  // namespace
}  // namespace quorvel
