#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "engine/ByteSource.h"
#include "engine/FrameHeader.h"

namespace quorvel {

class FrameSink;

// Reads a source in large blocks so that the scan, which looks at every byte outside
// frames and two headers per frame, costs no system call per decision. A source that
// shows its bytes in place (a mapped file) is read there, without a copy. Bytes past the
// end of the source read as zero.
class BlockReader {
  public:
    explicit BlockReader(ByteSource& source, std::size_t blockSize = 256 * 1024);

    std::int64_t Size() const { return size_; }
    HeaderBytes HeaderAt(std::int64_t offset) {
        HeaderBytes header;
        if (offset >= blockStart_ && offset + std::int64_t{header.size()} <= blockEnd_) {
            std::memcpy(header.data(), data_ + (offset - blockStart_), header.size());
            return header;
        }
        return HeaderFilledAt(offset);
    }
    // A frame's header and side information. Where they are not in the block, they are read
    // on their own, the block staying where the walk has it.
    FrameStartBytes FrameStartAt(std::int64_t offset) {
        FrameStartBytes bytes;
        if (offset >= blockStart_ && offset + std::int64_t{bytes.size()} <= blockEnd_) {
            std::memcpy(bytes.data(), data_ + (offset - blockStart_), bytes.size());
            return bytes;
        }
        return FrameStartReadAt(offset);
    }
    // Asks the memory for every line of the block up to `offset` not asked for before, so
    // that the bytes a walk will read arrive ahead of it whatever the frames' lengths.
    void PrefetchThrough([[maybe_unused]] std::int64_t offset) {
#if defined(__GNUC__)
        offset = std::min(offset, blockEnd_);
        for (std::int64_t line = std::max(prefetched_, blockStart_); line < offset; line += 64) {
            __builtin_prefetch(data_ + (line - blockStart_));
        }
        prefetched_ = std::max(prefetched_, offset);
#endif
    }
    // The first offset at or after `offset` that holds 0xFF, or Size() when none does.
    std::int64_t NextSyncByte(std::int64_t offset);
    // Fails when what the walk read in place was not the source's own bytes.
    void Confirm() {
        source_.ConfirmViews();
    }

  private:
    void Fill(std::int64_t offset, std::size_t wanted);
    // A header outside the block: the block moves to it, or it is cut short by the end.
    HeaderBytes HeaderFilledAt(std::int64_t offset);
    FrameStartBytes FrameStartReadAt(std::int64_t offset);

    ByteSource& source_;
    std::int64_t size_;
    std::size_t blockSize_;
    std::vector<std::uint8_t> buffer_;  // for a source read through ReadAt only
    const std::uint8_t* data_ = nullptr;
    std::int64_t blockStart_ = 0;
    std::int64_t blockEnd_ = 0;
    std::int64_t prefetched_ = 0;
};

// A frame that the chain rule accepts: its header decodes and so does the header right
// after it, or the tag marker follows, or it ends exactly at the end of the source.
struct ChainFrame {
    std::int64_t Offset = 0;
    FrameValues Frame;
    bool FollowedByHeader = false;  // false when the tag marker or the end follows
};

// Where a frame that a walk over a whole source accepted lies for a walk bounded by
// [From, To): before it, within it, ending at its end (where that walk looks for no header
// after it, and takes the frame as followed by none), or past it.
struct WalkBounds {
    enum class Place { Before, Within, AtEnd, Past };
    std::int64_t From = 0;
    std::int64_t To = 0;

    Place Of(const ChainFrame& frame) const {
        const std::int64_t end = frame.Offset + frame.Frame.FrameLength;
        return frame.Offset < From ? Place::Before
               : end > To          ? Place::Past
               : end == To         ? Place::AtEnd
                                   : Place::Within;
    }
};

// Walks the source from `start` (its first byte unless told) to `end` (its last unless
// told: the tags after the audio may end it) frame by frame, stepping one byte at a time
// wherever the chain does not hold; free-format frames have the length `info` holds.
// `visit` sees each frame before it is accepted and returns false to stop the walk there
// (the frame is then not accepted). A walk over bytes that were not the source's own fails
// at its end, as a read would.
template <typename Visit>
void WalkFrameChain(BlockReader& reader, FileInformation& info, Visit&& visit,
                    std::int64_t start = 0, std::int64_t end = -1) {
    const std::int64_t length = end < 0 ? reader.Size() : end;
    std::int64_t offset = start;
    // The successor of an accepted frame is the next candidate: its decoding, which wrote
    // the same record fields, is kept rather than repeated. The two take turns in `decodings`.
    ChainFrame decodings[2];
    std::size_t current = 0;
    std::int64_t decodedAt = -1;
    while (offset < length) {
        ChainFrame& candidate = decodings[current];
        if (offset != decodedAt) {
            offset = reader.NextSyncByte(offset);
            if (offset >= length) break;
            if (!DecodeFrameHeader(reader.HeaderAt(offset), info, candidate.Frame)) {
                ++offset;
                continue;
            }
        }
        candidate.Offset = offset;
        const std::int64_t next = offset + candidate.Frame.FrameLength;
        candidate.FollowedByHeader = false;
        if (next < length) {
            const HeaderBytes successor = reader.HeaderAt(next);
            if (!IsTagMarker(successor)) {
                if (!DecodeFrameHeader(successor, info, decodings[current ^ 1].Frame)) {
                    ++offset;
                    continue;
                }
                decodedAt = next;
                candidate.FollowedByHeader = true;
            }
        } else if (next != length) {
            ++offset;  // cut short by the end of the source
            continue;
        }
        // Each step waits on the bytes of the next frame: the memory is asked for them a
        // few kilobytes ahead.
        constexpr std::int64_t kBytesAhead = 16 * 1024;
        reader.PrefetchThrough(next + kBytesAhead);
        if (!visit(static_cast<const ChainFrame&>(candidate))) break;
        offset = next;
        if (decodedAt == next) current ^= 1;
    }
    reader.Confirm();
}

// Whether the frames seen one after another change their bit rate.
class BitRateChange {
  public:
    void See(const FrameValues& frame) {
        if (!first_) first_ = frame.BitRateIndex;
        changes_ = changes_ || frame.BitRateIndex != *first_;
    }
    bool Changes() const { return changes_; }

  private:
    std::optional<std::uint8_t> first_;
    bool changes_ = false;
};

// The length of a free-format stream's frames, padding aside, found as decoders find it:
// from its first header after `from` to the next header of the same stream (the same
// version, layer, bit-rate index, sampling rate and channel mode), less the first one's
// padding; the frame there must end at another such header, a tag marker or `to`. 0 where
// the stream's first frame has a bit rate of its own (a frame the chain rule accepts comes
// first), or where no frame starts within 64 KiB, where decoders give up too.
std::int16_t FindFreeFormatLength(BlockReader& reader, std::int64_t from, std::int64_t to);

// What the frame chain scan of a whole source found.
struct ScanResult {
    std::int64_t Frames = 0;
    double TotalSeconds = 0;
    // The stream as the first frame of the first unbroken run of a few frames has it: a
    // false sync in junk before the audio seldom chains that far. Its frames' bytes and
    // seconds, from that frame on, give a variable bit rate's average.
    FileInformation Stream;
    std::int64_t Bytes = 0;
    double StreamSeconds = 0;
    bool VariableBitRate = false;
    // Where each frame starts where the one before it ends: the first one's start and the
    // last one's end; -1 where not.
    std::int64_t RunFrom = -1;
    std::int64_t RunEnd = -1;
};

// Counts the frames of a source by the chain rule and sums their playing times, those of a
// free-format stream at the length found after its ID3v2 tag; `info` is left as the last
// decoded header left it. `levels`, where given, takes each
// accepted frame's level (FrameLevel), in order; `sink`, each accepted frame.
ScanResult ScanFrameChain(ByteSource& source, FileInformation& info,
                          std::vector<std::uint8_t>* levels = nullptr, FrameSink* sink = nullptr);

}  // namespace quorvel
