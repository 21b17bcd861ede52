#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "engine/TagEditor.h"

namespace quorvel::test {

// `count` frames of `length` bytes: the 4 header bytes, then zeros.
inline Bytes Frames(int count, Bytes header = {0xFF, 0xFB, 0x90, 0x64}, std::size_t length = 417) {
    header.resize(length);
    Bytes out;
    for (int i = 0; i < count; ++i) out.insert(out.end(), header.begin(), header.end());
    return out;
}

// MPEG 1 frames at 44100 Hz and 128 kbit/s (417 bytes, 418 padded), byte 1 0xFB without
// CRC or 0xFA with one. Payload bytes are never 0 or 0xFF, so zeroing shows and no
// stray sync byte appears; every back pointer is 0.
inline Bytes Stream(std::size_t count, std::size_t length = 418, std::uint8_t byte1 = 0xFB) {
    std::mt19937 rng(std::uint32_t(count * length + byte1));
    Bytes out;
    for (std::size_t i = 0; i < count; ++i) {
        out.insert(out.end(), {0xFF, byte1, std::uint8_t(length == 418 ? 0x92 : 0x90), 0x64});
        for (std::size_t j = 4; j < length; ++j) out.push_back(std::uint8_t(1 + rng() % 254));
        const std::size_t pointer = i * length + (byte1 & 1 ? 4 : 6);
        out[pointer] = 0;
        out[pointer + 1] &= 0x7F;
    }
    return out;
}

inline void SetBackPointer(Bytes& stream, std::size_t frame, int value, std::size_t length = 418) {
    const std::size_t pointer = frame * length + (stream[frame * length + 1] & 1 ? 4 : 6);
    stream[pointer] = std::uint8_t(value / 2);
    stream[pointer + 1] = std::uint8_t((stream[pointer + 1] & 0x7F) | (value % 2 ? 0x80 : 0));
}

// The frame before the cut as the second output carries it, spelled out byte by byte:
// its header kept, everything from `zeroFrom` (the CRC's or the side information's
// start) up to the last `borrowed` bytes zeroed, and `crc` in bytes 4 and 5 when the
// frame has one.
inline Bytes AddedFrame(Bytes frame, std::size_t zeroFrom, std::size_t borrowed,
                        std::optional<std::uint16_t> crc = std::nullopt) {
    std::fill(frame.begin() + std::ptrdiff_t(zeroFrom), frame.end() - std::ptrdiff_t(borrowed), 0);
    if (crc) frame[4] = std::uint8_t(*crc >> 8), frame[5] = std::uint8_t(*crc & 0xFF);
    return frame;
}

// A part after a frame-rule cut of a source that states no delay opens with a header frame
// of the split's own, an MPEG 1 Info frame at 44100 Hz whose LAME tag's start delay skips
// the one added frame after it (1152 samples, less the decoders' own 529): the part without
// it, where it holds that.
inline Bytes WithoutNewHeader(const Bytes& part) {
    static constexpr int kKbits[] = {0,   32,  40,  48,  56,  64,  80, 96,
                                     112, 128, 160, 192, 224, 256, 320};
    const std::string info = "Info";
    const auto tag =
        std::search(part.begin(), part.begin() + std::min<std::size_t>(part.size(), 64),
                    info.begin(), info.end());
    if (part.size() < 4 || tag == part.begin() + std::min<std::size_t>(part.size(), 64)) {
        ADD_FAILURE() << "no header frame of its own";
        return part;
    }
    const std::size_t delayAt = std::size_t(tag - part.begin()) + 120 + 21;
    EXPECT_EQ((part[delayAt] << 4 | part[delayAt + 1] >> 4), 1152 - 529);
    const std::size_t length =
        std::size_t(144 * kKbits[part[2] >> 4] * 1000 / 44100 + (part[2] >> 1 & 1));
    return Bytes(part.begin() + std::ptrdiff_t(length), part.end());
}

// Answers as a tag library would for tags without a length frame: keep them as they are.
class KeepTags final : public TagEditor {
  public:
    std::optional<std::vector<std::uint8_t>> ForPart(std::span<const std::uint8_t>,
                                                     PartTime) override {
        return std::nullopt;
    }
    std::vector<Chapter> Chapters(std::span<const std::uint8_t>) override { return {}; }
};

}  // namespace quorvel::test
