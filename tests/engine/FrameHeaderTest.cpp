#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/FrameHeader.h"

namespace quorvel {
namespace {

struct Accepted {
    HeaderBytes bytes;
    double version;
    std::int32_t bitRate;
    std::int32_t samplingRate;
    std::int16_t frameLength;
    double frameDuration;
    std::int16_t sideInfoSize;
    std::int16_t freeFormatLength = 0;  // the stream's, where it is free format
};

// The padding bit adds exactly one byte (rows 1 and 2); MPEG 2 and 2.5 frames hold 576
// samples, MPEG 1 frames 1152, so 22050 Hz and 44100 Hz frames last equally long. A
// free-format frame is as long as its stream's, padding aside, and its bit rate is the one
// that length gives, to the kbit/s: 555 bytes at 44100 Hz are 170,062 bit/s, 490 at 22050
// Hz 150,062.
TEST(DecodeFrameHeader, AcceptsLayerThreeOfEveryVersion) {
    const Accepted cases[] = {
        {{0xFF, 0xFB, 0x90, 0x64}, 1, 128000, 44100, 417, 0.026122448979591838, 32},
        {{0xFF, 0xFB, 0x92, 0x64}, 1, 128000, 44100, 418, 0.026122448979591838, 32},
        {{0xFF, 0xFB, 0xE4, 0xC4}, 1, 320000, 48000, 960, 0.024, 17},
        {{0xFF, 0xF3, 0x80, 0xC4}, 2, 64000, 22050, 208, 0.026122448979591838, 9},
        {{0xFF, 0xE3, 0x18, 0x44}, 2.5, 8000, 8000, 72, 0.072, 17},
        // The longest and the shortest frame the tables allow.
        {{0xFF, 0xFB, 0xEA, 0x00}, 1, 320000, 32000, 1441, 0.036, 32},
        {{0xFF, 0xE3, 0x14, 0xC0}, 2.5, 8000, 12000, 48, 0.048, 9},
        // A CRC changes neither the length nor the side information size.
        {{0xFF, 0xFA, 0x90, 0x64}, 1, 128000, 44100, 417, 0.026122448979591838, 32},
        {{0xFF, 0xFB, 0x00, 0x64}, 1, 170000, 44100, 555, 0.026122448979591838, 32, 555},
        {{0xFF, 0xFB, 0x02, 0x64}, 1, 170000, 44100, 556, 0.026122448979591838, 32, 555},
        {{0xFF, 0xF3, 0x00, 0xC4}, 2, 150000, 22050, 490, 0.026122448979591838, 9, 490},
        {{0xFF, 0xFB, 0x08, 0x00}, 1, 640000, 32000, 2880, 0.036, 32, 2880},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.bytes[1]) << ' ' << int(c.bytes[2])
                                        << ' ' << int(c.bytes[3]));
        FileInformation info;
        info.FreeFormatLength = c.freeFormatLength;
        FrameValues frame;
        ASSERT_TRUE(DecodeFrameHeader(c.bytes, info, frame));
        EXPECT_EQ(info.MpegVersion, c.version);
        EXPECT_EQ(info.LayerNumber, 3);
        EXPECT_EQ(info.BitRate, c.bitRate);
        EXPECT_EQ(info.SamplingRate, c.samplingRate);
        EXPECT_EQ(frame.FrameLength, c.frameLength);
        EXPECT_EQ(frame.FrameDuration, c.frameDuration);
        EXPECT_EQ(frame.SideInfoSize, c.sideInfoSize);
    }
}

TEST(DecodeFrameHeader, ReadsEveryBitRateAndSamplingRate) {
    const int kbits[2][14] = {{32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
                              {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
    const std::uint8_t byte1[3] = {0xFB, 0xF3, 0xE3};  // MPEG 1, 2, 2.5
    const int hertz[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    for (int version = 0; version < 3; ++version) {
        for (int index = 1; index <= 14; ++index) {
            for (int sampling = 0; sampling < 3; ++sampling) {
                const HeaderBytes bytes{0xFF, byte1[version],
                                        std::uint8_t(index << 4 | sampling << 2)};
                FileInformation info;
                FrameValues frame;
                ASSERT_TRUE(DecodeFrameHeader(bytes, info, frame));
                EXPECT_EQ(info.BitRate, kbits[version == 0 ? 0 : 1][index - 1] * 1000)
                    << std::hex << int(bytes[1]) << ' ' << int(bytes[2]);
                EXPECT_EQ(info.SamplingRate, hertz[version][sampling])
                    << std::hex << int(bytes[1]) << ' ' << int(bytes[2]);
            }
        }
    }
}

struct Rejected {
    const char* what;
    HeaderBytes bytes;
    double version;  // 0: MpegVersion keeps its earlier value
    bool layerWritten;
    std::int32_t bitRate;  // 0: BitRate keeps its earlier value
};

// The analysis shows what the last decoding left in the record, so a rejected header
// writes exactly the fields of the steps before the one that rejects it.
TEST(DecodeFrameHeader, RejectionKeepsTheFieldsWrittenBeforeIt) {
    const Rejected cases[] = {
        {"no sync byte", {0xFE, 0xFB, 0x90, 0x64}, 0, false, 0},
        {"sync bits of byte 1", {0xFF, 0xDB, 0x90, 0x64}, 0, false, 0},
        {"reserved version", {0xFF, 0xEB, 0x90, 0x64}, 0, false, 0},
        {"MPEG 1 Layer II", {0xFF, 0xFD, 0x90, 0x64}, 1, false, 0},
        {"MPEG 1 Layer I", {0xFF, 0xFF, 0x90, 0x64}, 1, false, 0},
        {"reserved layer", {0xFF, 0xF9, 0x90, 0x64}, 1, false, 0},
        {"MPEG 2 Layer II", {0xFF, 0xF5, 0x90, 0x64}, 2, false, 0},
        {"MPEG 2.5 Layer II", {0xFF, 0xE5, 0x90, 0x64}, 2.5, false, 0},
        {"free format, its length not found", {0xFF, 0xFB, 0x00, 0x64}, 1, true, 0},
        {"bit-rate index 1111", {0xFF, 0xFB, 0xF0, 0x64}, 1, true, 0},
        {"MPEG 2 free format", {0xFF, 0xF3, 0x00, 0xC4}, 2, true, 0},
        {"reserved sampling rate", {0xFF, 0xFB, 0x9C, 0x64}, 1, true, 128000},
        {"MPEG 2 reserved sampling rate", {0xFF, 0xF3, 0x8C, 0xC4}, 2, true, 64000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FileInformation info{9, 7, 1234, 5678};
        FrameValues frame{11, 22.5, 33, 44};
        EXPECT_FALSE(DecodeFrameHeader(c.bytes, info, frame));
        EXPECT_EQ(info.MpegVersion, c.version == 0 ? 9 : c.version);
        EXPECT_EQ(info.LayerNumber, c.layerWritten ? 3 : 7);
        EXPECT_EQ(info.BitRate, c.bitRate == 0 ? 1234 : c.bitRate);
        EXPECT_EQ(info.SamplingRate, 5678);
        EXPECT_EQ(frame.FrameLength, 11);
        EXPECT_EQ(frame.FrameDuration, 22.5);
        EXPECT_EQ(frame.SideInfoSize, 33);
        EXPECT_EQ(frame.MainDataBegin, 44);
    }
}

// The back pointer opens the side information, which follows the CRC when there is one:
// 9 bits in MPEG 1, 8 in MPEG 2 and 2.5 (reading 9 there would double it and zero a
// frame's own data at the end of the first output).
TEST(DecodeFrameHeader, ReadsTheBackPointer) {
    const std::pair<HeaderBytes, std::int32_t> cases[] = {
        {{0xFF, 0xFB, 0x90, 0x64, 0x00, 0x00, 0xFF, 0xFF}, 0},
        {{0xFF, 0xFB, 0x90, 0x64, 0x01, 0x80}, 3},
        {{0xFF, 0xFB, 0x90, 0x64, 0xFF, 0xFF}, 511},
        {{0xFF, 0xFB, 0x90, 0x64, 0x00, 0x7F}, 0},
        {{0xFF, 0xFA, 0x90, 0x64, 0xFF, 0xFF, 0x00, 0x80}, 1},
        {{0xFF, 0xF3, 0x80, 0xC4, 0x05, 0x00}, 5},
        {{0xFF, 0xF3, 0x80, 0xC4, 0x05, 0x80}, 5},
        {{0xFF, 0xE2, 0x18, 0x44, 0xCC, 0xCC, 0x80, 0x7F}, 128},
    };
    for (const auto& [bytes, expected] : cases) {
        FileInformation info;
        FrameValues frame;
        ASSERT_TRUE(DecodeFrameHeader(bytes, info, frame));
        EXPECT_EQ(frame.MainDataBegin, expected)
            << std::hex << int(bytes[1]) << ' ' << int(bytes[4]) << ' ' << int(bytes[5]);
    }
}

// The side information of every layout: its header's second and fourth bytes, where each
// granule of each channel starts, counted from the header's first bit, and how wide its
// scale factor compression is.
struct Layout {
    const char* name;
    std::uint8_t byte1, byte3;
    std::vector<std::size_t> granules;
    int compression;
};
const Layout kLayouts[] = {
    {"MPEG 1 stereo", 0xFB, 0x64, {52, 111, 170, 229}, 4},
    {"MPEG 1 single channel with CRC", 0xFA, 0xC4, {66, 125}, 4},
    {"MPEG 2 stereo", 0xF3, 0x44, {42, 105}, 9},
    {"MPEG 2.5 single channel", 0xE3, 0xC0, {41}, 9},
};

void Put(FrameStartBytes& bytes, std::size_t at, int width, std::uint32_t value) {
    for (int i = width - 1; i >= 0; --i, ++at) {
        const auto mask = static_cast<std::uint8_t>(0x80 >> (at % 8));
        bytes[at / 8] = static_cast<std::uint8_t>(((value >> i) & 1) ? bytes[at / 8] | mask
                                                                     : bytes[at / 8] & ~mask);
    }
}

// A frame of the layout, every field other than the header's holding ones and zeros.
FrameStartBytes FrameOf(const Layout& layout) {
    FrameStartBytes bytes{};
    bytes.fill(0x55);
    bytes[0] = 0xFF, bytes[1] = layout.byte1, bytes[2] = 0x90, bytes[3] = layout.byte3;
    return bytes;
}

// Each granule of each channel in turn is made the loudest: its gain is the level while it
// codes anything, and the others' once its coded length is 0.
TEST(FrameLevel, TakesTheLoudestCodedGranuleOfEveryLayout) {
    for (const auto& layout : kLayouts) {
        for (std::size_t loudest = 0; loudest < layout.granules.size(); ++loudest) {
            FrameStartBytes bytes = FrameOf(layout);
            for (std::size_t g = 0; g < layout.granules.size(); ++g) {
                Put(bytes, layout.granules[g], 12, 0x123);
                Put(bytes, layout.granules[g] + 21, 8, g == loudest ? 200 : 90);
            }
            EXPECT_EQ(FrameLevel(bytes), 200) << layout.name << ' ' << loudest;
            Put(bytes, layout.granules[loudest], 12, 0);
            EXPECT_EQ(FrameLevel(bytes), layout.granules.size() > 1 ? 90 : 0)
                << layout.name << ' ' << loudest;
        }
    }
}

// A frame codes nothing only where no granule of any channel has coded bits or asks for
// scale factors, whatever its other fields hold: each granule in turn coding a bit, or
// asking for scale factors by its compression's last bit alone, makes it code something.
TEST(FrameLevel, CodesNothingWhereNoGranuleCodesOrAsksForScaleFactors) {
    for (const auto& layout : kLayouts) {
        FrameStartBytes silent = FrameOf(layout);
        for (const std::size_t granule : layout.granules) {
            Put(silent, granule, 12, 0);
            Put(silent, granule + 29, layout.compression, 0);
        }
        EXPECT_TRUE(CodesNothing(silent)) << layout.name;
        for (std::size_t g = 0; g < layout.granules.size(); ++g) {
            FrameStartBytes coded = silent;
            Put(coded, layout.granules[g], 12, 1);
            EXPECT_FALSE(CodesNothing(coded)) << layout.name << ' ' << g;
            FrameStartBytes scaled = silent;
            Put(scaled, layout.granules[g] + 29, layout.compression, 1);
            EXPECT_FALSE(CodesNothing(scaled)) << layout.name << ' ' << g;
        }
    }
}

}  // namespace
}  // namespace quorvel
