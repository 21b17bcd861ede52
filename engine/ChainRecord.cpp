#include "engine/ChainRecord.h"

#include <algorithm>

namespace quorvel {
void ChainRecord::Begin(std::int16_t freeFormatLength, std::int64_t bytes) {
    freeFormatLength_ = freeFormatLength;
    // Room for as many frames as the bytes can hold, so that the frames are never moved as
    // they grow: pages not written to take no memory.
    constexpr std::int64_t kShortestFrame = 48;
    frames_.reserve(
        static_cast<std::size_t>(std::min<std::int64_t>(bytes / kShortestFrame, kMostFrames)));
}

void ChainRecord::Add(const ChainFrame& frame, const HeaderBytes& bytes) {
    if (full_) return;
    if (frames_.size() == kMostFrames) {
        full_ = true;
        frames_ = {}, changes_ = {}, jumps_ = {}, unfollowed_ = {}, checkpoints_ = {};
        return;
    }
    const std::size_t index = frames_.size();
    // Of byte 3 the decoding reads the channel mode alone; the mode extension changes from
    // frame to frame in joint stereo.
    const auto byte3 = static_cast<std::uint8_t>(bytes[3] & header_bits::kChannelMode);
    if (changes_.empty() || changes_.back().Byte1 != bytes[1] || changes_.back().Byte3 != byte3) {
        changes_.push_back({index, bytes[1], byte3});
    }
    if (index == 0 || frame.Offset != end_) jumps_.push_back({index, frame.Offset});
    if (!frame.FollowedByHeader) unfollowed_.push_back(index);
    if (index % kCheckpoint == 0) checkpoints_.push_back(frame.Offset);
    frames_.push_back(static_cast<std::uint16_t>((bytes[2] >> 1) << kBackPointerBits |
                                                 frame.Frame.MainDataBegin));
    end_ = frame.Offset + frame.Frame.FrameLength;
}

HeaderBytes ChainRecord::BytesOf(std::size_t frame, std::uint8_t byte1, std::uint8_t byte3) const {
    const std::uint16_t kept = frames_[frame];
    const int backPointer = kept & kBackPointer;
    HeaderBytes bytes{0xFF, byte1, static_cast<std::uint8_t>(kept >> kBackPointerBits << 1), byte3};
    // The back pointer where the header's decoding reads it.
    const std::size_t at = SideInfoStart(byte1);
    if (byte1 & header_bits::kMpeg1) {
        bytes[at] = static_cast<std::uint8_t>(backPointer >> 1);
        bytes[at + 1] = static_cast<std::uint8_t>((backPointer & 1) << 7);
    } else {
        bytes[at] = static_cast<std::uint8_t>(backPointer);
    }
    return bytes;
}

bool ChainRecord::Inside(std::int64_t at) const {
    const auto after = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), at);
    if (after == checkpoints_.begin()) return false;
    std::size_t i = static_cast<std::size_t>(after - checkpoints_.begin() - 1) * kCheckpoint;
    // The state the replay has at that frame: its header's bytes and the jumps to come.
    auto change =
        std::upper_bound(changes_.begin(), changes_.end(), i,
                         [](std::size_t frame, const Change& c) { return frame < c.Frame; });
    --change;
    auto jump = std::lower_bound(jumps_.begin(), jumps_.end(), i,
                                 [](const Jump& j, std::size_t frame) { return j.Frame < frame; });
    std::uint8_t byte1 = change->Byte1, byte3 = change->Byte3;
    ++change;
    std::int64_t offset = checkpoints_[i / kCheckpoint];
    FileInformation info;
    info.FreeFormatLength = freeFormatLength_;
    FrameValues values;
    for (; i < frames_.size(); ++i) {
        if (change != changes_.end() && change->Frame == i) {
            byte1 = change->Byte1, byte3 = change->Byte3, ++change;
        }
        if (jump != jumps_.end() && jump->Frame == i) offset = (jump++)->Offset;
        if (offset >= at) return false;
        DecodeFrameHeader(BytesOf(i, byte1, byte3), info, values);
        offset += values.FrameLength;
        if (offset > at) return true;
    }
    return false;
}

}  // namespace quorvel
