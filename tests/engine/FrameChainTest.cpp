#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "Frames.h"
#include "TestFiles.h"
#include "engine/ChainRecord.h"
#include "engine/FrameChain.h"
#include "engine/FrameHeader.h"
#include "engine/SourceLayout.h"
#include "engine/SplitSearch.h"

namespace quorvel {
namespace {

using test::Bytes;
using test::operator+;
using test::Frames;

constexpr double kFrame44100 = 0.026122448979591838;

double Seconds(std::int64_t frames) {
    double total = 0;
    for (std::int64_t i = 0; i < frames; ++i) total += kFrame44100;
    return total;
}

Bytes Tag() {
    Bytes tag(128, 'x');
    tag[0] = 'T', tag[1] = 'A', tag[2] = 'G';
    return tag;
}

// `count` free-format frames at 44100 Hz, 555 bytes long, every third padded to 556, as lame
// writes them at 170 kbit/s; `first` opens the first, and no payload byte is a sync byte.
Bytes FreeFrames(int count, Bytes first = {0xFF, 0xFB, 0x00, 0x64}) {
    Bytes out;
    for (int i = 0; i < count; ++i) {
        const Bytes header =
            i == 0 ? first : Bytes{0xFF, 0xFB, std::uint8_t(i % 3 == 2 ? 2 : 0), 0x64};
        out.insert(out.end(), header.begin(), header.end());
        out.resize(out.size() + 555 + (header[2] & 2) / 2 - header.size(), 0x11);
    }
    return out;
}

// The length is the distance from the first free-format header to the next of its stream,
// less the first's padding, where the frame there ends at another, a tag or the end; a
// stream whose first frame chains at a bit rate of its own has none, and so has one that
// starts later than decoders look or whose frames are longer than they read.
TEST(FindFreeFormatLength, TakesTheDistanceToTheNextHeaderOfTheStream) {
    Bytes inside = FreeFrames(4);
    inside[100] = 0xFF, inside[101] = 0xFB, inside[102] = 0x00, inside[103] = 0x64;
    Bytes mono = FreeFrames(4);
    mono[555 + 3] = 0xC4;
    Bytes longest;
    for (int frame = 0; frame < 3; ++frame) {
        longest = longest + Bytes{0xFF, 0xFB, 0x00, 0x64};
        longest.resize(longest.size() + 3457, 0x11);
    }
    const struct {
        const char* what;
        Bytes bytes;
        std::int16_t length;
    } cases[] = {
        {"free frames", FreeFrames(10), 555},
        {"the first padded", FreeFrames(10, {0xFF, 0xFB, 0x02, 0x64}), 555},
        {"with a CRC", FreeFrames(10, {0xFF, 0xFA, 0x00, 0x64, 0x12, 0x34}), 555},
        {"a header of the stream inside the first frame", inside, 555},
        {"after zeros and a frame that does not chain",
         Bytes(300, 0) + Bytes{0xFF, 0xFB, 0x90, 0x64} + Bytes(20, 0) + FreeFrames(10), 555},
        {"the second frame ending at the end", FreeFrames(2), 555},
        {"the second frame followed by a tag", FreeFrames(2) + Tag(), 555},
        {"a header of another channel mode between", mono, 1110},
        {"frames that chain at a bit rate of their own first", Frames(3) + FreeFrames(10), 0},
        {"one frame alone", FreeFrames(1), 0},
        {"the first frame after 64 KiB", Bytes(64 * 1024, 0) + FreeFrames(10), 0},
        {"frames longer than decoders read", longest, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySource source(c.bytes);
        BlockReader reader(source);
        EXPECT_EQ(FindFreeFormatLength(reader, 0, source.Size()), c.length);
    }
}

TEST(ScanFrameChain, CountsFramesByTheChainRule) {
    struct ScanCase {
        const char* what;
        Bytes bytes;
        std::int64_t frames;
        std::int32_t bitRate;  // as the last decoding left it
    };
    const Bytes bad = {0xFF, 0xFB, 0x5C, 0x00};  // 64 kbit/s, reserved sampling rate
    Bytes cutShort = Frames(100);
    cutShort.resize(cutShort.size() - 10);
    // A frame at 0 whose successor is zeros, then a chain at 10 that lies inside it.
    const Bytes inside = Bytes{0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0, 0, 0} + Frames(3);
    const ScanCase cases[] = {
        {"100 frames", Frames(100), 100, 128000},
        {"with an ID3v1 tag", Frames(100) + Tag(), 100, 128000},
        {"last frame cut short", cutShort, 99, 128000},
        {"1000 leading zeros", Bytes(1000, 0) + Frames(100), 100, 128000},
        {"rejected successor", Frames(100) + bad, 99, 64000},
        // Zeros are read past the end: FF FB 90 00 is a header, FF FB 00 00 is not.
        {"successor of 3 bytes at the end", Frames(100) + Bytes{0xFF, 0xFB, 0x90}, 100, 128000},
        {"successor of 2 bytes at the end", Frames(100) + Bytes{0xFF, 0xFB}, 99, 128000},
        {"scan goes on after the first byte", inside, 3, 128000},
        {"scan goes on at the T", Frames(2) + Bytes{'T', 'A', 'G'} + Frames(2), 4, 128000},
        {"MPEG 2 at 22050 Hz", Frames(100, {0xFF, 0xF3, 0x80, 0xC4}, 208), 100, 64000},
        {"free format at 170 kbit/s", FreeFrames(100) + Tag(), 100, 170000},
        {"Layer II only", Frames(100, {0xFF, 0xFD, 0x90, 0x64}), 0, 0},
        {"empty", {}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySource source(c.bytes);
        FileInformation info;
        std::vector<std::uint8_t> levels;
        const ScanResult result = ScanFrameChain(source, info, &levels);
        EXPECT_EQ(result.Frames, c.frames);
        EXPECT_EQ(result.TotalSeconds, Seconds(c.frames));
        EXPECT_EQ(levels.size(), static_cast<std::size_t>(c.frames));
        EXPECT_EQ(info.BitRate, c.bitRate);
    }
}

using Accepted = std::vector<std::tuple<std::int64_t, std::int32_t, std::int16_t>>;

// The chain rule exactly as the analysis states it: 1-based positions, one byte at a
// time wherever the chain does not hold, zeros past the end of the file. `accepted`
// gets each frame's offset, back pointer and side information size.
ScanResult ReferenceScan(const Bytes& file, FileInformation& info, Accepted& accepted) {
    const auto length = static_cast<std::int64_t>(file.size());
    const auto byteAt = [&](std::int64_t position) -> std::uint8_t {
        return position <= length ? file[std::size_t(position - 1)] : 0;
    };
    const auto headerAt = [&](std::int64_t position) {
        HeaderBytes header;
        for (std::size_t i = 0; i < header.size(); ++i) header[i] = byteAt(position + i);
        return header;
    };
    ScanResult result;
    std::int64_t position = 1;
    while (position <= length) {
        FrameValues frame, successor;
        if (byteAt(position) != 0xFF || !DecodeFrameHeader(headerAt(position), info, frame)) {
            ++position;
            continue;
        }
        const std::int64_t next = position + frame.FrameLength;
        if (next <= length) {
            const HeaderBytes following = headerAt(next);
            const bool tag = following[0] == 0x54 && following[1] == 0x41 && following[2] == 0x47;
            if (!tag && !DecodeFrameHeader(following, info, successor)) {
                ++position;
                continue;
            }
        } else if (next - 1 != length) {
            ++position;
            continue;
        }
        accepted.emplace_back(position - 1, frame.MainDataBegin, frame.SideInfoSize);
        position = next;
        ++result.Frames;
        result.TotalSeconds += frame.FrameDuration;
    }
    return result;
}

// Valid frames of every version and size with random payloads (which hold stray sync
// bytes), junk, tag markers, lone sync bytes, frames cut short, and a cut-off end.
class StreamMaker {
  public:
    explicit StreamMaker(std::uint32_t seed) : rng_(seed) {}

    void Random(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) out.push_back(std::uint8_t(rng_()));
    }
    void Frame(bool cutShort = false) {
        static constexpr std::uint8_t kVersions[] = {0x00, 0x10, 0x18};
        const HeaderBytes header{
            0xFF, std::uint8_t(0xE2 | kVersions[rng_() % 3] | rng_() % 2),
            std::uint8_t((1 + rng_() % 14) << 4 | (rng_() % 3) << 2 | rng_() % 4),
            std::uint8_t(rng_())};
        FileInformation scratch;
        FrameValues frame;
        DecodeFrameHeader(header, scratch, frame);
        out.insert(out.end(), header.begin(), header.begin() + 4);
        Random(std::size_t(cutShort ? rng_() % (frame.FrameLength - 4) : frame.FrameLength - 4));
    }
    void Until(std::size_t size) {
        while (out.size() < size) {
            const auto kind = rng_() % 10;
            if (kind == 0) {
                Random(1 + rng_() % 40);
            } else if (kind == 1) {
                out.insert(out.end(), {'T', 'A', 'G'});
                Random(rng_() % 126);
            } else if (kind == 2) {
                out.push_back(0xFF);
                Random(rng_() % 4);
            } else {
                Frame(kind == 3);
            }
        }
    }
    void CutEnd() { out.resize(out.size() - rng_() % (std::min<std::size_t>(out.size(), 20) + 1)); }
    std::uint32_t Next() { return rng_(); }

    Bytes out;

  private:
    std::mt19937 rng_;
};

// Shows its bytes in place, `window` at a time as a mapped file does, each window in a
// copy of its own followed by sync bytes: a read past a window's end finds a header there.
class WindowedSource final : public ByteSource {
  public:
    WindowedSource(const Bytes& bytes, std::size_t window) : bytes_(bytes), window_(window) {}
    std::int64_t Size() const override { return std::int64_t(bytes_.size()); }
    std::size_t ReadAt(std::int64_t, std::uint8_t*, std::size_t) override {
        ADD_FAILURE() << "read through the buffer";
        return 0;
    }
    std::span<const std::uint8_t> View(std::int64_t offset, std::size_t count) override {
        const auto from = std::size_t(offset);
        const std::size_t length = std::min(std::max(count, window_), bytes_.size() - from);
        shown_.assign(bytes_.begin() + std::ptrdiff_t(from),
                      bytes_.begin() + std::ptrdiff_t(from + length));
        shown_.insert(shown_.end(), {0xFF, 0xFB, 0x90, 0x64, 0xFF, 0xFB, 0x90, 0x64});
        return {shown_.data(), length};
    }

  private:
    const Bytes& bytes_;
    std::size_t window_;
    Bytes shown_;
};

// The split search walks the same chain and also reads the back pointer and the side
// information size, so the walk is compared frame by frame, with blocks of `blockSize`
// read through the buffer and with windows of the same size shown in place.
void ExpectSameAsReference(const Bytes& bytes, std::initializer_list<std::size_t> blockSizes) {
    FileInformation expectedInfo, info;
    Accepted expectedFrames;
    const ScanResult expected = ReferenceScan(bytes, expectedInfo, expectedFrames);
    MemorySource source(bytes);
    const ScanResult result = ScanFrameChain(source, info);
    EXPECT_EQ(result.Frames, expected.Frames);
    EXPECT_EQ(result.TotalSeconds, expected.TotalSeconds);
    EXPECT_EQ(std::tie(info.MpegVersion, info.LayerNumber, info.BitRate, info.SamplingRate),
              std::tie(expectedInfo.MpegVersion, expectedInfo.LayerNumber, expectedInfo.BitRate,
                       expectedInfo.SamplingRate));
    for (const std::size_t blockSize : blockSizes) {
        WindowedSource windows(bytes, blockSize);
        for (ByteSource* read : std::initializer_list<ByteSource*>{&source, &windows}) {
            BlockReader reader(*read, blockSize);
            Accepted frames;
            WalkFrameChain(reader, info, [&](const ChainFrame& frame) {
                frames.emplace_back(frame.Offset, frame.Frame.MainDataBegin,
                                    frame.Frame.SideInfoSize);
                return true;
            });
            EXPECT_EQ(frames, expectedFrames)
                << (read == &source ? "blocks of " : "windows of ") << blockSize;
        }
    }
}

TEST(ScanFrameChain, MatchesTheByteByByteRuleOnRandomStreams) {
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        StreamMaker maker(seed);
        maker.Until(maker.Next() % 4000);
        if (maker.Next() % 2) maker.CutEnd();
        ExpectSameAsReference(maker.out, {8, 61});
    }
}

// The scan reads 256 KiB blocks: put a header on every position that straddles the
// first block boundary, and end files on and just after it.
TEST(ScanFrameChain, MatchesTheByteByByteRuleAcrossBlockBoundaries) {
    constexpr std::size_t kBlock = 256 * 1024;
    for (std::size_t before = 0; before <= 8; ++before) {
        SCOPED_TRACE(testing::Message() << "header " << before << " bytes before the boundary");
        StreamMaker maker{1000 + std::uint32_t(before)};
        maker.Until(kBlock - before - 2000);
        maker.out.resize(kBlock - before, 0);
        maker.Frame();
        maker.Frame();
        maker.Until(kBlock + 20000);
        ExpectSameAsReference(maker.out, {kBlock});
    }
    for (const std::size_t size : {kBlock, kBlock + 1, 2 * kBlock + 7}) {
        SCOPED_TRACE(testing::Message() << "file of " << size << " bytes");
        StreamMaker maker{std::uint32_t(size)};
        maker.Until(size);
        maker.out.resize(size);
        ExpectSameAsReference(maker.out, {kBlock});
    }
}

// What the split search finds, flattened: every cut, and every part's frames.
std::vector<std::int64_t> Searched(const SourceCuts& cuts) {
    std::vector<std::int64_t> found{std::int64_t(cuts.Problem), cuts.LengthMs, cuts.RunFrames};
    found.insert(found.end(), cuts.Times.begin(), cuts.Times.end());
    for (const Cut& cut : cuts.Cuts) {
        found.insert(found.end(),
                     {cut.At, cut.FramesBefore, cut.Borrowed, cut.PrevFrameLength, cut.FirstEnd,
                      std::int64_t(cut.Lenders.size()), std::int64_t(cut.Primers.size())});
    }
    for (const PartFrames& part : cuts.Parts) {
        found.insert(found.end(), {part.From(), part.End(), part.Count()});
        // Every third frame's start, bytes of no frame before some of them, as asked for.
        PartFrames::Starts starts(part);
        std::int64_t index = 0;
        part.Each([&](std::int64_t offset, std::int64_t length) {
            found.insert(found.end(), {offset, length});
            if (index % 3 == 0) {
                EXPECT_EQ(starts.At(index), offset) << "frame " << index;
            }
            ++index;
        });
    }
    return found;
}

// A part's frame starts, asked for a frame apart or more frames apart than are added up at a
// time, are where a visit of every frame finds them, bytes of no frame before some.
TEST(PartFrames, StartsAreWhereEachFrameIsVisited) {
    PartFrames part(100);
    std::int64_t at = 100;
    for (int i = 0; i < 1000; ++i) {
        if (i % 97 == 5) at += 3 + i % 7;
        FrameValues values;
        values.FrameLength = std::int16_t(104 + i % 13);
        part.Add({at, values, true});
        at += values.FrameLength;
    }
    for (const int apart : {1, 3, 31, 32, 33, 100}) {
        SCOPED_TRACE(testing::Message() << apart << " frames apart");
        PartFrames::Starts starts(part);
        std::int64_t index = 0;
        part.Each([&](std::int64_t offset, std::int64_t) {
            if (index % apart == 0) {
                EXPECT_EQ(starts.At(index), offset);
            }
            ++index;
        });
    }
}

// The split search through the frames the analysis recorded, or alongside the analysis's walk,
// finds what a walk over the bytes finds, by both rules, where frames of an ID3v2 tag's picture
// run on past its end, where the audio runs into the tags after it, and where the file was cut
// short; alongside, it leaves to its own walk only the files whose frames cross the audio's
// ends.
TEST(ChainRecord, GivesTheSplitSearchWhatItsOwnWalkFinds) {
    int alongside = 0;
    for (std::uint32_t seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        StreamMaker maker(seed);
        const std::size_t tag = maker.Next() % 3 == 0 ? 0 : 10 + maker.Next() % 3000;
        if (tag > 0) {
            const std::size_t size = tag - 10;
            maker.out = {'I',
                         'D',
                         '3',
                         4,
                         0,
                         0,
                         std::uint8_t(size >> 21 & 0x7F),
                         std::uint8_t(size >> 14 & 0x7F),
                         std::uint8_t(size >> 7 & 0x7F),
                         std::uint8_t(size & 0x7F)};
        }
        maker.Until(tag + maker.Next() % 6000);
        if (const auto end = maker.Next() % 3; end == 0) {
            maker.out.insert(maker.out.end(), {'T', 'A', 'G'});
            maker.Random(125);
        } else if (end == 1) {
            // An APEv2 tag without a header: no tag marker where the audio ends.
            const std::uint8_t items = 1 + maker.Next() % 100;
            maker.Random(items);
            maker.out.insert(
                maker.out.end(),
                {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 7, 0, 0, std::uint8_t(items + 32),
                 0,   0,   0,   1,   0,   0,   0});
            maker.out.resize(maker.out.size() + 12, 0);
        } else {
            maker.CutEnd();
        }
        MemorySource source(maker.out);
        FileInformation info;
        ChainRecord record(FileStamp{});
        ScanFrameChain(source, info, nullptr, &record);
        const double seconds = double(maker.Next() % 2000) / 1000;
        const CutTimes times{{std::chrono::microseconds(std::int64_t(seconds * 1e6) + 1000),
                              std::chrono::microseconds(std::int64_t(seconds * 2e6) + 9000)}};
        for (const bool exact : {false, true}) {
            SCOPED_TRACE(exact ? "exact" : "by the frame rule");
            const std::vector<std::int64_t> own = Searched(FindCuts(source, times, exact, info));
            EXPECT_EQ(Searched(FindCuts(source, times, exact, info, &record)), own);
            BlockReader reader(source);
            CutsAlong along(ReadLayout(source, reader), times, exact);
            FileInformation scanned;
            ScanFrameChain(source, scanned, nullptr, &along);
            if (const auto found = along.Finish(source)) {
                EXPECT_EQ(Searched(*found), own);
                ++alongside;
            }
        }
    }
    EXPECT_GT(alongside, 150);
}

// A walk from a frame's start on visits the frames a walk from the audio's start visits
// there, as many as asked or up to the tags; from a byte off, where no frame starts, it
// finds its run broken.
TEST(WalkAudioFramesFrom, GoesOnAsTheWholeWalkFromAnyFrame) {
    const Bytes bytes = test::Stream(40) + Tag();
    MemorySource source(bytes);
    BlockReader reader(source);
    const SourceLayout layout = ReadLayout(source, reader);
    std::vector<std::int64_t> whole;
    ASSERT_TRUE(WalkAudioFrames(
        reader, layout,
        [&](const ChainFrame& frame, const FrameStartBytes&) { whole.push_back(frame.Offset); }));
    ASSERT_EQ(whole.size(), 40u);
    for (const auto& [first, count, visited] :
         {std::tuple{0, 5, 5}, {17, 8, 8}, {35, 10, 5}, {30, -1, 10}, {39, 0, 0}}) {
        SCOPED_TRACE(testing::Message() << "from frame " << first << ", " << count);
        std::vector<std::int64_t> offsets;
        EXPECT_TRUE(WalkAudioFramesFrom(reader, layout, whole[std::size_t(first)], count,
                                        [&](const ChainFrame& frame, const FrameStartBytes&) {
                                            offsets.push_back(frame.Offset);
                                        }));
        EXPECT_EQ(offsets, std::vector<std::int64_t>(whole.begin() + first,
                                                     whole.begin() + first + visited));
    }
    EXPECT_FALSE(WalkAudioFramesFrom(reader, layout, whole[3] + 1, 4,
                                     [](const ChainFrame&, const FrameStartBytes&) {}));
}

}  // namespace
}  // namespace quorvel
