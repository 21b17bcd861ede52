#include "engine/AddedFrames.h"

#include <algorithm>
#include <optional>

#include "engine/SourceLayout.h"

namespace quorvel {
namespace {

// A frame of zeros behind `header` at the bit-rate index `index`, or, in a free-format
// stream, whose frames all have its one length, `freeFormatLength` long; none where that
// header does not decode.
std::optional<std::pair<FrameBytes, FrameValues>> ZeroFrame(HeaderBytes header, int index,
                                                            std::int16_t freeFormatLength) {
    SetBitRateIndex(header, IsFreeFormat(header) ? 0 : index);
    FileInformation scratch;
    scratch.FreeFormatLength = freeFormatLength;
    FrameValues values;
    if (!DecodeFrameHeader(header, scratch, values)) return std::nullopt;
    FrameBytes frame(static_cast<std::size_t>(values.FrameLength), 0);
    std::copy(header.begin(), header.begin() + 4, frame.begin());
    return std::pair{std::move(frame), values};
}

HeaderBytes HeaderOf(ByteSource& source, std::int64_t at) {
    HeaderBytes header{};
    ReadFully(source, at, header.data(), header.size());
    return header;
}

// Copies the borrowed bytes to the end of the frame's main data.
void PutBorrowed(ByteSource& source, std::span<std::uint8_t> frame,
                 const std::vector<Segment>& segments) {
    std::int64_t borrowed = 0;
    for (const Segment& segment : segments) borrowed += segment.To - segment.From;
    auto at = frame.end() - borrowed;
    for (const Segment& segment : segments) {
        const auto bytes = ReadBytes(source, segment.From, segment.To);
        at = std::copy(bytes.begin(), bytes.end(), at);
    }
}

// One silent frame that carries every borrowed byte: the last lender's header at the
// lowest higher bit rate whose main data holds them all, if one does.
std::optional<FrameBytes> OneWideFrame(ByteSource& source, const LenderFrame& last,
                                       const std::vector<Segment>& segments) {
    std::int64_t borrowed = 0;
    for (const Segment& segment : segments) borrowed += segment.To - segment.From;
    const HeaderBytes header = HeaderOf(source, last.Offset);
    // A free-format stream has no other bit rate.
    if (IsFreeFormat(header)) return std::nullopt;
    const int from = (header[2] & header_bits::kBitRateIndex) >> header_bits::kBitRateShift;
    for (int index = from + 1; index <= header_bits::kLargestBitRateIndex; ++index) {
        auto frame = ZeroFrame(header, index, 0);
        if (!frame || MainDataRoom(frame->second) < borrowed) continue;
        PutBorrowed(source, frame->first, segments);
        RewriteAddedFrame(frame->first, frame->second.SideInfoSize,
                          static_cast<std::int32_t>(borrowed));
        return std::move(frame->first);
    }
    return std::nullopt;
}

}  // namespace

std::vector<Segment> BorrowedSegments(const std::vector<LenderFrame>& lenders,
                                      std::int64_t borrowed) {
    std::vector<Segment> segments;
    for (auto lender = lenders.rbegin(); lender != lenders.rend() && borrowed > 0; ++lender) {
        const std::int64_t end = lender->Offset + lender->Frame.FrameLength;
        const std::int64_t take = std::min<std::int64_t>(borrowed, MainDataRoom(lender->Frame));
        segments.insert(segments.begin(), {end - take, end});
        borrowed -= take;
    }
    return segments;
}

std::vector<FrameBytes> FrameRuleAddedFrames(ByteSource& source, const Cut& cut,
                                             const std::vector<LenderFrame>& lenders, bool header,
                                             bool gapless) {
    const std::vector<Segment> segments =
        BorrowedSegments(lenders, std::max<std::int32_t>(cut.Borrowed, 0));
    std::vector<FrameBytes> added;
    if (segments.size() > 1 && header) {
        if (auto wide = OneWideFrame(source, lenders.back(), segments)) {
            added.push_back(std::move(*wide));
            return added;
        }
    }
    if (segments.empty() && gapless && !lenders.empty()) {
        const LenderFrame& before = lenders.back();
        auto frame = ReadBytes(source, before.Offset, before.Offset + before.Frame.FrameLength);
        RewriteAddedFrame(frame, before.Frame.SideInfoSize, 0);
        added.push_back(std::move(frame));
        return added;
    }
    std::int32_t carried = 0;
    auto lender = lenders.end() - static_cast<std::ptrdiff_t>(segments.size());
    for (const Segment& segment : segments) {
        auto frame = ReadBytes(source, lender->Offset, lender->Offset + lender->Frame.FrameLength);
        const auto share = static_cast<std::int32_t>(segment.To - segment.From);
        RewriteAddedFrame(frame, lender->Frame.SideInfoSize, share, carried);
        carried += share;
        added.push_back(std::move(frame));
        ++lender;
    }
    return added;
}

FrameBytes CarrierFrame(ByteSource& source, std::int64_t at,
                        const std::vector<LenderFrame>& lenders, std::int32_t borrowed,
                        std::int16_t freeFormatLength) {
    std::vector<std::uint8_t> carried;
    for (const Segment& segment : BorrowedSegments(lenders, borrowed)) {
        const auto bytes = ReadBytes(source, segment.From, segment.To);
        carried.insert(carried.end(), bytes.begin(), bytes.end());
    }
    return SilentCarrier(HeaderOf(source, at), carried, freeFormatLength);
}

FrameBytes SilentCarrier(const HeaderBytes& like, std::span<const std::uint8_t> carried,
                         std::int16_t freeFormatLength) {
    auto frame = ZeroFrame(like, header_bits::kLargestBitRateIndex, freeFormatLength);
    const auto held = static_cast<std::int32_t>(carried.size());
    if (!frame || MainDataRoom(frame->second) < held) return {};
    std::copy(carried.begin(), carried.end(), frame->first.end() - held);
    RewriteAddedFrame(frame->first, frame->second.SideInfoSize, held);
    return std::move(frame->first);
}

std::optional<FrameBytes> WidenedFrame(std::span<const std::uint8_t> frame,
                                       const FrameValues& values, std::int32_t kept,
                                       std::span<const std::uint8_t> carried) {
    HeaderBytes header{};
    std::copy_n(frame.begin(), header.size(), header.begin());
    if (IsFreeFormat(header)) return std::nullopt;
    const auto held = static_cast<std::int64_t>(carried.size());
    for (int index = values.BitRateIndex + 1; index <= header_bits::kLargestBitRateIndex; ++index) {
        auto wide = ZeroFrame(header, index, 0);
        if (!wide || MainDataRoom(wide->second) - kept < held) continue;
        FrameBytes& bytes = wide->first;
        const auto start = static_cast<std::ptrdiff_t>(MainDataStart(values));
        // The side information and the frame's own main data stay where they were.
        std::copy(frame.begin() + 4, frame.begin() + start + kept, bytes.begin() + 4);
        std::copy(carried.begin(), carried.end(), bytes.end() - held);
        if (values.Protected) {
            const std::uint16_t crc = FrameCrc(bytes, values.SideInfoSize);
            bytes[4] = static_cast<std::uint8_t>(crc >> 8);
            bytes[5] = static_cast<std::uint8_t>(crc & 0xFF);
        }
        return std::move(bytes);
    }
    return std::nullopt;
}

FrameBytes EmptyFrame(ByteSource& source, std::int64_t at, std::int16_t freeFormatLength) {
    auto frame = ZeroFrame(HeaderOf(source, at), 1, freeFormatLength);
    if (!frame) return {};
    RewriteAddedFrame(frame->first, frame->second.SideInfoSize, 0);
    return std::move(frame->first);
}

std::optional<NewHeader> NewHeaderFrame(ByteSource& source, std::int64_t at, bool variableBitRate,
                                        std::int16_t freeFormatLength) {
    HeaderBytes header = HeaderOf(source, at);
    header[1] |= header_bits::kNoCrc;  // as encoders write it: no CRC
    const int largest = IsFreeFormat(header) ? 1 : header_bits::kLargestBitRateIndex;
    for (int index = 1; index <= largest; ++index) {
        auto frame = ZeroFrame(header, index, freeFormatLength);
        if (!frame) return std::nullopt;
        const auto tagAt = static_cast<std::size_t>(4 + frame->second.SideInfoSize);
        if (frame->first.size() < tagAt + kNewLengthHeaderSize) continue;
        PutNewLengthHeader(std::span(frame->first).subspan(tagAt), variableBitRate);
        if (auto found = FindLengthHeader(frame->first, frame->second)) {
            return NewHeader{std::move(frame->first), *found};
        }
    }
    return std::nullopt;
}

bool ExactFramesFit(ByteSource& source, const Cut& cut, const SourceLayout& layout) {
    if (layout.FreeFormatLength == 0) return true;
    const std::int64_t partFrom = cut.Primers.empty() ? cut.At : cut.Primers.front().Offset;
    return !CarrierFrame(source, partFrom, cut.Lenders, cut.Borrowed, layout.FreeFormatLength)
                .empty() &&
           (cut.Gapless || NewHeaderFrame(source, cut.At, false, layout.FreeFormatLength));
}

void RewriteAddedFrame(std::span<std::uint8_t> frame, std::int16_t sideInfoSize,
                       std::int32_t mainDataBegin, std::int32_t backPointer) {
    // Side information of zeros but for the back pointer: every granule of every channel
    // without audio bits, scale factors or gain, so that a decoder plays silence and
    // reads none of the main data. The frame's own main data goes too; only its last
    // mainDataBegin bytes, the borrowed data of the frame after it, are kept.
    const std::size_t sideInfoAt = SideInfoStart(frame[1]);
    std::fill(frame.begin() + static_cast<std::ptrdiff_t>(sideInfoAt), frame.end() - mainDataBegin,
              0);
    SetMainDataBegin(frame, backPointer);
    if (sideInfoAt == 6) {
        const std::uint16_t crc = FrameCrc(frame, sideInfoSize);
        frame[4] = static_cast<std::uint8_t>(crc >> 8);
        frame[5] = static_cast<std::uint8_t>(crc & 0xFF);
    }
}

}  // namespace quorvel
