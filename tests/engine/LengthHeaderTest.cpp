#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "Frames.h"
#include "TestFiles.h"
#include "engine/SplitPlan.h"

namespace quorvel {
namespace {

using test::Bytes;
using test::KeepTags;
using test::Stream;
using test::operator+;

std::uint32_t BigEndian(const Bytes& bytes, std::size_t at, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i) value = value << 8 | bytes[at + i];
    return value;
}

void Put(Bytes& bytes, std::size_t at, std::size_t count, std::uint32_t value) {
    for (std::size_t i = count; i-- > 0; value >>= 8) bytes[at + i] = std::uint8_t(value);
}

// The first frame's own bytes in an output plan.
Bytes FirstFrame(const OutputPlan& plan) {
    for (const auto& piece : plan) {
        if (!piece.Bytes.empty()) return piece.Bytes;
    }
    return {};
}

// 100 frames of 417 bytes whose first holds a length header; the cut falls at frame 39
// (1 s) and borrows nothing. The first part holds frames 1 to 38 after its header frame,
// the second frames 39 to 99 after its own. A header without a LAME tag states no delay:
// the second part's is a new one with a LAME tag whose delay skips a silent frame, as
// mpg123 would skip its own delay after the source's header, where the source plays on.
class LengthHeaders : public testing::Test {
  protected:
    OutputPlans Split() {
        MemorySource source(stream);
        KeepTags tags;
        return PlanOutputs(Cut{.At = 39 * 417, .FramesBefore = 39, .PrevFrameLength = 417}, false,
                           source, tags);
    }
    Bytes stream = Stream(100, 417);
};

TEST_F(LengthHeaders, XingStatesEachPartsFramesBytesAndSeekTable) {
    std::memcpy(stream.data() + 36, "Xing", 4);
    Put(stream, 40, 4, 0x7);  // frames, bytes and the seek table; no LAME tag
    const OutputPlans plans = Split();
    const Bytes one = FirstFrame(plans.First);
    const Bytes two = FirstFrame(plans.Second);
    ASSERT_EQ(one.size(), 417u);
    const std::uint32_t header = std::uint32_t(two.size());
    EXPECT_EQ(std::string(one.begin() + 36, one.begin() + 40), "Xing");
    EXPECT_EQ(BigEndian(one, 44, 4), 38u);
    EXPECT_EQ(BigEndian(one, 48, 4), 39u * 417);
    EXPECT_EQ(std::string(two.begin() + 36, two.begin() + 40), "Info");
    EXPECT_EQ(BigEndian(two, 44, 4), 62u);
    EXPECT_EQ(BigEndian(two, 48, 4), header + 62u * 417);
    EXPECT_EQ(BigEndian(two, 156 + 21, 3), 623u << 12 | 529);
    // Entry i: where the frame at i % of the part starts, in 256ths of its bytes.
    EXPECT_EQ(one[52 + 0], 256 * 1 / 39);
    EXPECT_EQ(one[52 + 50], 256 * (1 + 19) / 39);
    EXPECT_EQ(two[52 + 99], 256 * (header + 61 * 417) / (header + 62 * 417));

    // The last frame counts, whole, whatever ends the audio: the end of a file cut short,
    // an APEv2 tag, a Lyrics3 block, bytes of no frame. Both parts end with the tags.
    Bytes ape(32, 0);
    std::memcpy(ape.data(), "APETAGEX", 8);
    ape[12] = 32;  // the tag's size, its footer alone
    const std::string lyrics = "LYRICSBEGININD0000200000021LYRICS200";
    const Bytes whole = stream;
    for (const Bytes& end : {Bytes{}, ape, Bytes(lyrics.begin(), lyrics.end()), Bytes(50, 'x')}) {
        stream = end.empty() ? Bytes(whole.begin(), whole.end() - 200) : whole + end;
        const OutputPlans plans = Split();
        const Bytes counted = FirstFrame(plans.Second);
        EXPECT_EQ(BigEndian(counted, 44, 4), 62u) << end.size();
        EXPECT_EQ(BigEndian(counted, 48, 4), counted.size() + 62u * 417) << end.size();
        const bool tag = end.size() == ape.size() || end.size() == lyrics.size();
        EXPECT_EQ(plans.First.back().SourceOffset == std::int64_t(whole.size()), tag) << end.size();
    }
}

TEST_F(LengthHeaders, VbriStatesEachPartsFramesBytesAndSeekTable) {
    std::memcpy(stream.data() + 36, "VBRI", 4);
    Put(stream, 40, 2, 1);   // version
    Put(stream, 54, 2, 10);  // seek-table entries
    Put(stream, 56, 2, 1);   // scale
    Put(stream, 58, 2, 2);   // bytes an entry
    Put(stream, 60, 2, 1);   // frames an entry
    const OutputPlans plans = Split();
    const Bytes one = FirstFrame(plans.First);
    const Bytes two = FirstFrame(plans.Second);
    EXPECT_EQ(BigEndian(one, 46, 4), 39u * 417);
    EXPECT_EQ(BigEndian(one, 50, 4), 38u);
    EXPECT_EQ(BigEndian(one, 60, 2), 4u);  // 38 frames in 10 entries
    EXPECT_EQ(BigEndian(one, 62 + 2 * 0, 2), 4u * 417);
    EXPECT_EQ(BigEndian(one, 62 + 2 * 9, 2), 2u * 417);
    EXPECT_EQ(std::string(two.begin() + 36, two.begin() + 40), "Info");
    EXPECT_EQ(BigEndian(two, 44, 4), 62u);
}

// The Info frame lame writes: frames, bytes, seek table and quality, then its tag with a
// start delay of 576 and an end padding of 1000 samples.
TEST_F(LengthHeaders, ALameTagGetsASilentFrameToSkipEvenWhenNothingIsBorrowed) {
    std::memcpy(stream.data() + 36, "Info", 4);
    Put(stream, 40, 4, 0xF);
    std::memcpy(stream.data() + 156, "LAME3.100", 9);
    Put(stream, 156 + 21, 3, 576 << 12 | 1000);
    const OutputPlans plans = Split();
    const Bytes one = FirstFrame(plans.First);
    const Bytes two = FirstFrame(plans.Second);
    EXPECT_EQ(BigEndian(one, 156 + 21, 3), 576u << 12 | 0);     // ends on a frame boundary
    EXPECT_EQ(BigEndian(one, 156 + 28, 4), 39u * 417);          // music length
    EXPECT_EQ(BigEndian(two, 156 + 21, 3), 623u << 12 | 1000);  // skips the added frame
    EXPECT_EQ(BigEndian(two, 44, 4), 62u);
    EXPECT_EQ(BigEndian(two, 48, 4), 63u * 417);

    // The second part: its Info frame, the silent frame, then the source from frame 39.
    ASSERT_EQ(plans.Second.size(), 3u);
    Bytes silent = Bytes(stream.begin() + 38 * 417, stream.begin() + 38 * 417 + 4);
    silent.resize(417, 0);
    EXPECT_EQ(plans.Second[1].Bytes, silent);
    EXPECT_EQ(plans.Second[2].SourceOffset, 39 * 417);
}

// A header whose fields would run past its frame is no header: the frame is copied.
TEST_F(LengthHeaders, AHeaderThatDoesNotFitItsFrameIsCopied) {
    std::memcpy(stream.data() + 36, "VBRI", 4);
    Put(stream, 54, 2, 400);
    Put(stream, 58, 2, 4);
    const OutputPlans plans = Split();
    EXPECT_TRUE(FirstFrame(plans.First).empty());
    EXPECT_TRUE(FirstFrame(plans.Second).empty());
}

}  // namespace
}  // namespace quorvel
