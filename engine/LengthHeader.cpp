#include "engine/LengthHeader.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace quorvel {
namespace {

// Xing's flags: which fields follow the flags, in this order.
constexpr std::uint32_t kXingFrames = 0x1;   // 4 bytes
constexpr std::uint32_t kXingBytes = 0x2;    // 4 bytes
constexpr std::uint32_t kXingToc = 0x4;      // 100 bytes
constexpr std::uint32_t kXingQuality = 0x8;  // 4 bytes
constexpr std::size_t kTocEntries = 100;

// The LAME tag, from its version string: 9 bytes of version, then the fields.
constexpr std::size_t kLameDelayPadding = 21;  // 12 bits delay, 12 bits padding
constexpr std::size_t kLameMusicLength = 28;   // 4 bytes: the header frame and the frames
constexpr std::size_t kLameTagCrc = 34;        // 2 bytes over the frame up to here
constexpr std::size_t kLameLength = 36;

// VBRI sits right after 32 bytes of side information, whatever the stream's mode.
constexpr std::size_t kVbriAt = 36;
constexpr std::size_t kVbriBytes = 10;           // 4 bytes
constexpr std::size_t kVbriFrames = 14;          // 4 bytes
constexpr std::size_t kVbriEntries = 18;         // 2 bytes
constexpr std::size_t kVbriScale = 20;           // 2 bytes
constexpr std::size_t kVbriEntrySize = 22;       // 2 bytes: 1 to 4
constexpr std::size_t kVbriFramesPerEntry = 24;  // 2 bytes
constexpr std::size_t kVbriToc = 26;

std::uint32_t ReadBigEndian(std::span<const std::uint8_t> bytes, std::size_t at,
                            std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i) value = value << 8 | bytes[at + i];
    return value;
}

void WriteBigEndian(std::span<std::uint8_t> bytes, std::size_t at, std::size_t count,
                    std::uint64_t value) {
    for (std::size_t i = count; i-- > 0; value >>= 8)
        bytes[at + i] = static_cast<std::uint8_t>(value);
}

bool Holds(std::span<const std::uint8_t> frame, std::size_t at, const char* text) {
    return at + 4 <= frame.size() && std::memcmp(frame.data() + at, text, 4) == 0;
}

// The CRC the LAME tag keeps of the frame before its own CRC field (CRC-16 with the
// reflected polynomial 0xA001, starting from 0).
std::uint16_t LameCrc(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1);
        }
    }
    return crc;
}

// The largest value a field of `size` bytes holds.
std::uint64_t Largest(std::size_t size) {
    return (std::uint64_t{1} << (8 * size)) - 1;
}

std::optional<LengthHeader> FindXing(std::span<const std::uint8_t> frame, std::size_t at) {
    if (!Holds(frame, at, "Xing") && !Holds(frame, at, "Info")) return std::nullopt;
    if (at + 8 > frame.size()) return std::nullopt;
    LengthHeader header;
    header.TagAt = at;
    header.XingFlags = ReadBigEndian(frame, at + 4, 4);
    std::size_t end = at + 8;
    for (const auto& [flag, size] : {std::pair{kXingFrames, 4u},
                                     {kXingBytes, 4u},
                                     {kXingToc, kTocEntries},
                                     {kXingQuality, 4u}}) {
        if (header.XingFlags & flag) end += size;
    }
    if (end > frame.size()) return std::nullopt;
    // ffmpeg's encoder writes the same tag under its own names.
    if ((Holds(frame, end, "LAME") || Holds(frame, end, "Lavf") || Holds(frame, end, "Lavc")) &&
        end + kLameLength <= frame.size()) {
        header.LameAt = end;
    }
    return header;
}

}  // namespace

std::optional<LengthHeader> FindLengthHeader(std::span<const std::uint8_t> frame,
                                             const FrameValues& values) {
    const std::int32_t samples = SamplesPerFrame(frame[1]);
    // Encoders put Xing's tag right after the side information, and some after the CRC
    // too when the stream has one.
    for (const std::size_t at :
         {std::size_t(4 + values.SideInfoSize), std::size_t(MainDataStart(values))}) {
        if (auto header = FindXing(frame, at)) {
            header->SamplesPerFrame = samples;
            return header;
        }
    }
    if (Holds(frame, kVbriAt, "VBRI") && kVbriAt + kVbriToc <= frame.size()) {
        const std::size_t entries = ReadBigEndian(frame, kVbriAt + kVbriEntries, 2);
        const std::size_t size = ReadBigEndian(frame, kVbriAt + kVbriEntrySize, 2);
        if (size >= 1 && size <= 4 && kVbriAt + kVbriToc + entries * size <= frame.size()) {
            return LengthHeader{LengthHeader::Kind::Vbri, kVbriAt, 0, std::nullopt, samples};
        }
    }
    return std::nullopt;
}

std::optional<Gapless> ReadGapless(std::span<const std::uint8_t> frame,
                                   const LengthHeader& header) {
    if (!header.LameAt) return std::nullopt;
    const std::uint32_t packed = ReadBigEndian(frame, *header.LameAt + kLameDelayPadding, 3);
    return Gapless{static_cast<std::int32_t>(packed >> 12),
                   static_cast<std::int32_t>(packed & 0xFFF)};
}

std::optional<StatedLength> ReadStatedLength(std::span<const std::uint8_t> frame,
                                             const LengthHeader& header) {
    constexpr std::uint32_t kBoth = kXingFrames | kXingBytes;
    if (header.Type != LengthHeader::Kind::Xing || (header.XingFlags & kBoth) != kBoth) {
        return std::nullopt;
    }
    return StatedLength{ReadBigEndian(frame, header.TagAt + 8, 4),
                        ReadBigEndian(frame, header.TagAt + 12, 4)};
}

std::int32_t VbriFramesPerEntry(std::span<const std::uint8_t> frame, const LengthHeader& header,
                                std::int64_t frames) {
    if (header.Type != LengthHeader::Kind::Vbri) return 1;
    const std::int64_t entries =
        std::max<std::int64_t>(1, ReadBigEndian(frame, header.TagAt + kVbriEntries, 2));
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>((frames + entries - 1) / entries, 1, 0xFFFF));
}

void PutNewLengthHeader(std::span<std::uint8_t> at, bool variableBitRate) {
    std::memcpy(at.data(), variableBitRate ? "Xing" : "Info", 4);
    WriteBigEndian(at, 4, 4, kXingFrames | kXingBytes | kXingToc | kXingQuality);
    // The encoder's name that opens the LAME tag: players honour the tag's delay only
    // after a name they know, and "LAME" is the one all of them know.
    constexpr std::string_view kEncoder = "LAME3.100";
    std::memcpy(at.data() + 8 + 4 + 4 + kTocEntries + 4, kEncoder.data(), kEncoder.size());
}

void RewriteLengthHeader(std::span<std::uint8_t> frame, const LengthHeader& header,
                         const PartLength& part) {
    const auto frames = static_cast<std::uint64_t>(part.Frames);
    const auto bytes = static_cast<std::uint64_t>(part.Bytes);
    if (header.Type == LengthHeader::Kind::Vbri) {
        const std::size_t at = header.TagAt;
        WriteBigEndian(frame, at + kVbriBytes, 4, std::min(bytes, Largest(4)));
        WriteBigEndian(frame, at + kVbriFrames, 4, std::min(frames, Largest(4)));
        WriteBigEndian(frame, at + kVbriFramesPerEntry, 2,
                       static_cast<std::uint64_t>(part.VbriFramesPerEntry));
        const std::size_t entries = ReadBigEndian(frame, at + kVbriEntries, 2);
        const std::uint64_t scale =
            std::max<std::uint32_t>(1, ReadBigEndian(frame, at + kVbriScale, 2));
        const std::size_t size = ReadBigEndian(frame, at + kVbriEntrySize, 2);
        for (std::size_t k = 0; k < entries; ++k) {
            const std::uint64_t entry =
                k < part.VbriEntries.size() ? static_cast<std::uint64_t>(part.VbriEntries[k]) : 0;
            WriteBigEndian(frame, at + kVbriToc + k * size, size,
                           std::min(entry / scale, Largest(size)));
        }
        return;
    }

    std::size_t field = header.TagAt + 8;
    if (header.XingFlags & kXingFrames) {
        WriteBigEndian(frame, field, 4, std::min(frames, Largest(4)));
        field += 4;
    }
    if (header.XingFlags & kXingBytes) {
        WriteBigEndian(frame, field, 4, std::min(bytes, Largest(4)));
        field += 4;
    }
    if (header.XingFlags & kXingToc) {
        for (std::size_t i = 0; i < kTocEntries; ++i) {
            const std::uint64_t offset = i < part.PercentOffsets.size()
                                             ? static_cast<std::uint64_t>(part.PercentOffsets[i])
                                             : 0;
            frame[field + i] = static_cast<std::uint8_t>(
                bytes == 0 ? 0 : std::min<std::uint64_t>(255, offset * 256 / bytes));
        }
    }
    if (!header.LameAt) return;
    const std::size_t lame = *header.LameAt;
    WriteBigEndian(frame, lame + kLameDelayPadding, 3,
                   static_cast<std::uint64_t>(std::clamp(part.Delay, 0, 0xFFF)) << 12 |
                       static_cast<std::uint64_t>(std::clamp(part.Padding, 0, 0xFFF)));
    WriteBigEndian(frame, lame + kLameMusicLength, 4, std::min(bytes, Largest(4)));
    WriteBigEndian(frame, lame + kLameTagCrc, 2, LameCrc(frame.first(lame + kLameTagCrc)));
}

}  // namespace quorvel
