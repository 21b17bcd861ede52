#pragma once

#include <cstdint>
#include <vector>

#include "engine/ByteSource.h"
#include "engine/FrameHeader.h"

namespace quorvel {

// Reads a source in large blocks so that the scan, which looks at every byte outside
// frames and two headers per frame, costs no system call per decision. Bytes past the
// end of the source read as zero.
class BlockReader {
  public:
    explicit BlockReader(ByteSource& source, std::size_t blockSize = 256 * 1024);

    std::int64_t Size() const { return size_; }
    HeaderBytes HeaderAt(std::int64_t offset);
    // The first offset at or after `offset` that holds 0xFF, or Size() when none does.
    std::int64_t NextSyncByte(std::int64_t offset);

  private:
    void Fill(std::int64_t offset);

    ByteSource& source_;
    std::int64_t size_;
    std::vector<std::uint8_t> block_;
    std::int64_t blockStart_ = 0;
    std::size_t blockLength_ = 0;
};

// A frame that the chain rule accepts: its header decodes and so does the header right
// after it, or the tag marker follows, or it ends exactly at the end of the source.
struct ChainFrame {
    std::int64_t Offset = 0;
    FrameValues Frame;
    bool FollowedByHeader = false;  // false when the tag marker or the end follows
};

// Walks the source from `start` (its first byte unless told) frame by frame, stepping
// one byte at a time wherever the chain does not hold. `visit` sees each frame before it
// is accepted and returns false to stop the walk there (the frame is then not accepted).
template <typename Visit>
void WalkFrameChain(BlockReader& reader, FileInformation& info, Visit&& visit,
                    std::int64_t start = 0) {
    const std::int64_t length = reader.Size();
    std::int64_t offset = start;
    // The successor of an accepted frame is the next candidate: its decoding, which wrote
    // the same record fields, is kept rather than repeated.
    std::int64_t decodedAt = -1;
    FrameValues decoded;
    while (offset < length) {
        FrameValues frame;
        if (offset == decodedAt) {
            frame = decoded;
        } else {
            offset = reader.NextSyncByte(offset);
            if (offset >= length) break;
            if (!DecodeFrameHeader(reader.HeaderAt(offset), info, frame)) {
                ++offset;
                continue;
            }
        }
        const std::int64_t next = offset + frame.FrameLength;
        bool followedByHeader = false;
        if (next < length) {
            const HeaderBytes successor = reader.HeaderAt(next);
            if (!IsTagMarker(successor)) {
                if (!DecodeFrameHeader(successor, info, decoded)) {
                    ++offset;
                    continue;
                }
                decodedAt = next;
                followedByHeader = true;
            }
        } else if (next != length) {
            ++offset;  // cut short by the end of the source
            continue;
        }
        if (!visit(ChainFrame{offset, frame, followedByHeader})) return;
        offset = next;
    }
}

// What the frame chain scan of a whole source found.
struct ScanResult {
    std::int64_t Frames = 0;
    double TotalSeconds = 0;
};

// Counts the frames of a source by the chain rule and sums their playing times;
// `info` is left as the last decoded header left it.
ScanResult ScanFrameChain(ByteSource& source, FileInformation& info);

}  // namespace quorvel
