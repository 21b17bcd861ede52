#include "engine/SplitPlan.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "engine/AddedFrames.h"
#include "engine/FrameChain.h"
#include "engine/LengthHeader.h"
#include "engine/SourceLayout.h"

namespace quorvel {

namespace {

// What the decoders skip at the start of every stream whose LAME tag they honour.
constexpr std::int32_t kDecoderDelay = 529;

// The frames of one part of the source, [from, to), as the chain rule finds them.
struct PartFrames {
    std::int64_t Count = 0;
    std::int64_t End = 0;  // where the last one ends
    double Seconds = 0;
    bool VariableBitRate = false;
};

// The part's own walk, up to the tags after the audio: the fields of the stream
// information stay as the search left them. The audio's last frame counts whatever
// follows it (a tag no one knows, bytes of no frame) and however short the end leaves
// it, as the decoders play it and as its encoder counted it, whole.
template <typename Visit>
void WalkPart(BlockReader& reader, const SourceLayout& layout, std::int64_t from, std::int64_t to,
              Visit&& visit) {
    FileInformation scratch;
    const std::int64_t audioEnd = layout.Tags.TrailerAt;
    std::int64_t end = from;
    WalkFrameChain(
        reader, scratch,
        [&](const ChainFrame& frame) {
            if (frame.Offset >= to) return false;
            visit(frame);
            end = frame.Offset + frame.Frame.FrameLength;
            return true;
        },
        from, audioEnd);
    ChainFrame last{end, {}, false};
    if (to >= audioEnd && end < audioEnd &&
        DecodeFrameHeader(reader.HeaderAt(end), scratch, last.Frame)) {
        visit(static_cast<const ChainFrame&>(last));
    }
}

PartFrames CountPart(BlockReader& reader, const SourceLayout& layout, std::int64_t from,
                     std::int64_t to) {
    PartFrames part{0, from, 0, false};
    BitRateChange bitRates;
    WalkPart(reader, layout, from, to, [&](const ChainFrame& frame) {
        ++part.Count;
        part.End = frame.Offset + frame.Frame.FrameLength;
        part.Seconds += frame.Frame.FrameDuration;
        bitRates.See(frame.Frame);
    });
    part.VariableBitRate = bitRates.Changes();
    return part;
}

// The length header of a part whose frames [from, to) follow its header frame and the
// frames of `lead` bytes each, offsets counted from the header frame's start.
PartLength MeasurePart(BlockReader& reader, const SourceLayout& layout,
                       std::span<const std::uint8_t> headerFrame, const LengthHeader& header,
                       const PartFrames& frames, std::int64_t from, std::int64_t to,
                       const std::vector<std::int64_t>& lead) {
    std::int64_t leadBytes = static_cast<std::int64_t>(headerFrame.size());
    for (const std::int64_t length : lead) leadBytes += length;
    PartLength part;
    part.Frames = static_cast<std::int64_t>(lead.size()) + frames.Count;
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
    for (const std::int64_t length : lead) {
        add(offset, length);
        offset += length;
    }
    WalkPart(reader, layout, from, to, [&](const ChainFrame& frame) {
        add(leadBytes + frame.Offset - from, frame.Frame.FrameLength);
    });
    return part;
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

// Both parts' ID3v2 tags, where the source has one.
void AppendTags(OutputPlans& plans, ByteSource& source, const SourceLayout& layout,
                double firstSeconds, double secondSeconds, TagEditor& editor) {
    const std::int64_t length = layout.Tags.Id3v2Length;
    if (length == 0) return;
    plans.First.push_back(TagPiece(source, length, 0, firstSeconds, editor));
    plans.Second.push_back(TagPiece(source, length, firstSeconds, secondSeconds, editor));
}

// The header frame rewritten to describe a part.
std::vector<std::uint8_t> Rewritten(std::vector<std::uint8_t> frame, const LengthHeader& header,
                                    PartLength part, std::int32_t delay, std::int32_t padding) {
    part.Delay = delay;
    part.Padding = padding;
    RewriteLengthHeader(frame, header, part);
    return frame;
}

}  // namespace

OutputPlans PlanOutputs(const SplitPoint& point, ByteSource& source, TagEditor& editor) {
    BlockReader reader(source);
    const SourceLayout layout = ReadLayout(source, reader);
    const std::int64_t split = point.SplitPosition;

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
    const std::vector<Segment> segments =
        BorrowedSegments(lenders, std::max<std::int32_t>(point.SplitMainDataBegin, 0));
    const std::int64_t zeroFrom = segments.empty() ? split : segments.front().From;

    // The header frame is the first output's own when it ends before the zeroed bytes.
    const bool header =
        layout.Header && layout.HeaderStart + std::int64_t(layout.HeaderFrame.size()) <= zeroFrom;
    const std::int64_t headerStart = header ? layout.HeaderStart : layout.Tags.Id3v2Length;
    const std::int64_t audioStart = header ? layout.AudioStart : headerStart;
    const std::int64_t sourceEnd = source.Size();
    const bool gapless = header && layout.GaplessValues;
    const Gapless values = gapless ? *layout.GaplessValues : Gapless{};

    std::vector<FrameBytes> added = FrameRuleAddedFrames(source, point, lenders, header, gapless);
    std::vector<std::int64_t> addedLengths;
    for (const auto& frame : added) addedLengths.push_back(static_cast<std::int64_t>(frame.size()));

    // The parts' frames, walked only when a header or a tag states their length.
    const bool measured = header || layout.Tags.Id3v2Length > 0;
    const PartFrames firstFrames =
        measured ? CountPart(reader, layout, audioStart, split) : PartFrames{};
    const PartFrames secondFrames =
        measured ? CountPart(reader, layout, split, sourceEnd) : PartFrames{};

    OutputPlans plans;
    OutputPlan& one = plans.First;
    OutputPlan& two = plans.Second;
    AppendTags(plans, source, layout, firstFrames.Seconds, secondFrames.Seconds, editor);
    Append(one, layout.Tags.Id3v2Length, headerStart);
    if (header) {
        const LengthHeader& kind = *layout.Header;
        const auto& frame = layout.HeaderFrame;
        // The first output ends where a frame ends.
        Append(one, Rewritten(frame, kind,
                              MeasurePart(reader, layout, frame, kind, firstFrames, audioStart,
                                          split, {}),
                              values.Delay, 0));
        // A gapless player skips the added frames: their samples less the decoder's own
        // delay, which the player skips anyway.
        Append(two, Rewritten(frame, kind,
                              MeasurePart(reader, layout, frame, kind, secondFrames, split,
                                          sourceEnd, addedLengths),
                              static_cast<std::int32_t>(added.size()) * kind.SamplesPerFrame -
                                  kDecoderDelay,
                              values.Padding));
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
    Append(one, std::max(layout.Tags.TrailerAt, split), sourceEnd);

    plans.AddedFrames = static_cast<std::int64_t>(added.size());
    for (auto& frame : added) {
        plans.AddedBytes += static_cast<std::int64_t>(frame.size());
        Append(two, std::move(frame));
    }
    Append(two, split, sourceEnd);
    return plans;
}

OutputPlans PlanExactOutputs(const ExactCut& cut, ByteSource& source, TagEditor& editor) {
    BlockReader reader(source);
    const SourceLayout layout = ReadLayout(source, reader);
    const std::int64_t sourceEnd = source.Size();
    const std::int32_t spf = cut.SamplesPerFrame;
    const double rate = cut.SamplingRate;
    const std::int64_t secondFrom = cut.Primers.empty() ? cut.CutAt : cut.Primers.front().Offset;

    // Before the primers: the frame that carries what the first of them borrows, and
    // before it, where needed, one empty frame. mpg123's synthesis alternates between two
    // buffers frame by frame, so the cut frame decodes to the source's very samples only
    // when as many frames, give or take an even number, go before it as in the source.
    const auto primers = static_cast<std::int64_t>(cut.Primers.size());
    std::vector<FrameBytes> own;
    if ((1 + primers - cut.CutFrame) % 2 != 0) own.push_back(EmptyFrame(source, secondFrom));
    own.push_back(CarrierFrame(source, secondFrom, cut.Lenders, cut.PrimerBorrows));
    std::vector<std::int64_t> lead;
    for (const auto& frame : own) lead.push_back(static_cast<std::int64_t>(frame.size()));
    for (const LenderFrame& primer : cut.Primers) lead.push_back(primer.Frame.FrameLength);

    // The first part's frames are the search's; the second's are walked.
    const PartFrames firstFrames{cut.FirstFrames, cut.FirstEnd, 0, false};
    const PartFrames secondFrames = CountPart(reader, layout, cut.CutAt, sourceEnd);

    // The samples each part plays, which its tags state.
    const std::int32_t sourceDelay = cut.Gapless ? layout.GaplessValues->Delay : 0;
    const std::int32_t sourcePadding = cut.Gapless ? layout.GaplessValues->Padding : kDecoderDelay;
    const std::int64_t cutSample = cut.CutFrame * spf + cut.CutOffset;
    const std::int64_t secondSamples =
        (cut.CutFrame + secondFrames.Count) * spf - cutSample - (sourcePadding - kDecoderDelay);
    OutputPlans plans;
    OutputPlan& one = plans.First;
    OutputPlan& two = plans.Second;
    AppendTags(plans, source, layout, double(cut.Sample) / rate, double(secondSamples) / rate,
               editor);

    // The first part keeps the source's header, or its lack of one: a source without a
    // LAME tag plays every frame's samples, which a header would cut 529 short.
    Append(one, layout.Tags.Id3v2Length, layout.HeaderStart);
    if (layout.Header) {
        const std::int64_t firstEnd =
            std::int64_t(cut.FirstFrames) * spf + kDecoderDelay - cutSample;
        Append(one, Rewritten(layout.HeaderFrame, *layout.Header,
                              MeasurePart(reader, layout, layout.HeaderFrame, *layout.Header,
                                          firstFrames, layout.AudioStart, cut.FirstEnd, {}),
                              sourceDelay, static_cast<std::int32_t>(firstEnd)));
    }
    Append(one, layout.AudioStart, cut.FirstEnd);
    Append(one, layout.Tags.TrailerAt, sourceEnd);

    // The second part's header: the source's, or a new one with a LAME tag where the
    // source has none that states a delay.
    const std::optional<NewHeader> header =
        cut.Gapless ? NewHeader{layout.HeaderFrame, *layout.Header}
                    : NewHeaderFrame(source, cut.CutAt, secondFrames.VariableBitRate);
    if (header) {
        const auto skipped = static_cast<std::int32_t>((std::int64_t(own.size()) + primers) * spf +
                                                       cut.CutOffset - kDecoderDelay);
        Append(two, Rewritten(header->Frame, header->Header,
                              MeasurePart(reader, layout, header->Frame, header->Header,
                                          secondFrames, cut.CutAt, sourceEnd, lead),
                              skipped, sourcePadding));
    }
    plans.AddedFrames = static_cast<std::int64_t>(own.size()) + primers;
    for (auto& frame : own) {
        plans.AddedBytes += static_cast<std::int64_t>(frame.size());
        Append(two, std::move(frame));
    }
    plans.AddedBytes += cut.CutAt - secondFrom;
    Append(two, secondFrom, sourceEnd);
    return plans;
}

}  // namespace quorvel
