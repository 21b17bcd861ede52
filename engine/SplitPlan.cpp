#include <algorithm>
#include <cassert>
#include <cmath>
#include <optional>

#include "engine/FrameChain.h"
#include "engine/LengthHeader.h"
#include "engine/Numbers.h"
#include "engine/SplitPlan.h"

namespace quorvel {

SplitPoint FindSafeSplitPoint(ByteSource& source, std::int32_t splitSeconds,
                              FileInformation& info) {
    BlockReader reader(source);
    SplitPoint point;
    double elapsedSeconds = 0;
    // Room for main data in the frame before: none before the first frame.
    std::int32_t room = -1;
    WalkFrameChain(reader, info, [&](const ChainFrame& candidate) {
        // The borrowed main data must lie in the main data of the frame before, behind
        // its header, CRC and side information, so that one copy of that frame carries
        // all of it.
        if (candidate.FollowedByHeader && elapsedSeconds >= splitSeconds &&
            candidate.Frame.MainDataBegin <= room) {
            point.SplitPosition = candidate.Offset;
            point.SplitMainDataBegin = candidate.Frame.MainDataBegin;
            return false;
        }
        room = candidate.Frame.FrameLength - MainDataStart(candidate.Frame);
        point.PrevFrameLength = candidate.Frame.FrameLength;
        point.PrevSideInfoSize = candidate.Frame.SideInfoSize;
        elapsedSeconds += candidate.Frame.FrameDuration;
        ++point.FramesBeforeSplit;
        return true;
    });
    if (point.SplitPosition == 0) point.SplitMainDataBegin = 0;
    return point;
}

namespace {

// The frames of one part of the source, [from, to), as the chain rule finds them.
struct PartFrames {
    std::int64_t Count = 0;
    std::int64_t End = 0;  // where the last one ends
    double Seconds = 0;
};

template <typename Visit>
void WalkPart(BlockReader& reader, std::int64_t from, std::int64_t to, Visit&& visit) {
    // The part's own walk: the fields of the stream information stay as the search left them.
    FileInformation scratch;
    WalkFrameChain(
        reader, scratch,
        [&](const ChainFrame& frame) {
            if (frame.Offset >= to) return false;
            visit(frame);
            return true;
        },
        from);
}

PartFrames CountPart(BlockReader& reader, std::int64_t from, std::int64_t to) {
    PartFrames part{0, from, 0};
    WalkPart(reader, from, to, [&](const ChainFrame& frame) {
        ++part.Count;
        part.End = frame.Offset + frame.Frame.FrameLength;
        part.Seconds += frame.Frame.FrameDuration;
    });
    return part;
}

// The length header of a part whose frames [from, to) follow `leadFrames` frames of
// `leadBytes` bytes in all, counted from the header frame's start (the header frame
// first, then the added frames, each `addedLength` bytes).
PartLength MeasurePart(BlockReader& reader, std::span<const std::uint8_t> headerFrame,
                       const LengthHeader& header, const PartFrames& frames, std::int64_t from,
                       std::int64_t to, std::int64_t leadFrames, std::int64_t leadBytes) {
    PartLength part;
    part.Frames = leadFrames + frames.Count;
    part.Bytes = leadBytes + (frames.End - from);
    part.VbriFramesPerEntry = VbriFramesPerEntry(headerFrame, header, part.Frames);
    const std::int64_t headerLength = static_cast<std::int64_t>(headerFrame.size());
    const std::int64_t addedLength = leadFrames > 0 ? (leadBytes - headerLength) / leadFrames : 0;
    std::int64_t index = 0;
    const auto add = [&](std::int64_t offset, std::int64_t length) {
        while (static_cast<std::int64_t>(part.PercentOffsets.size()) < 100 &&
               static_cast<std::int64_t>(part.PercentOffsets.size()) * part.Frames / 100 == index) {
            part.PercentOffsets.push_back(offset);
        }
        if (header.Type == LengthHeader::Kind::Vbri) {
            const auto entry = static_cast<std::size_t>(index / part.VbriFramesPerEntry);
            if (part.VbriEntries.size() <= entry) part.VbriEntries.resize(entry + 1);
            part.VbriEntries[entry] += length;
        }
        ++index;
    };
    for (std::int64_t k = 0; k < leadFrames; ++k) add(headerLength + k * addedLength, addedLength);
    WalkPart(reader, from, to, [&](const ChainFrame& frame) {
        add(leadBytes + frame.Offset - from, frame.Frame.FrameLength);
    });
    return part;
}

// The source's ID3v2 tag, its length frame stating `seconds`, or as it is.
OutputPiece TagPiece(ByteSource& source, std::int64_t length, double seconds, TagEditor& editor) {
    std::vector<std::uint8_t> tag(static_cast<std::size_t>(length));
    if (ReadFully(source, 0, tag.data(), tag.size()) == tag.size()) {
        if (auto edited = editor.WithLength(tag, std::llround(seconds * 1000))) {
            const auto editedLength = static_cast<std::int64_t>(edited->size());
            return {0, editedLength, std::move(*edited)};
        }
    }
    return {0, length, {}};
}

void Append(OutputPlan& plan, std::int64_t from, std::int64_t to) {
    if (to > from) plan.push_back({from, to - from, {}});
}

void Append(OutputPlan& plan, std::vector<std::uint8_t> bytes) {
    if (bytes.empty()) return;
    const auto length = static_cast<std::int64_t>(bytes.size());
    plan.push_back({0, length, std::move(bytes)});
}

}  // namespace

OutputPlans PlanOutputs(const SplitPoint& point, ByteSource& source, TagEditor& editor) {
    BlockReader reader(source);
    const SourceTags tags = FindTags(source);
    const std::int64_t split = point.SplitPosition;
    const std::int64_t borrowed = std::max<std::int32_t>(point.SplitMainDataBegin, 0);

    // The first frame after the ID3v2 tag may hold a length header; it is the first
    // output's own when it ends before the zeroed bytes.
    std::optional<ChainFrame> first;
    FileInformation scratch;
    WalkFrameChain(
        reader, scratch,
        [&](const ChainFrame& frame) {
            first = frame;
            return false;
        },
        tags.Id3v2Length);
    std::vector<std::uint8_t> headerFrame;
    std::optional<LengthHeader> header;
    if (first && first->Offset + first->Frame.FrameLength <= split - borrowed) {
        headerFrame.resize(static_cast<std::size_t>(first->Frame.FrameLength));
        ReadFully(source, first->Offset, headerFrame.data(), headerFrame.size());
        header = FindLengthHeader(headerFrame, first->Frame);
    }
    const std::int64_t headerStart = header ? first->Offset : tags.Id3v2Length;
    const std::int64_t audioStart = header ? first->Offset + first->Frame.FrameLength : headerStart;
    const std::int64_t sourceEnd = source.Size();
    const auto gapless = header ? ReadGapless(headerFrame, *header) : std::nullopt;

    // The copy of the frame before the split frame that carries its borrowed bytes; a
    // LAME tag also wants it when nothing is borrowed, as the frame its start delay skips.
    std::vector<std::uint8_t> added;
    if (borrowed > 0 || gapless) {
        assert(split >= point.PrevFrameLength);
        added.resize(static_cast<std::size_t>(point.PrevFrameLength));
        ReadFully(source, split - point.PrevFrameLength, added.data(), added.size());
        RewriteAddedFrame(added, point.PrevSideInfoSize, point.SplitMainDataBegin);
    }
    const std::int64_t addedFrames = added.empty() ? 0 : 1;

    // The parts' frames, walked only when a header or a tag states their length.
    const bool measured = header || tags.Id3v2Length > 0;
    const PartFrames firstFrames = measured ? CountPart(reader, audioStart, split) : PartFrames{};
    const PartFrames secondFrames = measured ? CountPart(reader, split, sourceEnd) : PartFrames{};

    OutputPlans plans;
    OutputPlan& one = plans.First;
    OutputPlan& two = plans.Second;
    if (tags.Id3v2Length > 0) {
        one.push_back(TagPiece(source, tags.Id3v2Length, firstFrames.Seconds, editor));
        two.push_back(TagPiece(source, tags.Id3v2Length, secondFrames.Seconds, editor));
    }
    Append(one, tags.Id3v2Length, headerStart);
    if (header) {
        std::vector<std::uint8_t> own = headerFrame;
        PartLength part = MeasurePart(reader, headerFrame, *header, firstFrames, audioStart, split,
                                      0, static_cast<std::int64_t>(headerFrame.size()));
        part.Delay = gapless ? gapless->Delay : 0;
        part.Padding = 0;  // the first output ends where a frame ends
        RewriteLengthHeader(own, *header, part);
        Append(one, std::move(own));

        std::vector<std::uint8_t> theirs = headerFrame;
        part =
            MeasurePart(reader, headerFrame, *header, secondFrames, split, sourceEnd, addedFrames,
                        static_cast<std::int64_t>(headerFrame.size() + added.size()));
        // A gapless player skips the added frame: its samples less the decoder's own
        // delay of 529 samples, which the player skips anyway.
        part.Delay = header->SamplesPerFrame - 529;
        part.Padding = gapless ? gapless->Padding : 0;
        RewriteLengthHeader(theirs, *header, part);
        Append(two, std::move(theirs));
    }
    Append(one, audioStart, split - borrowed);
    Append(one, std::vector<std::uint8_t>(static_cast<std::size_t>(borrowed), 0));
    if (tags.Id3v1At >= split) Append(one, tags.Id3v1At, sourceEnd);

    Append(two, std::move(added));
    Append(two, split, sourceEnd);
    return plans;
}

void RewriteAddedFrame(std::span<std::uint8_t> frame, std::int16_t sideInfoSize,
                       std::int32_t mainDataBegin) {
    // Side information of zeros: no back pointer, and every granule of every channel
    // without audio bits, scale factors or gain, so that a decoder plays silence and
    // reads none of the main data. The frame's own main data goes too; only its last
    // mainDataBegin bytes, the split frame's borrowed data, are kept.
    const std::size_t sideInfoAt = SideInfoStart(frame[1]);
    std::fill(frame.begin() + static_cast<std::ptrdiff_t>(sideInfoAt), frame.end() - mainDataBegin,
              0);
    if (sideInfoAt == 6) {
        const std::uint16_t crc = FrameCrc(frame, sideInfoSize);
        frame[4] = static_cast<std::uint8_t>(crc >> 8);
        frame[5] = static_cast<std::uint8_t>(crc & 0xFF);
    }
}

std::string BaseName(std::string_view sourcePath) {
    std::string_view name = TrimBlanks(sourcePath);
    if (const auto slash = name.rfind('/'); slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    const auto dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

}  // namespace quorvel
