#include "engine/FrameHeader.h"

#include <algorithm>
#include <array>

namespace quorvel {
namespace {

// Bit rates in kbit/s by the 4-bit index of byte 2 (bits 7-4). Index 0 (free format) has
// none of its own, and 15 is forbidden.
constexpr std::int32_t kRejectedBitRate = 0;
constexpr std::int32_t kBitRateMpeg1[16] = {
    kRejectedBitRate,  // 0000 free format
    32,                // 0001
    40,                // 0010
    48,                // 0011
    56,                // 0100
    64,                // 0101
    80,                // 0110
    96,                // 0111
    112,               // 1000
    128,               // 1001
    160,               // 1010
    192,               // 1011
    224,               // 1100
    256,               // 1101
    320,               // 1110
    kRejectedBitRate,  // 1111 forbidden
};
constexpr std::int32_t kBitRateMpeg2[16] = {
    kRejectedBitRate,  // 0000 free format
    8,                 // 0001
    16,                // 0010
    24,                // 0011
    32,                // 0100
    40,                // 0101
    48,                // 0110
    56,                // 0111
    64,                // 1000
    80,                // 1001
    96,                // 1010
    112,               // 1011
    128,               // 1100
    144,               // 1101
    160,               // 1110
    kRejectedBitRate,  // 1111 forbidden
};

// Sampling rates in Hz by the 2-bit index of byte 2 (bits 3-2); index 3 is reserved.
constexpr std::int32_t kSamplingMpeg1[3] = {44100, 48000, 32000};
constexpr std::int32_t kSamplingMpeg2[3] = {22050, 24000, 16000};
constexpr std::int32_t kSamplingMpeg25[3] = {11025, 12000, 8000};

using namespace header_bits;

// Length without padding and playing time, in the one arithmetic the program uses:
// the product in 32-bit integers, the quotient in double, rounded down before the
// padding; the duration as the reciprocal of frames per second.
constexpr std::int16_t UnpaddedLength(std::int32_t bitRate, std::int32_t samplingRate) {
    const std::int32_t multiplier = samplingRate >= 32000 ? 144 : 72;
    // The quotient is never negative, so dropping the fraction rounds it down.
    return static_cast<std::int16_t>(static_cast<double>(bitRate * multiplier) / samplingRate);
}

// The bit rate of free-format frames of `length` bytes before padding, to the whole kbit/s:
// encoders set free bit rates in whole kbit/s, and a length rounded down to the byte falls
// short of one by less than half a kbit/s at every sampling rate.
constexpr std::int32_t FreeBitRate(std::int32_t length, std::int32_t samplingRate) {
    const std::int64_t multiplier = samplingRate >= 32000 ? 144 : 72;
    const std::int64_t bits = std::int64_t{length} * samplingRate / multiplier;
    return static_cast<std::int32_t>((bits + 500) / 1000 * 1000);
}

constexpr double Duration(bool mpeg1, std::int32_t samplingRate) {
    const double samplesPerFrame = mpeg1 ? 1152 : 576;
    return 1 / (static_cast<double>(samplingRate) / samplesPerFrame);
}

// Both depend only on the version, bit-rate and sampling-rate indexes, and the scan asks
// for them once a frame: worked out for every combination when the program is built,
// they cost no division.
struct Timing {
    std::int16_t unpaddedLength;
    double duration;
};
using TimingTable = std::array<std::array<std::array<Timing, 3>, 16>, 3>;  // version, bit, sampling

constexpr TimingTable kTimings = [] {
    TimingTable built{};
    const std::int32_t* const sampling[3] = {kSamplingMpeg1, kSamplingMpeg2, kSamplingMpeg25};
    for (std::size_t version = 0; version < 3; ++version) {
        const auto* bitRates = version == 0 ? kBitRateMpeg1 : kBitRateMpeg2;
        for (std::size_t bit = 0; bit < 16; ++bit) {
            for (std::size_t rate = 0; rate < 3; ++rate) {
                const std::int32_t samplingRate = sampling[version][rate];
                built[version][bit][rate] = {UnpaddedLength(bitRates[bit] * 1000, samplingRate),
                                             Duration(version == 0, samplingRate)};
            }
        }
    }
    return built;
}();

}  // namespace

bool DecodeFrameHeader(const HeaderBytes& bytes, FileInformation& info, FrameValues& frame) {
    if (bytes[0] != 0xFF || (bytes[1] & kSync) != kSync) return false;

    std::size_t version;  // row of the timing table: MPEG 1, 2, 2.5
    switch (bytes[1] & kVersion) {
        case 0x18:
            info.MpegVersion = 1;
            version = 0;
            break;
        case 0x10:
            info.MpegVersion = 2;
            version = 1;
            break;
        case 0x00:
            info.MpegVersion = 2.5;
            version = 2;
            break;
        default:
            return false;  // 01: reserved
    }

    if ((bytes[1] & kLayer) != 0x02) return false;  // only 01, Layer III
    info.LayerNumber = 3;

    const auto bitRateIndex = static_cast<std::size_t>(bytes[2] >> kBitRateShift);
    const bool freeFormat = bitRateIndex == 0;
    const std::int32_t kbits =
        version == 0 ? kBitRateMpeg1[bitRateIndex] : kBitRateMpeg2[bitRateIndex];
    if (kbits == kRejectedBitRate && !(freeFormat && info.FreeFormatLength > 0)) return false;
    if (!freeFormat) info.BitRate = kbits * 1000;

    const auto samplingIndex =
        static_cast<std::size_t>((bytes[2] & kSamplingIndex) >> kSamplingShift);
    if (samplingIndex == 3) return false;
    const std::int32_t* const sampling[3] = {kSamplingMpeg1, kSamplingMpeg2, kSamplingMpeg25};
    info.SamplingRate = sampling[version][samplingIndex];
    if (freeFormat) info.BitRate = FreeBitRate(info.FreeFormatLength, info.SamplingRate);

    // The back pointer opens the side information, after the CRC when there is one: 9 bits
    // in MPEG 1, 8 in MPEG 2 and 2.5, where the bit after it is a private bit.
    const std::size_t pointerAt = SideInfoStart(bytes[1]);
    frame.Protected = pointerAt == 6;
    frame.MainDataBegin = version == 0
                              ? 2 * bytes[pointerAt] + ((bytes[pointerAt + 1] & 0x80) ? 1 : 0)
                              : bytes[pointerAt];

    const Timing& timing = kTimings[version][bitRateIndex][samplingIndex];
    const std::int16_t padding = (bytes[2] & kPadding) ? 1 : 0;
    frame.FrameLength = static_cast<std::int16_t>(
        (freeFormat ? info.FreeFormatLength : timing.unpaddedLength) + padding);
    frame.FrameDuration = timing.duration;
    frame.BitRateIndex = static_cast<std::uint8_t>(bitRateIndex);

    frame.SideInfoSize = SideInfoSize(bytes);
    return true;
}

namespace {

// The fields of one granule of one channel that tell whether and how loud it codes anything.
struct GranuleFields {
    std::uint32_t CodedLength = 0;
    std::uint32_t GlobalGain = 0;
    std::uint32_t ScaleFactorCompression = 0;
    std::size_t GainBit = 0;  // where the global gain lies, in bits from the frame's start
};

// Calls `visit` with the fields of each granule of each channel of the frame's side
// information.
template <typename Visit>
void ForEachGranule(const FrameStartBytes& bytes, Visit&& visit) {
    using namespace side_info_bits;
    // A field of up to 25 bits at a bit position, from the 4 bytes that hold it: the
    // scan reads it once a granule, so it costs no loop over bits.
    const auto read = [&bytes](std::size_t bit, int width) {
        const std::size_t at = bit / 8;
        const std::uint32_t word = std::uint32_t(bytes[at]) << 24 | bytes[at + 1] << 16 |
                                   bytes[at + 2] << 8 | bytes[at + 3];
        return (word << (bit % 8)) >> (32 - width);
    };
    const bool mpeg1 = bytes[1] & kMpeg1;
    const int channels = (bytes[3] & kChannelMode) == kChannelMode ? 1 : 2;
    std::size_t bit =
        SideInfoStart(bytes[1]) * 8 +
        (mpeg1 ? kBackPointerMpeg1 + (channels == 1 ? kPrivateMpeg1Mono : kPrivateMpeg1Stereo) +
                     channels * kScaleFactorSelection
               : kBackPointerMpeg2 + (channels == 1 ? kPrivateMpeg2Mono : kPrivateMpeg2Stereo));
    const auto granuleBits = static_cast<std::size_t>(mpeg1 ? kGranuleMpeg1 : kGranuleMpeg2);
    const int compression = mpeg1 ? kScaleFactorCompressionMpeg1 : kScaleFactorCompressionMpeg2;
    for (int granule = (mpeg1 ? 2 : 1) * channels; granule > 0; --granule, bit += granuleBits) {
        const std::size_t gain = bit + kCodedLength + kBigValues;
        visit(GranuleFields{read(bit, kCodedLength), read(gain, kGlobalGain),
                            read(gain + kGlobalGain, compression), gain});
    }
}

}  // namespace

std::uint8_t FrameLevel(const FrameStartBytes& bytes) {
    std::uint32_t level = 0;
    ForEachGranule(bytes, [&level](const GranuleFields& granule) {
        if (granule.CodedLength != 0) level = std::max(level, granule.GlobalGain);
    });
    return static_cast<std::uint8_t>(level);
}

bool CodesNothing(const FrameStartBytes& bytes) {
    bool nothing = true;
    ForEachGranule(bytes, [&nothing](const GranuleFields& granule) {
        nothing = nothing && granule.CodedLength == 0 && granule.ScaleFactorCompression == 0;
    });
    return nothing;
}

GainPlaces GlobalGainPlaces(const FrameStartBytes& bytes) {
    GainPlaces places;
    ForEachGranule(bytes, [&places](const GranuleFields& granule) {
        places.Bits[std::size_t(places.Count++)] = static_cast<std::uint16_t>(granule.GainBit);
    });
    return places;
}

std::int32_t CodedBytes(const FrameStartBytes& bytes) {
    std::uint32_t bits = 0;
    ForEachGranule(bytes, [&bits](const GranuleFields& granule) { bits += granule.CodedLength; });
    return static_cast<std::int32_t>((bits + 7) / 8);
}

std::uint16_t FrameCrc(std::span<const std::uint8_t> frame, std::int16_t sideInfoSize) {
    std::uint16_t crc = 0xFFFF;
    const auto add = [&](std::uint8_t byte) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool carry = ((crc >> 15) & 1) != ((byte >> bit) & 1);
            crc = static_cast<std::uint16_t>(crc << 1);
            if (carry) crc ^= 0x8005;
        }
    };
    add(frame[2]);
    add(frame[3]);
    for (std::size_t i = 6; i < 6 + static_cast<std::size_t>(sideInfoSize); ++i) add(frame[i]);
    return crc;
}

}  // namespace quorvel
