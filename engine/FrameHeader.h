#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "engine/ByteSource.h"

namespace quorvel {

// The header's bits, named once. Byte 0 is all sync bits (0xFF).
namespace header_bits {
constexpr std::uint8_t kSync = 0xE0;          // byte 1, bits 7-5: the last 3 sync bits
constexpr std::uint8_t kVersion = 0x18;       // byte 1, bits 4-3: 11 MPEG 1, 10 MPEG 2, 00 MPEG 2.5
constexpr std::uint8_t kMpeg1 = 0x08;         // byte 1, bit 3: set for MPEG 1 only
constexpr std::uint8_t kLayer = 0x06;         // byte 1, bits 2-1: 01 Layer III
constexpr std::uint8_t kNoCrc = 0x01;         // byte 1, bit 0: set when no CRC follows
constexpr std::uint8_t kBitRateIndex = 0xF0;  // byte 2, bits 7-4
constexpr int kBitRateShift = 4;              //
constexpr std::uint8_t kSamplingIndex = 0x0C;  // byte 2, bits 3-2
constexpr int kSamplingShift = 2;              //
constexpr std::uint8_t kPadding = 0x02;        // byte 2, bit 1: one byte more
constexpr std::uint8_t kChannelMode = 0xC0;    // byte 3, bits 7-6: 11 single channel
constexpr int kLargestBitRateIndex = 14;       // 15 is forbidden; 0 is free format
}  // namespace header_bits

// Whether the header is one of a free-format stream: bit-rate index 0, the frame length
// being the stream's own, which only the distance between its headers tells.
inline bool IsFreeFormat(std::span<const std::uint8_t> header) {
    return (header[2] & header_bits::kBitRateIndex) == 0;
}

// The Layer III side information's fields up to each granule's scale factor compression,
// in bits, named once. The back pointer and the private bits open it, then, in MPEG 1, the
// scale factor selection; each granule of each channel (two granules a frame in MPEG 1, one
// in MPEG 2 and 2.5) starts with its coded length, its big values, its global gain, the
// quantizer's step size, 4 steps to 6 dB, and its scale factor compression, which says how
// many bits its scale factors take.
namespace side_info_bits {
constexpr int kBackPointerMpeg1 = 9;
constexpr int kBackPointerMpeg2 = 8;
constexpr int kPrivateMpeg1Mono = 5;
constexpr int kPrivateMpeg1Stereo = 3;
constexpr int kPrivateMpeg2Mono = 1;
constexpr int kPrivateMpeg2Stereo = 2;
constexpr int kScaleFactorSelection = 4;  // MPEG 1, each channel
constexpr int kCodedLength = 12;          // part 2 and 3 length: 0 where nothing is coded
constexpr int kBigValues = 9;
constexpr int kGlobalGain = 8;
constexpr int kScaleFactorCompressionMpeg1 = 4;
constexpr int kScaleFactorCompressionMpeg2 = 9;
constexpr int kGranuleMpeg1 = 59;  // one granule of one channel, all its fields
constexpr int kGranuleMpeg2 = 63;
}  // namespace side_info_bits

// Samples one frame holds: 1152 in MPEG 1, 576 in MPEG 2 and 2.5 (one granule a frame).
inline std::int32_t SamplesPerFrame(std::uint8_t headerByte1) {
    return (headerByte1 & header_bits::kMpeg1) ? 1152 : 576;
}

// The header with another bit rate (0: free format) and no padding byte.
inline void SetBitRateIndex(std::span<std::uint8_t> header, int index) {
    header[2] = static_cast<std::uint8_t>(
        index << header_bits::kBitRateShift |
        (header[2] & ~(header_bits::kBitRateIndex | header_bits::kPadding)));
}

// The 8 bytes at a candidate frame position: the 4-byte header, then either the
// 2-byte CRC and the first side-information bytes, or the side information alone.
using HeaderBytes = std::array<std::uint8_t, 8>;

// A frame's first bytes up to the end of the longest side information: the header, the
// CRC and 32 bytes.
using FrameStartBytes = std::array<std::uint8_t, 38>;

// What the last decoded header said about the stream. The window shows these after
// an analysis; a rejected header may already have overwritten some of them (see
// DecodeFrameHeader).
struct FileInformation {
    double MpegVersion = 0;         // 1, 2 or 2.5
    std::int16_t LayerNumber = 0;   // always 3
    std::int32_t BitRate = 0;       // bits per second
    std::int32_t SamplingRate = 0;  // Hz
    // The length of the stream's free-format frames, padding aside (FindFreeFormatLength),
    // which the decoding of such a header takes from here; 0 where the stream has none, and
    // such headers are rejected.
    std::int16_t FreeFormatLength = 0;
};

// The per-frame results of one accepted header.
struct FrameValues {
    std::int16_t FrameLength = 0;    // whole frame in bytes, header included
    double FrameDuration = 0;        // seconds
    std::int16_t SideInfoSize = 0;   // bytes of Layer III side information
    std::int32_t MainDataBegin = 0;  // bytes of main data borrowed from earlier frames
    bool Protected = false;          // a 2-byte CRC follows the header
    std::uint8_t BitRateIndex = 0;   // byte 2, bits 7-4
};

// Decodes an MPEG 1, 2 or 2.5 Layer III header. Returns whether it was accepted.
// On rejection `frame` is left untouched, but the fields of `info` written before the
// rejecting step keep their new values: version first, then layer, bit rate, sampling
// rate. The analysis shows whatever the last call left, so this order matters. A
// free-format header, accepted where `info` holds the stream's free-format length, has its
// bit rate worked out from that length after the sampling rate, to the whole kbit/s, as
// encoders set free bit rates.
bool DecodeFrameHeader(const HeaderBytes& bytes, FileInformation& info, FrameValues& frame);

// How many bytes of side information follow a Layer III header (and its CRC): mono frames
// carry about half as many, MPEG 2 and 2.5 frames of one granule about half as many.
inline std::int16_t SideInfoSize(std::span<const std::uint8_t> header) {
    const bool mpeg1 = header[1] & header_bits::kMpeg1;
    const bool mono = (header[3] & header_bits::kChannelMode) == header_bits::kChannelMode;
    return mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
}

// Where the side information starts, counted from the header's first byte: after the
// 4-byte header, and after the 2-byte CRC when the protection bit (byte 1, bit 0) is 0.
// The back pointer opens it.
inline std::size_t SideInfoStart(std::uint8_t headerByte1) {
    return (headerByte1 & header_bits::kNoCrc) ? 4 : 6;
}

// Writes a frame's back pointer, which opens its side information: 9 bits in MPEG 1,
// 8 in MPEG 2 and 2.5. The bits after it in that byte are zeroed.
inline void SetMainDataBegin(std::span<std::uint8_t> frame, std::int32_t backPointer) {
    const std::size_t at = SideInfoStart(frame[1]);
    if (frame[1] & header_bits::kMpeg1) {
        frame[at] = static_cast<std::uint8_t>(backPointer >> 1);
        frame[at + 1] = static_cast<std::uint8_t>((backPointer & 1) << 7);
    } else {
        frame[at] = static_cast<std::uint8_t>(backPointer);
    }
}

// Where a frame's own main data starts: after the header, the CRC and the side
// information. What lies between there and the frame's end is room that later frames
// may borrow.
inline std::int32_t MainDataStart(const FrameValues& frame) {
    return (frame.Protected ? 6 : 4) + frame.SideInfoSize;
}

// How much main data a frame holds behind its header, CRC and side information.
inline std::int32_t MainDataRoom(const FrameValues& frame) {
    return frame.FrameLength - MainDataStart(frame);
}

// How loud a frame is, from its side information alone: the largest global gain of its
// granules and channels that code anything, 0 where none does (silence).
std::uint8_t FrameLevel(const FrameStartBytes& bytes);

// Whether no granule of any channel codes anything: none has coded bits or asks for scale
// factors (which a decoder would read from bits the granule has not got). Such a frame
// decodes to a spectrum of zeros, as silence, whatever it borrows.
bool CodesNothing(const FrameStartBytes& bytes);

// Where each granule's global gain lies in a frame's first bytes, in bits from the first:
// both granules of each channel in MPEG 1, one of each in MPEG 2 and 2.5, in the side
// information's order. A step of the gain is 1.5 dB of the granule's level.
struct GainPlaces {
    std::array<std::uint16_t, 4> Bits{};
    int Count = 0;
};
GainPlaces GlobalGainPlaces(const FrameStartBytes& bytes);

// How many bytes of main data the frame's granules code, all channels: their coded lengths
// summed, rounded up to the byte. They start where the back pointer points.
std::int32_t CodedBytes(const FrameStartBytes& bytes);

// The MPEG audio CRC-16 (polynomial 0x8005, start 0xFFFF, most significant bit first)
// that a protected frame carries in bytes 4 and 5: over header bytes 2 and 3 and the
// side information. `frame` holds at least the header, the CRC and the side information.
std::uint16_t FrameCrc(std::span<const std::uint8_t> frame, std::int16_t sideInfoSize);

// Whether the bytes open one of the tags that follow the audio, where the next frame would
// otherwise stand: an ID3 version 1 tag ("TAG"), an APEv2 tag ("APETAGEX") or a Lyrics3
// block ("LYRICSBEGIN").
inline bool IsTagMarker(const HeaderBytes& bytes) {
    const auto opens = [&bytes](std::string_view marker) {
        return std::equal(
            marker.begin(), marker.end(), bytes.begin(),
            [](char letter, std::uint8_t byte) { return std::uint8_t(letter) == byte; });
    };
    return opens("TAG") || opens("APETAGEX") || opens("LYRICSBE");
}

}  // namespace quorvel
