#include "engine/Assembly.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "TestFiles.h"

namespace quorvel {
namespace {

using test::Bytes;
using test::operator+;
using test::Slice;

// A source held in memory, as a file.
class MemoryFile final : public SourceFile {
  public:
    explicit MemoryFile(Bytes bytes) : bytes_(std::move(bytes)), memory_(bytes_) {}
    const std::string& Path() const override { return path_; }
    std::int64_t Size() const override { return memory_.Size(); }
    std::size_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::size_t count) override {
        return memory_.ReadAt(offset, buffer, count);
    }

  private:
    Bytes bytes_;
    MemorySource memory_;
    std::string path_ = "memory.mp3";
};

// Bit rate indexes of MPEG 1 at 44100 Hz and their frames' lengths, no padding.
constexpr int k128 = 9, k224 = 12, k320 = 14;
std::size_t LengthAt(int index) {
    static constexpr int kKbits[] = {0,   32,  40,  48,  56,  64,  80, 96,
                                     112, 128, 160, 192, 224, 256, 320};
    return std::size_t(144 * kKbits[index] * 1000 / 44100);
}

// An MPEG 1 stereo frame without CRC (side information of 32 bytes) whose back pointer is
// `borrows` and whose first two granules code `coded` bytes between them; its main data
// bytes are `fill`.
Bytes Frame(int index, int borrows, int coded, std::uint8_t fill) {
    Bytes frame(LengthAt(index), fill);
    frame[0] = 0xFF, frame[1] = 0xFB, frame[2] = std::uint8_t(index << 4), frame[3] = 0x44;
    std::fill(frame.begin() + 4, frame.begin() + 36, 0);
    frame[4] = std::uint8_t(borrows >> 1), frame[5] = std::uint8_t((borrows & 1) << 7);
    // Each granule's coded length: 12 bits, the first at bit 52, the next 59 bits on.
    const auto put = [&frame](std::size_t bit, int bits) {
        for (int i = 11; i >= 0; --i, ++bit) {
            if (bits >> i & 1) frame[bit / 8] |= std::uint8_t(0x80 >> bit % 8);
        }
    };
    const int first = std::min(coded * 8, 4095);
    put(52, first);
    put(52 + 59, coded * 8 - first);
    return frame;
}

// What a seam's frames before it come to hold, by how much room they have after their own
// main data: the room itself, the room the frames before lend, a larger bit rate, or a
// silent frame of the largest added where even that is too small.
TEST(AssemblyCarry, PutsTheBorrowedBytesWhereTheFramesBeforeTheSeamHaveRoom) {
    const struct {
        const char* what;
        Bytes before;  // the frames before the seam, the last one last
        std::size_t carried;
        Carried how;
        std::size_t frames;      // after the carry, the seam's frame too
        std::size_t lastLength;  // of the frame before the seam
    } cases[] = {
        {"room after its own", Frame(k128, 0, 100, 7), 200, Carried::InPlace, 2, LengthAt(k128)},
        {"room the frames before lend too", Frame(k128, 0, 0, 6) + Frame(k128, 300, 50, 7), 450,
         Carried::InPlace, 3, LengthAt(k128)},
        {"a larger bit rate", Frame(k128, 0, 381, 7), 300, Carried::Widened, 2, LengthAt(k224)},
        {"no bit rate large enough", Frame(k320, 0, 900, 7), 300, Carried::AddedFrame, 3,
         LengthAt(k320)},
        {"nothing borrowed", Frame(k128, 0, 381, 7), 0, Carried::Nothing, 2, LengthAt(k128)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryFile file(c.before + Frame(k128, int(c.carried), 10, 9));
        std::vector<AssemblySource> sources = {ReadAssemblySource(file)};
        const std::size_t seam = sources[0].Frames.size() - 1;
        Assembly assembly(sources);
        assembly.AppendRun(0, 0, seam + 1);
        const Bytes carried(c.carried, 0xC5);
        ASSERT_EQ(assembly.Carry(seam, carried), c.how);
        ASSERT_EQ(assembly.Count(), c.frames);
        const std::size_t before = c.frames - 2;
        const AssembledFrame& last = assembly.At(before);
        EXPECT_EQ(std::size_t(last.Frame.Frame.FrameLength), c.lastLength);
        if (c.how == Carried::Nothing) {
            EXPECT_TRUE(last.Bytes.empty());
            continue;
        }
        // The frames before the seam end their main data with the borrowed bytes, their own
        // main data kept where it was.
        Bytes tail;
        for (std::size_t i = 0; i <= before; ++i) {
            const Bytes& bytes = assembly.At(i).Bytes;
            if (!bytes.empty()) tail.insert(tail.end(), bytes.begin() + 36, bytes.end());
        }
        EXPECT_EQ(Slice(tail, std::int64_t(tail.size() - c.carried), std::int64_t(tail.size())),
                  carried);
        if (c.how == Carried::Widened) {
            EXPECT_EQ(last.Bytes[2] >> 4, k224);
            EXPECT_EQ(Slice(last.Bytes, 36, 36 + 381), Slice(c.before, 36, 36 + 381));
        }
        if (c.how == Carried::AddedFrame) {
            EXPECT_EQ(assembly.At(before - 1).Bytes, Bytes{}) << "the frame before kept";
            EXPECT_EQ(last.Frame.Frame.MainDataBegin, 0);
        }
    }
}

// An output whose first frames went opens with a silent frame like its first, whose main
// data ends with what that first frame borrows of them; a start delay is to skip it.
TEST(AssemblyOpenWithSilence, CarriesWhatTheFirstFrameBorrowsInAFrameThatCodesNothing) {
    MemoryFile file(Frame(k128, 0, 381, 7) + Frame(k128, 0, 100, 8) + Frame(k128, 120, 10, 9));
    std::vector<AssemblySource> sources = {ReadAssemblySource(file)};
    Assembly assembly(sources);
    assembly.AppendRun(0, 2, 3);
    const auto carried = MainDataTail(file, std::span(sources[0].Frames).first(2), 120);
    EXPECT_EQ(carried, Bytes(120, 8)) << "the end of the frame before's main data";
    ASSERT_EQ(assembly.OpenWithSilence(carried), Carried::AddedFrame);
    ASSERT_EQ(assembly.Count(), 2u);
    const Bytes& opening = assembly.At(0).Bytes;
    FrameStartBytes start{};
    std::copy_n(opening.begin(), start.size(), start.begin());
    EXPECT_TRUE(CodesNothing(start));
    EXPECT_EQ(Slice(opening, std::int64_t(opening.size()) - 120, std::int64_t(opening.size())),
              carried);
    EXPECT_EQ(assembly.At(1).Frame.Offset, sources[0].Frames[2].Offset);
}

// The output of two sources: each one's frames one range, a header frame stating them all
// and the gapless values, then the tags after the first source's audio.
TEST(AssemblyPlan, CountsEveryFrameOfEverySourceUnderOneHeader) {
    Bytes tag = {'T', 'A', 'G'};
    tag.resize(128, ' ');
    MemoryFile one(Frame(k128, 0, 10, 1) + Frame(k128, 0, 10, 2) + tag);
    MemoryFile two(Frame(k128, 0, 10, 3) + Frame(k128, 0, 10, 4) + Frame(k128, 0, 10, 5));
    std::vector<AssemblySource> sources = {ReadAssemblySource(one), ReadAssemblySource(two)};
    Assembly assembly(sources);
    assembly.AppendRun(0, 0, 2);
    assembly.AppendRun(1, 1, 3);
    const auto header = AssemblyHeader(sources[0], assembly.VariableBitRate(), true);
    ASSERT_TRUE(header);
    const OutputPlan plan = assembly.Plan({}, *header, {576, 1000}, 0);
    ASSERT_EQ(plan.size(), 4u);
    const std::size_t length = LengthAt(k128);
    EXPECT_EQ(plan[1].SourceOffset, 0);
    EXPECT_EQ(plan[1].Length, std::int64_t(2 * length));
    EXPECT_EQ(plan[1].Source, 0u);
    EXPECT_EQ(plan[2].SourceOffset, std::int64_t(length));
    EXPECT_EQ(plan[2].Length, std::int64_t(2 * length));
    EXPECT_EQ(plan[2].Source, 1u);
    EXPECT_EQ(plan[3].Length, 128);
    HeaderBytes bytes{};
    std::copy_n(plan[0].Bytes.begin(), bytes.size(), bytes.begin());
    FileInformation info;
    FrameValues values;
    ASSERT_TRUE(DecodeFrameHeader(bytes, info, values));
    const auto stated = FindLengthHeader(plan[0].Bytes, values);
    ASSERT_TRUE(stated);
    const auto counts = ReadStatedLength(plan[0].Bytes, *stated);
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->Frames, 4);
    // The ID3v1 tag after them counted, as ffmpeg would take it for more of so short a
    // stream.
    EXPECT_EQ(counts->Bytes, std::int64_t(plan[0].Bytes.size() + 4 * length + 128));
    const auto gapless = ReadGapless(plan[0].Bytes, *stated);
    ASSERT_TRUE(gapless);
    EXPECT_EQ(gapless->Delay, 576);
    EXPECT_EQ(gapless->Padding, 1000);
}

}  // namespace
}  // namespace quorvel
