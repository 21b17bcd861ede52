#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/ByteSource.h"
#include "engine/FrameChain.h"
#include "engine/FrameHeader.h"
#include "engine/FrameSink.h"

namespace quorvel {

// The frames a walk over a whole source accepted, two bytes a frame, so that a later walk
// over part of the same file, unchanged, meets them again without reading its audio: the
// split after an analysis costs no second pass over a long file.
class ChainRecord final : public FrameSink {
  public:
    // More frames than a record keeps in a few tens of megabytes: such a source is walked
    // again.
    static constexpr std::size_t kMostFrames = std::size_t{12} << 20;

    explicit ChainRecord(std::optional<FileStamp> stamp) : stamp_(stamp) {}

    void Begin(std::int16_t freeFormatLength, std::int64_t bytes) override;
    // Once the record is full, it keeps none.
    void Add(const ChainFrame& frame, const HeaderBytes& bytes) override;

    // Whether it records the file opened with `stamp`, unchanged since, every frame kept.
    bool Records(const std::optional<FileStamp>& stamp) const {
        return !full_ && stamp_ && stamp == stamp_;
    }
    // Whether a walk over [from, to), its free-format frames `freeFormatLength` long, meets
    // the frames recorded there: no frame recorded crosses either end, where that walk would
    // have stepped through bytes this one passed over.
    bool Covers(std::int16_t freeFormatLength, std::int64_t from, std::int64_t to) const {
        return freeFormatLength == freeFormatLength_ && !Inside(from) && !Inside(to);
    }

    // Calls visit(frame) for each frame recorded that lies within [from, to), as
    // WalkFrameChain would; false where visit stopped it. Returns where the last frame given
    // ends (`from` where none was): past it, a walk bounded at `to` may accept what one
    // bounded by the file's end did not.
    template <typename Visit>
    std::int64_t Replay(FileInformation& info, Visit&& visit, std::int64_t from, std::int64_t to,
                        bool& stopped) const;

  private:
    HeaderBytes BytesOf(std::size_t frame, std::uint8_t byte1, std::uint8_t byte3) const;
    static constexpr int kBackPointerBits = 9;
    static constexpr std::uint16_t kBackPointer = (1 << kBackPointerBits) - 1;
    // Whether `at` lies within a frame recorded, after its first byte.
    bool Inside(std::int64_t at) const;

    // Where the header's byte 1 (version, layer, protection) or its channel mode take new
    // values, from which frame on; rare, so kept apart.
    struct Change {
        std::size_t Frame;
        std::uint8_t Byte1;
        std::uint8_t Byte3;
    };
    // A frame that does not start where the one before it ends.
    struct Jump {
        std::size_t Frame;
        std::int64_t Offset;
    };

    std::optional<FileStamp> stamp_;
    std::int16_t freeFormatLength_ = 0;
    bool full_ = false;
    std::int64_t end_ = 0;  // where the last frame recorded ends
    // Each frame's byte 2 without its private bit, above its 9-bit back pointer.
    std::vector<std::uint16_t> frames_;
    std::vector<Change> changes_;
    std::vector<Jump> jumps_;
    std::vector<std::size_t> unfollowed_;  // frames that no header follows
    // Where every kCheckpoint-th frame starts, so that a place is found without going
    // through every frame before it.
    static constexpr std::size_t kCheckpoint = 4096;
    std::vector<std::int64_t> checkpoints_;
};

template <typename Visit>
std::int64_t ChainRecord::Replay(FileInformation& info, Visit&& visit, std::int64_t from,
                                 std::int64_t to, bool& stopped) const {
    stopped = false;
    info.FreeFormatLength = freeFormatLength_;
    std::int64_t offset = 0, last = from;
    auto change = changes_.begin();
    auto jump = jumps_.begin();
    auto unfollowed = unfollowed_.begin();
    std::uint8_t byte1 = 0, byte3 = 0;
    // Between changes of byte 1 and the channel mode, a frame's values follow from its byte
    // 2 alone: each of those decoded once, its back pointer put in.
    std::array<FrameValues, 1 << 7> decoded;
    std::array<bool, 1 << 7> known{};
    std::size_t lastDecoded = 0;
    const WalkBounds bounds{from, to};
    ChainFrame frame;
    for (std::size_t i = 0; i < frames_.size(); ++i) {
        if (change != changes_.end() && change->Frame == i) {
            byte1 = change->Byte1, byte3 = change->Byte3, ++change;
            known = {};
        }
        if (jump != jumps_.end() && jump->Frame == i) offset = (jump++)->Offset;
        frame.FollowedByHeader = !(unfollowed != unfollowed_.end() && *unfollowed == i);
        if (!frame.FollowedByHeader) ++unfollowed;
        const std::size_t byte2 = frames_[i] >> kBackPointerBits;
        if (!known[byte2]) {
            DecodeFrameHeader(BytesOf(i, byte1, byte3), info, decoded[byte2]);
            known[byte2] = true;
        }
        frame.Frame = decoded[byte2];
        frame.Frame.MainDataBegin = frames_[i] & kBackPointer;
        lastDecoded = i;
        frame.Offset = offset;
        offset += frame.Frame.FrameLength;
        const WalkBounds::Place place = bounds.Of(frame);
        if (place == WalkBounds::Place::Before) continue;
        if (place == WalkBounds::Place::Past) break;
        if (place == WalkBounds::Place::AtEnd) frame.FollowedByHeader = false;
        if (!visit(static_cast<const ChainFrame&>(frame))) {
            stopped = true;
            break;
        }
        last = offset;
    }
    // The stream as the last frame met leaves it.
    if (!frames_.empty()) DecodeFrameHeader(BytesOf(lastDecoded, byte1, byte3), info, frame.Frame);
    return last;
}

}  // namespace quorvel
