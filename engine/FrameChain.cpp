#include "engine/FrameChain.h"

#include <algorithm>
#include <cstring>

namespace quorvel {

BlockReader::BlockReader(ByteSource& source, std::size_t blockSize)
    : source_(source), size_(source.Size()), block_(blockSize) {}

void BlockReader::Fill(std::int64_t offset) {
    blockStart_ = offset;
    const auto wanted = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(block_.size()), size_ - offset));
    // A source that ends early leaves the rest to read as zero.
    blockLength_ = ReadFully(source_, offset, block_.data(), wanted);
}

HeaderBytes BlockReader::HeaderAt(std::int64_t offset) {
    HeaderBytes header{};
    if (offset >= size_) return header;
    const auto end = blockStart_ + static_cast<std::int64_t>(blockLength_);
    if (offset < blockStart_ || offset + static_cast<std::int64_t>(header.size()) > end) {
        Fill(offset);
    }
    const auto at = static_cast<std::size_t>(offset - blockStart_);
    const auto available = blockLength_ > at ? std::min(header.size(), blockLength_ - at) : 0;
    std::memcpy(header.data(), block_.data() + at, available);
    return header;
}

std::int64_t BlockReader::NextSyncByte(std::int64_t offset) {
    while (offset < size_) {
        const auto end = blockStart_ + static_cast<std::int64_t>(blockLength_);
        if (offset < blockStart_ || offset >= end) {
            Fill(offset);
            if (blockLength_ == 0) return size_;  // nothing more could be read: all zero
        }
        const auto at = static_cast<std::size_t>(offset - blockStart_);
        const void* found = std::memchr(block_.data() + at, 0xFF, blockLength_ - at);
        if (found) {
            return blockStart_ + (static_cast<const std::uint8_t*>(found) - block_.data());
        }
        offset = blockStart_ + static_cast<std::int64_t>(blockLength_);
    }
    return size_;
}

ScanResult ScanFrameChain(ByteSource& source, FileInformation& info) {
    BlockReader reader(source);
    ScanResult result;
    WalkFrameChain(reader, info, [&](const ChainFrame& accepted) {
        ++result.Frames;
        result.TotalSeconds += accepted.Frame.FrameDuration;
        return true;
    });
    return result;
}

}  // namespace quorvel
