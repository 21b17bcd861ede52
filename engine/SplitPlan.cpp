#include <algorithm>
#include <cmath>
#include <optional>

#include "engine/FrameChain.h"
#include "engine/LengthHeader.h"
#include "engine/Numbers.h"
#include "engine/SplitPlan.h"

namespace quorvel {

namespace {

// How much main data a frame holds behind its header, CRC and side information.
std::int32_t Room(const FrameValues& frame) {
    return frame.FrameLength - MainDataStart(frame);
}

// The walk both rules share: the first frame at or after the split time that the chain
// rule accepts and `fits` takes, given the frames before it, newest last.
template <typename Fits>
SplitPoint FindSplitPoint(ByteSource& source, std::int32_t splitSeconds, FileInformation& info,
                          Fits&& fits) {
    BlockReader reader(source);
    SplitPoint point;
    // The frames before the candidate, as many as a back pointer can reach into.
    std::vector<LenderFrame> before;
    constexpr std::size_t kRemembered = 16;
    WalkFrameChain(reader, info, [&](const ChainFrame& candidate) {
        if (candidate.FollowedByHeader && point.SplitSeconds >= splitSeconds && !before.empty() &&
            fits(candidate.Frame.MainDataBegin, before)) {
            point.SplitPosition = candidate.Offset;
            point.SplitMainDataBegin = candidate.Frame.MainDataBegin;
            // The frames whose main data holds the borrowed bytes, the last one at least.
            std::int32_t held = 0;
            auto first = before.end() - 1;
            while ((held += Room(first->Frame)) < point.SplitMainDataBegin &&
                   first != before.begin()) {
                --first;
            }
            point.Lenders.assign(first, before.end());
            return false;
        }
        if (before.size() == kRemembered) before.erase(before.begin());
        before.push_back({candidate.Offset, candidate.Frame});
        point.PrevFrameLength = candidate.Frame.FrameLength;
        point.PrevSideInfoSize = candidate.Frame.SideInfoSize;
        point.SplitSeconds += candidate.Frame.FrameDuration;
        ++point.FramesBeforeSplit;
        return true;
    });
    if (point.SplitPosition == 0) point.SplitMainDataBegin = 0;
    return point;
}

}  // namespace

SplitPoint FindSafeSplitPoint(ByteSource& source, std::int32_t splitSeconds,
                              FileInformation& info) {
    // The borrowed main data must lie in the main data of the frame before, so that one
    // copy of that frame carries all of it.
    return FindSplitPoint(source, splitSeconds, info,
                          [](std::int32_t borrowed, const std::vector<LenderFrame>& before) {
                              return borrowed <= Room(before.back().Frame);
                          });
}

SplitPoint FindExactSplitPoint(ByteSource& source, std::int32_t splitSeconds,
                               FileInformation& info) {
    return FindSplitPoint(source, splitSeconds, info,
                          [](std::int32_t, const std::vector<LenderFrame>&) { return true; });
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

// The length header of a part whose frames [from, to) follow its header frame and the
// added frames of `added` bytes each, offsets counted from the header frame's start.
PartLength MeasurePart(BlockReader& reader, std::span<const std::uint8_t> headerFrame,
                       const LengthHeader& header, const PartFrames& frames, std::int64_t from,
                       std::int64_t to, const std::vector<std::int64_t>& added) {
    std::int64_t leadBytes = static_cast<std::int64_t>(headerFrame.size());
    for (const std::int64_t length : added) leadBytes += length;
    PartLength part;
    part.Frames = static_cast<std::int64_t>(added.size()) + frames.Count;
    part.Bytes = leadBytes + (frames.End - from);
    part.VbriFramesPerEntry = VbriFramesPerEntry(headerFrame, header, part.Frames);
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
    std::int64_t offset = static_cast<std::int64_t>(headerFrame.size());
    for (const std::int64_t length : added) {
        add(offset, length);
        offset += length;
    }
    WalkPart(reader, from, to, [&](const ChainFrame& frame) {
        add(leadBytes + frame.Offset - from, frame.Frame.FrameLength);
    });
    return part;
}

// Where a split frame's borrowed bytes lie: the tail of the main data of each frame
// that holds some, oldest first.
struct Segment {
    std::int64_t From = 0;
    std::int64_t To = 0;
};

std::vector<Segment> BorrowedSegments(const std::vector<LenderFrame>& lenders,
                                      std::int64_t borrowed) {
    std::vector<Segment> segments;
    for (auto lender = lenders.rbegin(); lender != lenders.rend() && borrowed > 0; ++lender) {
        const std::int64_t end = lender->Offset + lender->Frame.FrameLength;
        const std::int64_t take = std::min<std::int64_t>(borrowed, Room(lender->Frame));
        segments.insert(segments.begin(), {end - take, end});
        borrowed -= take;
    }
    return segments;
}

std::vector<std::uint8_t> ReadBytes(ByteSource& source, std::int64_t from, std::int64_t to) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(to - from));
    ReadFully(source, from, bytes.data(), bytes.size());
    return bytes;
}

// One silent frame that carries every borrowed byte: the last lender's header at the
// lowest higher bit rate whose main data holds them all, if one does.
std::optional<std::vector<std::uint8_t>> OneWideFrame(ByteSource& source, const LenderFrame& last,
                                                      const std::vector<Segment>& segments) {
    std::int64_t borrowed = 0;
    for (const Segment& segment : segments) borrowed += segment.To - segment.From;
    HeaderBytes header{};
    ReadFully(source, last.Offset, header.data(), header.size());
    for (int index = (header[2] >> 4) + 1; index < 15; ++index) {
        // The bit-rate index in bits 7-4 of byte 2, the padding bit (1) cleared.
        header[2] = static_cast<std::uint8_t>(index << 4 | (header[2] & 0x0D));
        FileInformation scratch;
        FrameValues values;
        if (!DecodeFrameHeader(header, scratch, values) || Room(values) < borrowed) continue;
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(values.FrameLength), 0);
        std::copy(header.begin(), header.begin() + 4, frame.begin());
        auto at = frame.end() - borrowed;
        for (const Segment& segment : segments) {
            const auto bytes = ReadBytes(source, segment.From, segment.To);
            at = std::copy(bytes.begin(), bytes.end(), at);
        }
        RewriteAddedFrame(frame, values.SideInfoSize, static_cast<std::int32_t>(borrowed));
        return frame;
    }
    return std::nullopt;
}

// The source's ID3v2 tag made the part's that starts at `start` and lasts `seconds`, or
// as it is.
OutputPiece TagPiece(ByteSource& source, std::int64_t length, double start, double seconds,
                     TagEditor& editor) {
    std::vector<std::uint8_t> tag(static_cast<std::size_t>(length));
    if (ReadFully(source, 0, tag.data(), tag.size()) == tag.size()) {
        const PartTime part{std::llround(start * 1000), std::llround(seconds * 1000)};
        if (auto edited = editor.ForPart(tag, part)) {
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

// The silent frames that open the second output: copies of the lenders, each carrying
// its share of the borrowed bytes and pointing back to what the copies before it carry.
// Where the second output has a length header, one frame at a higher bit rate carries
// them all, as a LAME tag's start delay can skip only a few frames. A LAME tag also wants
// a silent frame when nothing is borrowed, as the frame its start delay skips.
std::vector<std::vector<std::uint8_t>> AddedFrames(ByteSource& source,
                                                   const std::vector<LenderFrame>& lenders,
                                                   const std::vector<Segment>& segments,
                                                   bool header, bool gapless) {
    std::vector<std::vector<std::uint8_t>> added;
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

}  // namespace

OutputPlans PlanOutputs(const SplitPoint& point, ByteSource& source, TagEditor& editor) {
    BlockReader reader(source);
    const SourceTags tags = FindTags(source);
    const std::int64_t split = point.SplitPosition;
    const std::int64_t borrowed = std::max<std::int32_t>(point.SplitMainDataBegin, 0);

    // Where the borrowed bytes lie; a split point made without its lenders has the frame
    // right before it.
    std::vector<LenderFrame> lenders = point.Lenders;
    if (lenders.empty() && point.PrevFrameLength > 0 && split >= point.PrevFrameLength) {
        FileInformation scratch;
        LenderFrame before{split - point.PrevFrameLength, {}};
        if (DecodeFrameHeader(reader.HeaderAt(before.Offset), scratch, before.Frame)) {
            lenders.push_back(before);
        }
    }
    const std::vector<Segment> segments = BorrowedSegments(lenders, borrowed);
    const std::int64_t zeroFrom = segments.empty() ? split : segments.front().From;

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
    if (first && first->Offset + first->Frame.FrameLength <= zeroFrom) {
        headerFrame = ReadBytes(source, first->Offset, first->Offset + first->Frame.FrameLength);
        header = FindLengthHeader(headerFrame, first->Frame);
    }
    const std::int64_t headerStart = header ? first->Offset : tags.Id3v2Length;
    const std::int64_t audioStart = header ? first->Offset + first->Frame.FrameLength : headerStart;
    const std::int64_t sourceEnd = source.Size();
    const auto gapless = header ? ReadGapless(headerFrame, *header) : std::nullopt;

    std::vector<std::vector<std::uint8_t>> added =
        AddedFrames(source, lenders, segments, header.has_value(), gapless.has_value());
    std::vector<std::int64_t> addedLengths;
    for (const auto& frame : added) addedLengths.push_back(static_cast<std::int64_t>(frame.size()));

    // The parts' frames, walked only when a header or a tag states their length.
    const bool measured = header || tags.Id3v2Length > 0;
    const PartFrames firstFrames = measured ? CountPart(reader, audioStart, split) : PartFrames{};
    const PartFrames secondFrames = measured ? CountPart(reader, split, sourceEnd) : PartFrames{};

    OutputPlans plans;
    OutputPlan& one = plans.First;
    OutputPlan& two = plans.Second;
    if (tags.Id3v2Length > 0) {
        one.push_back(TagPiece(source, tags.Id3v2Length, 0, firstFrames.Seconds, editor));
        two.push_back(
            TagPiece(source, tags.Id3v2Length, firstFrames.Seconds, secondFrames.Seconds, editor));
    }
    Append(one, tags.Id3v2Length, headerStart);
    if (header) {
        std::vector<std::uint8_t> own = headerFrame;
        PartLength part =
            MeasurePart(reader, headerFrame, *header, firstFrames, audioStart, split, {});
        part.Delay = gapless ? gapless->Delay : 0;
        part.Padding = 0;  // the first output ends where a frame ends
        RewriteLengthHeader(own, *header, part);
        Append(one, std::move(own));

        std::vector<std::uint8_t> theirs = headerFrame;
        part =
            MeasurePart(reader, headerFrame, *header, secondFrames, split, sourceEnd, addedLengths);
        // A gapless player skips the added frames: their samples less the decoder's own
        // delay of 529 samples, which the player skips anyway.
        part.Delay = static_cast<std::int32_t>(added.size()) * header->SamplesPerFrame - 529;
        part.Padding = gapless ? gapless->Padding : 0;
        RewriteLengthHeader(theirs, *header, part);
        Append(two, std::move(theirs));
    }
    // The borrowed bytes are the second output's: zeros in the first, and only those.
    std::int64_t from = audioStart;
    for (const Segment& segment : segments) {
        Append(one, from, segment.From);
        Append(one,
               std::vector<std::uint8_t>(static_cast<std::size_t>(segment.To - segment.From), 0));
        from = segment.To;
    }
    Append(one, from, split);
    if (tags.Id3v1At >= split) Append(one, tags.Id3v1At, sourceEnd);

    plans.AddedFrames = static_cast<std::int64_t>(added.size());
    for (auto& frame : added) {
        plans.AddedBytes += static_cast<std::int64_t>(frame.size());
        Append(two, std::move(frame));
    }
    Append(two, split, sourceEnd);
    return plans;
}

void RewriteAddedFrame(std::span<std::uint8_t> frame, std::int16_t sideInfoSize,
                       std::int32_t mainDataBegin, std::int32_t backPointer) {
    // Side information of zeros but for the back pointer: every granule of every channel
    // without audio bits, scale factors or gain, so that a decoder plays silence and
    // reads none of the main data. The frame's own main data goes too; only its last
    // mainDataBegin bytes, the split frame's borrowed data, are kept.
    const std::size_t sideInfoAt = SideInfoStart(frame[1]);
    std::fill(frame.begin() + static_cast<std::ptrdiff_t>(sideInfoAt), frame.end() - mainDataBegin,
              0);
    // The back pointer: 9 bits in MPEG 1 (byte 1, bit 3 set), 8 in MPEG 2 and 2.5.
    if (frame[1] & 0x08) {
        frame[sideInfoAt] = static_cast<std::uint8_t>(backPointer >> 1);
        frame[sideInfoAt + 1] = static_cast<std::uint8_t>((backPointer & 1) << 7);
    } else {
        frame[sideInfoAt] = static_cast<std::uint8_t>(backPointer);
    }
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
