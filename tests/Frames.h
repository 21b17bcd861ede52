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

// The header of a frame of an ID3v2 tag of `version` 3 or 4, `flags` its second flags byte:
// a version 4 frame's size in seven bits a byte, or as a plain number where `plainSize`.
inline Bytes Id3FrameHeader(int version, const std::string& id, std::size_t size,
                            std::uint8_t flags = 0, bool plainSize = false) {
    const bool synchSafe = version == 4 && !plainSize;
    Bytes header(id.begin(), id.end());
    for (int i = 3; i >= 0; --i) {
        header.push_back(synchSafe ? std::uint8_t(size >> (7 * i) & 0x7F)
                                   : std::uint8_t(size >> (8 * i) & 0xFF));
    }
    header.push_back(0);
    header.push_back(flags);
    return header;
}

inline Bytes Id3Frame(int version, const std::string& id, const Bytes& content,
                      std::uint8_t flags = 0, bool plainSize = false) {
    return Id3FrameHeader(version, id, content.size(), flags, plainSize) + content;
}

// An ID3v2 tag of `version` holding `frames` and some padding, `flags` its header's.
inline Bytes Id3Tag(int version, const Bytes& frames, std::uint8_t flags = 0) {
    const auto size = std::uint32_t(frames.size() + 64);
    const Bytes header{'I',
                       'D',
                       '3',
                       std::uint8_t(version),
                       0,
                       flags,
                       std::uint8_t(size >> 21 & 0x7F),
                       std::uint8_t(size >> 14 & 0x7F),
                       std::uint8_t(size >> 7 & 0x7F),
                       std::uint8_t(size & 0x7F)};
    return header + frames + Bytes(64, 0);
}

// A chapter's own fields: its identifier "c", its times (0 to 1 s) and no byte offsets.
inline const Bytes kChapterFields{'c', 0,    0,    0,    0,    0,    0,    0,    3,
                                  232, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// A version 3 chapter (CHAP) `id` from `startMs` to `endMs`, titled `title` (TIT2).
inline Bytes TitledChapter(const std::string& id, std::uint32_t startMs, std::uint32_t endMs,
                           const std::string& title) {
    Bytes content(id.begin(), id.end());
    content.push_back(0);
    for (const std::uint32_t value : {startMs, endMs, 0xFFFFFFFFu, 0xFFFFFFFFu}) {
        for (int shift = 24; shift >= 0; shift -= 8)
            content.push_back(std::uint8_t(value >> shift));
    }
    Bytes text{0};  // Latin-1
    text.insert(text.end(), title.begin(), title.end());
    return Id3Frame(3, "CHAP", content + Id3Frame(3, "TIT2", text));
}

// `depth` chapters each within the one before, written front to back at once: a tag as
// deep as one that would end a program reading it by recursion.
inline Bytes DeepChapters(int version, int depth) {
    const Bytes title = Id3Frame(version, "TIT2", {3, 'x'});
    std::vector<std::size_t> sizes(std::size_t(depth), 0);
    std::size_t inner = title.size();
    for (auto size = sizes.rbegin(); size != sizes.rend(); ++size) {
        *size = kChapterFields.size() + inner;
        inner = 10 + *size;
    }
    Bytes tag;
    tag.reserve(inner);
    for (const std::size_t size : sizes) {
        const Bytes header = Id3FrameHeader(version, "CHAP", size);
        tag.insert(tag.end(), header.begin(), header.end());
        tag.insert(tag.end(), kChapterFields.begin(), kChapterFields.end());
    }
    return tag + title;
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
