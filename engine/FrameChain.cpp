#include "engine/FrameChain.h"

#include <algorithm>
#include <cstring>

#include "engine/FrameSink.h"
#include "engine/Tags.h"

namespace quorvel {
namespace {

// The longest free-format frame, its header included, that decoders read (libmpg123's
// limit), and how far into the audio its first frame may start before they give up.
constexpr std::int64_t kLongestFreeFormatFrame = 3460;
constexpr std::int64_t kFirstFrameWithin = 64 * 1024;

// Whether `header` belongs to the free-format stream whose first header is `first`, as
// decoders tell it: the same version, layer, bit-rate index, sampling rate and channel mode;
// the CRC bit and the padding may differ.
bool SameStream(const HeaderBytes& first, const HeaderBytes& header) {
    using namespace header_bits;
    constexpr std::uint8_t kRates = kBitRateIndex | kSamplingIndex;
    return header[0] == 0xFF && (header[1] | kNoCrc) == (first[1] | kNoCrc) &&
           (header[2] & kRates) == (first[2] & kRates) &&
           (header[3] & kChannelMode) == (first[3] & kChannelMode);
}

// The free-format length that the header at `offset` and the next header of its stream give,
// where the frame there ends as the chain rule wants; 0 where none does.
std::int16_t FreeFormatLengthAt(BlockReader& reader, std::int64_t offset, std::int64_t to) {
    const HeaderBytes first = reader.HeaderAt(offset);
    FileInformation probe;
    probe.FreeFormatLength = kLongestFreeFormatFrame;
    FrameValues frame;
    if (!IsFreeFormat(first) || !DecodeFrameHeader(first, probe, frame)) return 0;
    const std::int64_t padding = (first[2] & header_bits::kPadding) ? 1 : 0;
    const std::int64_t last = std::min(offset + kLongestFreeFormatFrame, to - 1);
    for (std::int64_t next = reader.NextSyncByte(offset + MainDataStart(frame) + padding);
         next <= last; next = reader.NextSyncByte(next + 1)) {
        const HeaderBytes header = reader.HeaderAt(next);
        if (!SameStream(first, header)) continue;
        probe.FreeFormatLength = static_cast<std::int16_t>(next - offset - padding);
        FrameValues following;
        DecodeFrameHeader(header, probe, following);
        const std::int64_t end = next + following.FrameLength;
        if (end == to || (end < to && (IsTagMarker(reader.HeaderAt(end)) ||
                                       SameStream(first, reader.HeaderAt(end))))) {
            return probe.FreeFormatLength;
        }
    }
    return 0;
}

}  // namespace

BlockReader::BlockReader(ByteSource& source, std::size_t blockSize)
    : source_(source), size_(source.Size()), blockSize_(blockSize) {}

void BlockReader::Fill(std::int64_t offset, std::size_t wanted) {
    blockStart_ = offset;
    if (const auto view = source_.View(offset, wanted); !view.empty()) {
        data_ = view.data();
        blockEnd_ = offset + static_cast<std::int64_t>(view.size());
        return;
    }
    if (buffer_.empty()) buffer_.resize(blockSize_);
    const auto length = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(blockSize_), size_ - offset));
    // A source that ends early leaves the rest to read as zero.
    data_ = buffer_.data();
    blockEnd_ =
        offset + static_cast<std::int64_t>(ReadFully(source_, offset, buffer_.data(), length));
}

HeaderBytes BlockReader::HeaderFilledAt(std::int64_t offset) {
    HeaderBytes header{};
    if (offset >= size_) return header;
    Fill(offset, header.size());
    const auto available =
        std::clamp<std::int64_t>(blockEnd_ - offset, 0, std::int64_t{header.size()});
    std::memcpy(header.data(), data_, static_cast<std::size_t>(available));
    return header;
}

FrameStartBytes BlockReader::FrameStartReadAt(std::int64_t offset) {
    FrameStartBytes bytes{};
    const auto length = static_cast<std::size_t>(
        std::clamp<std::int64_t>(size_ - offset, 0, std::int64_t{bytes.size()}));
    // Read, not shown: showing them might move what the source shows of the block.
    ReadFully(source_, offset, bytes.data(), length);
    return bytes;
}

std::int64_t BlockReader::NextSyncByte(std::int64_t offset) {
    while (offset < size_) {
        if (offset < blockStart_ || offset >= blockEnd_) {
            Fill(offset, 1);
            if (blockEnd_ == blockStart_) return size_;  // nothing more could be read: all zero
        }
        const auto at = static_cast<std::size_t>(offset - blockStart_);
        const auto count = static_cast<std::size_t>(blockEnd_ - offset);
        if (const void* found = std::memchr(data_ + at, 0xFF, count)) {
            return blockStart_ + (static_cast<const std::uint8_t*>(found) - data_);
        }
        offset = blockEnd_;
    }
    return size_;
}

std::int16_t FindFreeFormatLength(BlockReader& reader, std::int64_t from, std::int64_t to) {
    const std::int64_t last = std::min(to, from + kFirstFrameWithin);
    for (std::int64_t offset = reader.NextSyncByte(from); offset < last;
         offset = reader.NextSyncByte(offset + 1)) {
        FileInformation probe;
        FrameValues frame;
        if (DecodeFrameHeader(reader.HeaderAt(offset), probe, frame)) {
            const std::int64_t next = offset + frame.FrameLength;
            if (next == to) return 0;
            if (next > to) continue;
            const HeaderBytes successor = reader.HeaderAt(next);
            if (IsTagMarker(successor) || DecodeFrameHeader(successor, probe, frame)) return 0;
        } else if (const std::int16_t length = FreeFormatLengthAt(reader, offset, to)) {
            return length;
        }
    }
    return 0;
}

ScanResult ScanFrameChain(ByteSource& source, FileInformation& info,
                          std::vector<std::uint8_t>* levels, FrameSink* sink) {
    BlockReader reader(source);
    const SourceTags tags = FindTags(source);
    info.FreeFormatLength = FindFreeFormatLength(reader, tags.Id3v2Length, tags.TrailerAt);
    if (sink) sink->Begin(info.FreeFormatLength, source.Size());
    ScanResult result;
    // The run of frames each starting where the one before ends, and where it started.
    constexpr std::int64_t kRun = 4;
    std::int64_t runStart = -1, runEnd = -1, run = 0, first = -1, firstFrame = -1;
    BitRateChange bitRates;
    bool broken = false;
    WalkFrameChain(reader, info, [&](const ChainFrame& accepted) {
        if (++result.Frames == 1) firstFrame = accepted.Offset;
        broken = broken || (result.Frames > 1 && accepted.Offset != runEnd);
        result.TotalSeconds += accepted.Frame.FrameDuration;
        // The stream's bytes, seconds and bit rates count from the start of its run.
        if (accepted.Offset != runEnd && first < 0) {
            runStart = accepted.Offset, run = 0;
            result.Bytes = 0, result.StreamSeconds = 0, bitRates = {};
        }
        runEnd = accepted.Offset + accepted.Frame.FrameLength;
        if (++run == kRun && first < 0) first = runStart;
        result.Bytes += accepted.Frame.FrameLength;
        result.StreamSeconds += accepted.Frame.FrameDuration;
        bitRates.See(accepted.Frame);
        if (sink) sink->Add(accepted, reader.HeaderAt(accepted.Offset));
        if (levels) {
            levels->push_back(FrameLevel(reader.FrameStartAt(accepted.Offset)));
        }
        return true;
    });
    result.VariableBitRate = bitRates.Changes();
    if (result.Frames > 0 && !broken) result.RunFrom = firstFrame, result.RunEnd = runEnd;
    // A stream too short for a run has its first frame.
    if (first < 0) first = firstFrame;
    FrameValues values;
    result.Stream.FreeFormatLength = info.FreeFormatLength;
    if (first >= 0) DecodeFrameHeader(reader.HeaderAt(first), result.Stream, values);
    return result;
}

}  // namespace quorvel
