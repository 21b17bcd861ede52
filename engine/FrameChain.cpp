#include "engine/FrameChain.h"

#include <algorithm>
#include <cstring>

namespace quorvel {

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

ScanResult ScanFrameChain(ByteSource& source, FileInformation& info,
                          std::vector<std::uint8_t>* levels) {
    BlockReader reader(source);
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
        if (levels) {
            levels->push_back(FrameLevel(reader.FrameStartAt(accepted.Offset)));
            // The walk asks for the header's bytes ahead; the side information may lie on
            // the next line of memory.
            reader.Prefetch(accepted.Offset + 17 * accepted.Frame.FrameLength + 36);
        }
        return true;
    });
    result.VariableBitRate = bitRates.Changes();
    if (result.Frames > 0 && !broken) result.RunFrom = firstFrame, result.RunEnd = runEnd;
    // A stream too short for a run has its first frame.
    if (first < 0) first = firstFrame;
    FrameValues values;
    if (first >= 0) DecodeFrameHeader(reader.HeaderAt(first), result.Stream, values);
    return result;
}

}  // namespace quorvel
