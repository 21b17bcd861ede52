#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Frames.h"
#include "TestFiles.h"
#include "engine/AddedFrames.h"
#include "engine/ByteSource.h"
#include "engine/OutputNames.h"
#include "engine/SplitPlan.h"
#include "engine/SplitSearch.h"
#include "engine/Tags.h"

namespace quorvel {
namespace {

using test::AddedFrame;
using test::Bytes;
using test::KeepTags;
using test::Slice;
using test::operator+;
using test::SetBackPointer;
using test::Stream;
using test::WithoutNewHeader;

Bytes Tag() {
    Bytes tag(128, 0);
    tag[0] = 'T', tag[1] = 'A', tag[2] = 'G';
    return tag;
}

// Frame 6890 starts at 179.98 s and frame 6891 at 180.01 s. The frame before has 381
// bytes of main data behind its header and side information, 379 behind a CRC too.
TEST(FindCutByTheFrameRule, CutsAtTheFirstSafeFrameFromTheSplitTime) {
    const struct {
        std::uint8_t byte1;
        int splitFramePointer;
        std::int64_t frame;
        std::int32_t mainDataBegin;
    } cases[] = {{0xFB, 0, 6891, 0},
                 {0xFB, 381, 6891, 381},
                 {0xFB, 382, 6892, 0},
                 {0xFA, 379, 6891, 379},
                 {0xFA, 380, 6892, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "byte 1 " << int(c.byte1) << ", M " << c.splitFramePointer);
        Bytes stream = Stream(7000, 417, c.byte1);
        SetBackPointer(stream, 6891, c.splitFramePointer, 417);
        MemorySource source(stream);
        FileInformation info;
        const Cut point = FindCut(source, std::chrono::seconds(180), false, info);
        EXPECT_EQ(point.At, c.frame * 417);
        EXPECT_EQ(point.FramesBefore, c.frame);
        EXPECT_EQ(point.PrevFrameLength, 417);
        EXPECT_EQ(point.PrevSideInfoSize, 32);
        EXPECT_EQ(point.Borrowed, c.mainDataBegin);
    }
}

TEST(FindCutByTheFrameRule, NeverCutsAtAFrameTheChainEndsWith) {
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
        const Cut point = FindCut(source, std::chrono::seconds(c.seconds), false, info);
        EXPECT_EQ(point.At, c.position);
        EXPECT_EQ(point.FramesBefore, c.frames);
    }
}

// The worked frame: 418 bytes, header 0xFF 0xFB (0xFA with a CRC) 0x92 0x64. Its side
// information and its own main data become zeros up to the last M bytes; a CRC is
// worked out anew over header bytes 2 and 3 and the zeroed side information.
TEST(RewriteAddedFrame, LeavesASilentFrameThatCarriesTheBorrowedBytes) {
    const struct {
        bool crc;
        std::int16_t sideInfo;
        std::int32_t mainDataBegin;
        int zeroFrom, zeroTo;  // inclusive
        std::uint16_t frameCrc;
    } cases[] = {
        {false, 32, 120, 4, 297, 0},
        {true, 32, 120, 6, 297, 0x0F6C},
        {false, 17, 397, 4, 20, 0},
        {false, 32, 0, 4, 417, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "CRC " << c.crc << ", S " << c.sideInfo << ", M " << c.mainDataBegin);
        Bytes frame(418, 0xAA);
        frame[0] = 0xFF, frame[1] = c.crc ? 0xFA : 0xFB, frame[2] = 0x92, frame[3] = 0x64;
        Bytes expected = frame;
        for (int i = c.zeroFrom; i <= c.zeroTo; ++i) expected[std::size_t(i)] = 0;
        if (c.crc) expected[4] = std::uint8_t(c.frameCrc >> 8), expected[5] = c.frameCrc & 0xFF;
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
        const Cut point{.At = std::int64_t(at),
                        .FramesBefore = 39,
                        .Borrowed = mainDataBegin,
                        .PrevFrameLength = 418,
                        .PrevSideInfoSize = 32};
        Bytes first = Slice(stream, 0, at);
        std::fill(first.end() - mainDataBegin, first.end(), 0);
        Bytes second = Slice(stream, at, stream.size());
        if (mainDataBegin > 0) {
            const bool crc = byte1 == 0xFA;
            second =
                AddedFrame(Slice(stream, at - 418, at), crc ? 6 : 4, std::size_t(mainDataBegin),
                           crc ? std::optional<std::uint16_t>(0x0F6C) : std::nullopt) +
                second;
        }
        KeepTags tags;
        const OutputPlans plans = PlanOutputs(point, false, source, tags);
        EXPECT_EQ(Materialise(plans.First, stream), first);
        const Bytes two = Materialise(plans.Second, stream);
        EXPECT_EQ(mainDataBegin > 0 ? WithoutNewHeader(two) : two, second);
    }
}

// Where the outputs share the source's blocks, each part's ID3v2 tag takes the padding that
// puts the first byte the part copies from the source at that byte's offset within a block,
// so that the part's whole blocks lie as the source's do; the first part's tag keeps the
// source's size, and a source without a tag has one of padding alone opening a later part
// where needed. All that follows the tag is as without sharing. A tag that keeps something
// after its padding or a count of it leaves its part as it was.
TEST(SplitOutputs, PadTheTagSoThatThePartsCanShareTheSourcesBlocks) {
    const auto id3v2 = [](std::uint8_t version, std::uint8_t flags, std::size_t size) {
        Bytes tag(size, 0x55);
        tag[0] = 'I', tag[1] = 'D', tag[2] = '3', tag[3] = version, tag[4] = 0, tag[5] = flags;
        const std::size_t stated = size - 10 - (flags & 0x10 ? 10 : 0);
        for (int i = 0; i < 4; ++i)
            tag[std::size_t(9 - i)] = std::uint8_t(stated >> (7 * i) & 0x7F);
        return tag;
    };
    const struct {
        const char* what;
        Bytes tag;
        std::int64_t block;
        bool shares;
    } cases[] = {
        {"no tag", {}, 4096, true},
        {"version 3", id3v2(3, 0, 300), 4096, true},
        {"version 2, small blocks", id3v2(2, 0, 1000), 512, true},
        {"version 4, large blocks", id3v2(4, 0, 5000), 65536, true},
        {"a footer", id3v2(4, 0x10, 320), 4096, false},
        {"an extended header", id3v2(3, 0x40, 300), 4096, false},
    };
    Bytes frames = Stream(120);
    SetBackPointer(frames, 39, 120);
    SetBackPointer(frames, 77, 200);
    for (const auto& c : cases) {
        for (const bool exact : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.what << (exact ? ", exactly" : ""));
            const Bytes stream = c.tag + frames;
            MemorySource source(stream);
            FileInformation info;
            const SourceCuts cuts =
                FindCuts(source, {{std::chrono::seconds(1), std::chrono::seconds(2)}}, exact, info);
            ASSERT_EQ(cuts.Problem, CutProblem::None);
            KeepTags tags;
            for (std::size_t part = 0; part < 3; ++part) {
                SCOPED_TRACE(part);
                const Bytes plain = Materialise(PlanPart(cuts, part, source, tags).Plan, stream);
                const OutputPlan plan = PlanPart(cuts, part, source, tags, {}, c.block).Plan;
                const Bytes shared = Materialise(plan, stream);
                MemorySource sharedBytes(shared), plainBytes(plain);
                const std::int64_t tagLength = FindTags(sharedBytes).Id3v2Length;
                const std::int64_t plainTag = FindTags(plainBytes).Id3v2Length;
                EXPECT_EQ(Slice(shared, std::size_t(tagLength), shared.size()),
                          Slice(plain, std::size_t(plainTag), plain.size()));
                if (!c.shares || (part == 0 && c.tag.empty())) {
                    EXPECT_EQ(shared, plain);
                    continue;
                }
                if (part == 0) {
                    EXPECT_EQ(tagLength, std::int64_t(c.tag.size()));
                }
                // The tag's own bytes, then zeros up to its stated end.
                ASSERT_GE(tagLength, std::max<std::int64_t>(plainTag, 11));
                const Bytes header = c.tag.empty() ? Bytes{'I', 'D', '3', 4, 0, 0} : c.tag;
                EXPECT_EQ(Slice(shared, 0, 6), Slice(header, 0, 6));
                const std::int64_t padding = c.tag.empty() ? 10 : plainTag;
                EXPECT_EQ(Slice(shared, padding, tagLength),
                          Bytes(std::size_t(tagLength - padding), 0));
                std::int64_t at = 0;
                auto piece = plan.begin();
                for (; piece != plan.end() && (at < tagLength || !piece->Bytes.empty()); ++piece) {
                    at += piece->Length;
                }
                ASSERT_NE(piece, plan.end());
                EXPECT_EQ((at - piece->SourceOffset) % c.block, 0) << at;
                EXPECT_LT(tagLength - (c.tag.empty() ? 11 : std::int64_t(c.tag.size())), c.block);
            }
        }
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

// Parts are numbered after the source, zero-padded from 10 parts on, or named by a
// pattern whose titles may hold what no file name can.
TEST(PartPaths, NumberOrNameEachPart) {
    const auto accented = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += "\xC3\xA9";
        return text;
    };
    const struct {
        std::size_t count;
        const char* pattern;
        std::vector<std::string> titles;
        std::vector<std::string> names;  // the first and the last
    } cases[] = {
        {2, "", {}, {"song1.mp3", "song2.mp3"}},
        {10, "", {}, {"song01.mp3", "song10.mp3"}},
        {100, "%n", {}, {"001.mp3", "100.mp3"}},
        {2, "%b - %n %t%%", {"AC/DC", "\x01x"}, {"song - 1 AC_DC%.mp3", "song - 2 _x%.mp3"}},
        {2, ".%t %x.MP3", {"a"}, {"_a %x.mp3", "_ %x.mp3"}},
        {2, "%t  ", {"-a"}, {"_a.mp3", "2.mp3"}},
        {2,
         "%t",
         {"\xC3\xA9" + std::string(300, 'e')},
         {"\xC3\xA9" + std::string(249, 'e') + ".mp3", "2.mp3"}},
        // Too long, the longest piece is cut and the number kept, between two characters of
        // UTF-8.
        {12,
         "%t - %n",
         {std::string(300, 'x')},
         {std::string(246, 'x') + " - 01.mp3", "_- 12.mp3"}},
        {2,
         "%n %t",
         {"\xC3\xA9" + std::string(300, 'e')},
         {"1 \xC3\xA9" + std::string(247, 'e') + ".mp3", "2.mp3"}},
        {2, "%t%n", {"a" + accented(150)}, {"a" + accented(124) + "1.mp3", "2.mp3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        const auto paths = PartPaths("/out/", "/music/song.mp3", c.count, c.pattern, c.titles);
        ASSERT_EQ(paths.size(), c.count);
        EXPECT_EQ(paths.front(), "/out/" + c.names.front());
        EXPECT_EQ(paths.back(), "/out/" + c.names.back());
    }
}

}  // namespace
}  // namespace quorvel
