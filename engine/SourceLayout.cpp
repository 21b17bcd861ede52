#include "engine/SourceLayout.h"

#include <cmath>

namespace quorvel {

std::vector<std::uint8_t> ReadBytes(ByteSource& source, std::int64_t from, std::int64_t to) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(to - from));
    ReadFully(source, from, bytes.data(), bytes.size());
    return bytes;
}

SourceLayout ReadLayout(ByteSource& source, BlockReader& reader) {
    SourceLayout layout;
    layout.Tags = FindTags(source);
    layout.FreeFormatLength =
        FindFreeFormatLength(reader, layout.Tags.Id3v2Length, layout.Tags.TrailerAt);
    FileInformation scratch;
    scratch.FreeFormatLength = layout.FreeFormatLength;
    WalkFrameChain(
        reader, scratch,
        [&](const ChainFrame& frame) {
            layout.First = frame;
            return false;
        },
        layout.Tags.Id3v2Length, layout.Tags.TrailerAt);
    layout.HeaderStart = layout.AudioStart = layout.Tags.Id3v2Length;
    if (!layout.First) return layout;
    // Bytes before the first frame (junk, zeros) are no part's: the parts start at a frame.
    const std::int64_t at = layout.First->Offset;
    layout.HeaderStart = layout.AudioStart = at;
    const HeaderBytes first = reader.HeaderAt(at);
    FrameValues values;
    DecodeFrameHeader(first, scratch, values);
    layout.SamplingRate = scratch.SamplingRate;
    layout.SamplesPerFrame = SamplesPerFrame(first[1]);
    auto frame = ReadBytes(source, at, at + layout.First->Frame.FrameLength);
    layout.Header = FindLengthHeader(frame, layout.First->Frame);
    if (layout.Header) {
        layout.HeaderFrame = std::move(frame);
        layout.GaplessValues = ReadGapless(layout.HeaderFrame, *layout.Header);
        layout.AudioStart = at + layout.First->Frame.FrameLength;
    }
    return layout;
}

bool WalkAudioFramesFrom(
    BlockReader& reader, const SourceLayout& layout, std::int64_t from, std::int64_t count,
    const std::function<void(const ChainFrame&, const FrameStartBytes&)>& visit) {
    if (!layout.First) return false;
    FileInformation info;
    info.FreeFormatLength = layout.FreeFormatLength;
    std::int64_t next = from;
    std::int64_t left = count;
    bool unbroken = true;
    WalkFrameChain(
        reader, info,
        [&](const ChainFrame& frame) {
            if (left == 0) return false;
            unbroken = frame.Offset == next;
            if (!unbroken) return false;
            --left;
            next = frame.Offset + frame.Frame.FrameLength;
            visit(frame, reader.FrameStartAt(frame.Offset));
            return true;
        },
        from, layout.Tags.TrailerAt);
    return unbroken && (left == 0 || next == layout.Tags.TrailerAt);
}

bool WalkAudioFrames(BlockReader& reader, const SourceLayout& layout,
                     const std::function<void(const ChainFrame&, const FrameStartBytes&)>& visit) {
    return WalkAudioFramesFrom(reader, layout, layout.AudioStart, -1, visit);
}

PlayedLength MeasurePlayedLength(ByteSource& source, double seconds) {
    BlockReader reader(source);
    const SourceLayout layout = ReadLayout(source, reader);
    if (!layout.First) return {};
    PlayedLength length{0, layout.SamplingRate, layout.SamplesPerFrame};
    const std::int64_t frames =
        std::llround(seconds * layout.SamplingRate / layout.SamplesPerFrame) -
        (layout.Header ? 1 : 0);
    length.Samples = PlayedSamples(frames, layout.SamplesPerFrame, layout.GaplessValues);
    return length;
}

}  // namespace quorvel
