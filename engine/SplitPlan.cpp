#include "engine/SplitPlan.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "engine/AddedFrames.h"
#include "engine/BlockAlignment.h"
#include "engine/FrameChain.h"
#include "engine/LengthHeader.h"
#include "engine/SourceLayout.h"
#include "engine/SplitSearch.h"

namespace quorvel {

namespace {

void Append(OutputPlan& plan, std::int64_t from, std::int64_t to) {
    if (to > from) plan.push_back({from, to - from, {}});
}

void Append(OutputPlan& plan, std::vector<std::uint8_t> bytes) {
    if (bytes.empty()) return;
    const auto length = static_cast<std::int64_t>(bytes.size());
    plan.push_back({0, length, std::move(bytes)});
}

// The part's ID3v2 tag, which starts at `start` and lasts `seconds`: the source's made the
// part's, or as it is; a new one where the part's number or title is to be said and the
// source has none. It opens the plan, which is empty before; whether it appended one.
bool AppendTag(OutputPlan& plan, ByteSource& source, const SourceLayout& layout,
               const PartLabels& labels, std::size_t index, std::size_t count, double start,
               double seconds, TagEditor& editor) {
    PartTime part;
    part.StartMs = std::llround(start * 1000);
    part.LengthMs = std::llround(seconds * 1000);
    if (labels.Numbered) {
        part.Track = static_cast<std::int32_t>(index + 1);
        part.Tracks = static_cast<std::int32_t>(count);
    }
    if (index < labels.Titles.size()) part.Title = labels.Titles[index];
    if (index < labels.Performers.size()) part.Performer = labels.Performers[index];
    const std::int64_t length = layout.Tags.Id3v2Length;
    if (length == 0 && part.Track == 0 && part.Title.empty() && part.Performer.empty()) {
        return false;
    }
    std::vector<std::uint8_t> tag(static_cast<std::size_t>(length));
    if (ReadFully(source, 0, tag.data(), tag.size()) == tag.size()) {
        if (auto edited = editor.ForPart(tag, part)) {
            Append(plan, std::move(*edited));
            return !plan.empty();
        }
    }
    Append(plan, 0, length);
    return !plan.empty();
}

// The header frame rewritten to describe a part.
std::vector<std::uint8_t> Rewritten(std::vector<std::uint8_t> frame, const LengthHeader& header,
                                    PartLength part, std::int32_t delay, std::int32_t padding) {
    part.Delay = delay;
    part.Padding = padding;
    RewriteLengthHeader(frame, header, part);
    return frame;
}

// Where a frame-rule cut's borrowed bytes lie; a cut made without its lenders has the
// frame right before it.
std::vector<LenderFrame> LendersOf(ByteSource& source, const Cut& cut, const SourceLayout& layout) {
    if (!cut.Lenders.empty()) return cut.Lenders;
    std::vector<LenderFrame> lenders;
    if (cut.PrevFrameLength > 0 && cut.At >= cut.PrevFrameLength) {
        BlockReader reader(source);
        FileInformation scratch;
        scratch.FreeFormatLength = layout.FreeFormatLength;
        LenderFrame before{cut.At - cut.PrevFrameLength, {}};
        if (DecodeFrameHeader(reader.HeaderAt(before.Offset), scratch, before.Frame)) {
            lenders.push_back(before);
        }
    }
    return lenders;
}

std::vector<Segment> BorrowedBy(ByteSource& source, const Cut& cut, const SourceLayout& layout) {
    return BorrowedSegments(LendersOf(source, cut, layout),
                            std::max<std::int32_t>(cut.Borrowed, 0));
}

// The cut that opens part `index` of `count` and the one that ends it: none at the
// source's start and end.
std::pair<const Cut*, const Cut*> CutsAround(const std::vector<Cut>& cuts, std::size_t index,
                                             std::size_t count) {
    return {index > 0 ? &cuts[index - 1] : nullptr, index + 1 < count ? &cuts[index] : nullptr};
}

// A frame rule's part's audio from `from` on, and the tags after it: to the source's end, or
// to the frame its end cut found, the bytes that frame borrows zeroed.
void AppendAudio(OutputPlan& plan, ByteSource& source, const SourceLayout& layout,
                 std::int64_t from, const Cut* closing) {
    const std::int64_t sourceEnd = source.Size();
    if (!closing) return Append(plan, from, sourceEnd);
    // The bytes the end cut's frame borrows belong to the part after it: zeros here, and only
    // those, as long as the bytes they stand for.
    const std::int64_t to = closing->At;
    std::int64_t at = from;
    for (const Segment& segment : BorrowedBy(source, *closing, layout)) {
        Append(plan, at, segment.From);
        Append(plan,
               std::vector<std::uint8_t>(static_cast<std::size_t>(segment.To - segment.From), 0));
        at = segment.To;
    }
    Append(plan, at, to);
    Append(plan, std::max(layout.Tags.TrailerAt, to), sourceEnd);
}

// Whether the source's header frame is the first part's own by the frame rule: where it ends
// before the bytes the first cut zeroes. Each part then has one.
bool HeaderFrameKept(const SourceCuts& cuts, ByteSource& source) {
    const SourceLayout& layout = cuts.Layout;
    const Cut& first = cuts.Cuts.front();
    const std::vector<Segment> firstSegments = BorrowedBy(source, first, layout);
    const std::int64_t zeroFrom = firstSegments.empty() ? first.At : firstSegments.front().From;
    return layout.Header &&
           layout.HeaderStart + std::int64_t(layout.HeaderFrame.size()) <= zeroFrom;
}

// A part after a cut opens with the frames that carry what its first frame borrows, which
// a LAME tag's start delay hides: the source's header where it states one, else a new header
// frame, like the cut frame. A source's header that states no delay gets one too, as mpg123
// then skips its own delay, where the source plays on. None where the part needs none.
std::optional<NewHeader> OwnHeader(ByteSource& source, const SourceLayout& layout,
                                   const Cut* opening, const PartFrames& frames, bool gapless) {
    if (!opening || gapless || (opening->Borrowed <= 0 && !layout.Header)) return std::nullopt;
    return NewHeaderFrame(source, opening->At, frames.VariableBitRate(), layout.FreeFormatLength);
}

// Part `Index` of `Count`, and its frames: `Before` it and its own.
struct PartIndex {
    std::size_t Index = 0;
    std::size_t Count = 0;
};
struct PartSpan {
    std::int64_t Before = 0;
    std::int64_t Own = 0;
};

// A frame-rule part's tag, timed as players play the part: from where the source's output
// reaches its first frame to where it reaches the next part's (`closed`), or its end.
bool AppendFrameRuleTag(OutputPlan& plan, ByteSource& source, const SourceLayout& layout,
                        const PartLabels& labels, PartIndex part, PartSpan frames, bool closed,
                        TagEditor& editor) {
    const std::int32_t spf = layout.SamplesPerFrame;
    const std::int64_t start = PlayedSampleAt(frames.Before, spf, layout.GaplessValues);
    const std::int64_t end =
        closed ? PlayedSampleAt(frames.Before + frames.Own, spf, layout.GaplessValues)
               : PlayedSamples(frames.Before + frames.Own, spf, layout.GaplessValues);
    const double rate = layout.SamplingRate;
    return AppendTag(plan, source, layout, labels, part.Index, part.Count, double(start) / rate,
                     double(std::max<std::int64_t>(0, end - start)) / rate, editor);
}

PartPlan PlanFrameRulePart(const SourceCuts& cuts, std::size_t index, ByteSource& source,
                           TagEditor& editor, const PartLabels& labels, std::int64_t block) {
    const SourceLayout& layout = cuts.Layout;
    const std::size_t count = cuts.Parts.size();
    const auto [opening, closing] = CutsAround(cuts.Cuts, index, count);

    const bool header = HeaderFrameKept(cuts, source);
    const std::int64_t audioStart = header ? layout.AudioStart : layout.HeaderStart;
    const bool gapless = header && layout.GaplessValues;
    const Gapless values = gapless ? *layout.GaplessValues : Gapless{};

    // Without one, the first part plays the header frame: the first cut then follows it
    // right away, its borrowed bytes lying in that frame's main data.
    PartFrames headerOnly(layout.HeaderStart);
    if (layout.Header && !header) headerOnly.Add(*layout.First);
    const auto framesOf = [&](std::size_t part) -> const PartFrames& {
        return part == 0 && layout.Header && !header ? headerOnly : cuts.Parts[part];
    };
    const PartFrames& frames = framesOf(index);
    std::int64_t framesBefore = 0;
    for (std::size_t part = 0; part < index; ++part) framesBefore += framesOf(part).Count();

    const std::optional<NewHeader> own = OwnHeader(source, layout, opening, frames, gapless);
    std::vector<FrameBytes> added;
    if (opening) {
        added = FrameRuleAddedFrames(source, *opening, LendersOf(source, *opening, layout),
                                     header || own, gapless || own);
    }
    std::vector<std::int64_t> addedLengths;
    for (const auto& frame : added) addedLengths.push_back(static_cast<std::int64_t>(frame.size()));

    PartPlan part;
    OutputPlan& plan = part.Plan;
    const bool tagged = AppendFrameRuleTag(plan, source, layout, labels, {index, count},
                                           {framesBefore, frames.Count()}, closing, editor);
    // A part ends where a frame ends. A gapless player skips the added frames: their samples
    // less the decoder's own delay, which the player skips anyway.
    const auto delay =
        static_cast<std::int32_t>(added.size()) * layout.SamplesPerFrame - kDecoderDelay;
    if (own) {
        Append(plan, Rewritten(own->Frame, own->Header,
                               MeasurePart(own->Frame, own->Header, frames, frames.End(),
                                           addedLengths, source, layout.Tags),
                               delay, closing ? 0 : kDecoderDelay));
    } else if (header) {
        const LengthHeader& kind = *layout.Header;
        Append(plan, Rewritten(layout.HeaderFrame, kind,
                               MeasurePart(layout.HeaderFrame, kind, frames, frames.End(),
                                           addedLengths, source, layout.Tags),
                               opening ? delay : values.Delay, closing ? 0 : values.Padding));
    }
    part.AddedFrames = static_cast<std::int64_t>(added.size());
    for (auto& frame : added) {
        part.AddedBytes += static_cast<std::int64_t>(frame.size());
        Append(plan, std::move(frame));
    }
    AppendAudio(plan, source, layout, opening ? opening->At : audioStart, closing);
    AlignToBlocks(plan, tagged, source, layout.Tags.Id3v2Length, block);
    return part;
}

// An exact part after its start cut, from its header frame to `to`: the frames of its own and
// the primers the cut frame decodes after, then the source's frames.
void AppendAfterCut(PartPlan& part, ByteSource& source, const SourceLayout& layout, const Cut& cut,
                    const PartFrames& frames, std::int64_t end, std::int64_t to,
                    std::int32_t padding) {
    OutputPlan& plan = part.Plan;
    const std::int32_t spf = cut.SamplesPerFrame;
    // Before the primers: the frame that carries what the first of them borrows, and
    // before it, where needed, one empty frame. mpg123's synthesis alternates between two
    // buffers frame by frame, so the cut frame decodes to the source's very samples only
    // when as many frames, give or take an even number, go before it as in the source.
    const std::int64_t partFrom = cut.Primers.empty() ? cut.At : cut.Primers.front().Offset;
    const auto primers = static_cast<std::int64_t>(cut.Primers.size());
    std::vector<FrameBytes> own;
    const std::int16_t freeLength = layout.FreeFormatLength;
    if ((1 + primers - cut.CutFrame) % 2 != 0) {
        own.push_back(EmptyFrame(source, partFrom, freeLength));
    }
    own.push_back(CarrierFrame(source, partFrom, cut.Lenders, cut.Borrowed, freeLength));
    std::vector<std::int64_t> lead;
    for (const auto& frame : own) lead.push_back(static_cast<std::int64_t>(frame.size()));
    for (const LenderFrame& primer : cut.Primers) lead.push_back(primer.Frame.FrameLength);

    // The part's header: the source's, or a new one with a LAME tag where the source has
    // none that states a delay.
    const std::optional<NewHeader> header =
        cut.Gapless ? NewHeader{layout.HeaderFrame, *layout.Header}
                    : NewHeaderFrame(source, cut.At, frames.VariableBitRate(), freeLength);
    if (header) {
        const auto skipped = static_cast<std::int32_t>((std::int64_t(own.size()) + primers) * spf +
                                                       cut.CutOffset - kDecoderDelay);
        Append(plan, Rewritten(header->Frame, header->Header,
                               MeasurePart(header->Frame, header->Header, frames, end, lead, source,
                                           layout.Tags),
                               skipped, padding));
    }
    part.AddedFrames = static_cast<std::int64_t>(own.size()) + primers;
    for (auto& frame : own) {
        part.AddedBytes += static_cast<std::int64_t>(frame.size());
        Append(plan, std::move(frame));
    }
    part.AddedBytes += cut.At - partFrom;
    Append(plan, partFrom, to);
}

// The first exact part, up to `to`: the source's header, or its lack of one, as a source
// without a LAME tag plays every frame's samples, which a header would cut 529 short.
// ffmpeg opens no stream that ends with the first frame after its header: a part that short
// ends with an empty frame, which its padding drops.
void AppendFirstPart(PartPlan& part, ByteSource& source, const SourceLayout& layout,
                     const PartFrames& frames, std::int64_t end, std::int64_t to,
                     std::int32_t delay, std::int32_t padding) {
    OutputPlan& plan = part.Plan;
    FrameBytes trail;
    if (layout.Header && frames.Count() < 2) {
        trail = EmptyFrame(source, frames.From(), layout.FreeFormatLength);
    }
    const auto trailing = static_cast<std::int64_t>(trail.size());
    if (layout.Header) {
        Append(plan, Rewritten(layout.HeaderFrame, *layout.Header,
                               MeasurePart(layout.HeaderFrame, *layout.Header, frames, end, {},
                                           source, layout.Tags, trailing),
                               delay, padding + (trail.empty() ? 0 : layout.SamplesPerFrame)));
    }
    Append(plan, layout.AudioStart, to);
    part.AddedFrames = trail.empty() ? 0 : 1;
    part.AddedBytes = trailing;
    Append(plan, std::move(trail));
}

PartPlan PlanExactPart(const SourceCuts& cuts, std::size_t index, ByteSource& source,
                       TagEditor& editor, const PartLabels& labels, std::int64_t block) {
    const SourceLayout& layout = cuts.Layout;
    const std::size_t count = cuts.Parts.size();
    const auto [opening, closing] = CutsAround(cuts.Cuts, index, count);
    const Cut& any = cuts.Cuts.front();
    const std::int32_t spf = any.SamplesPerFrame;
    const double rate = any.SamplingRate;
    const std::int64_t sourceEnd = source.Size();
    const PartFrames& frames = cuts.Parts[index];
    const std::int64_t to = closing ? closing->FirstEnd : sourceEnd;
    const std::int64_t end = closing ? closing->FirstEnd : frames.End();

    // The samples the part plays, which its tags state, and its end padding: a part before
    // the last drops what follows its end cut.
    const std::int32_t sourceDelay = any.Gapless ? layout.GaplessValues->Delay : 0;
    const std::int32_t sourcePadding = any.Gapless ? layout.GaplessValues->Padding : kDecoderDelay;
    const std::int64_t startSample = opening ? opening->Sample : 0;
    const std::int64_t samples = closing
                                     ? closing->Sample - startSample
                                     : (opening->CutFrame + frames.Count()) * spf -
                                           opening->FrameSample() - (sourcePadding - kDecoderDelay);
    const auto padding = static_cast<std::int32_t>(
        closing ? closing->FirstFrames * spf + kDecoderDelay - closing->FrameSample()
                : sourcePadding);

    PartPlan part;
    OutputPlan& plan = part.Plan;
    const bool tagged = AppendTag(plan, source, layout, labels, index, count,
                                  double(startSample) / rate, double(samples) / rate, editor);
    if (opening) {
        AppendAfterCut(part, source, layout, *opening, frames, end, to, padding);
    } else {
        AppendFirstPart(part, source, layout, frames, end, to, sourceDelay, padding);
    }
    if (closing) Append(plan, layout.Tags.TrailerAt, sourceEnd);
    AlignToBlocks(plan, tagged, source, layout.Tags.Id3v2Length, block);
    return part;
}

}  // namespace

PartLength MeasurePart(std::span<const std::uint8_t> headerFrame, const LengthHeader& header,
                       const PartFrames& frames, std::int64_t end,
                       const std::vector<std::int64_t>& lead, ByteSource& source,
                       const SourceTags& tags, std::int64_t trail) {
    std::int64_t leadBytes = static_cast<std::int64_t>(headerFrame.size());
    for (const std::int64_t length : lead) leadBytes += length;
    PartLength part;
    part.Frames = static_cast<std::int64_t>(lead.size()) + frames.Count() + (trail > 0 ? 1 : 0);
    part.Bytes = leadBytes + (end - frames.From()) + trail;
    part.Bytes += CountedTrailer(tags, source.Size(), part.Bytes);
    part.VbriFramesPerEntry = VbriFramesPerEntry(headerFrame, header, part.Frames);
    const auto leadFrames = static_cast<std::int64_t>(lead.size());
    if (header.Type == LengthHeader::Kind::Vbri) {
        // Every frame's length, summed an entry's frames at a time.
        std::int64_t index = 0;
        const auto add = [&](std::int64_t length) {
            const auto entry = static_cast<std::size_t>(index++ / part.VbriFramesPerEntry);
            if (part.VbriEntries.size() <= entry) part.VbriEntries.resize(entry + 1);
            part.VbriEntries[entry] += length;
        };
        for (const std::int64_t length : lead) add(length);
        frames.Each([&](std::int64_t, std::int64_t length) { add(length); });
        if (trail > 0) add(trail);
    }
    // Where the frame each percent of the part's frames falls on starts, counted from the
    // header frame's start: the added frames', the source's, then the one after them.
    PartFrames::Starts starts(frames);
    std::int64_t leadAt = static_cast<std::int64_t>(headerFrame.size());
    std::int64_t leadIndex = 0;
    for (std::int64_t percent = 0; percent < 100 && part.Frames > 0; ++percent) {
        const std::int64_t frame = percent * part.Frames / 100;
        if (frame < leadFrames) {
            for (; leadIndex < frame; ++leadIndex) leadAt += lead[std::size_t(leadIndex)];
            part.PercentOffsets.push_back(leadAt);
        } else if (frame - leadFrames < frames.Count()) {
            part.PercentOffsets.push_back(leadBytes + starts.At(frame - leadFrames) -
                                          frames.From());
        } else {
            part.PercentOffsets.push_back(leadBytes + end - frames.From());
        }
    }
    return part;
}

PartPlan PlanPart(const SourceCuts& cuts, std::size_t index, ByteSource& source, TagEditor& editor,
                  const PartLabels& labels, std::int64_t sharedBlock) {
    return cuts.Exact ? PlanExactPart(cuts, index, source, editor, labels, sharedBlock)
                      : PlanFrameRulePart(cuts, index, source, editor, labels, sharedBlock);
}

OutputPlans PlanOutputs(const Cut& cut, bool exact, ByteSource& source, TagEditor& editor) {
    BlockReader reader(source);
    SourceCuts cuts;
    cuts.Layout = ReadLayout(source, reader);
    cuts.Exact = exact;
    cuts.Cuts = {cut};
    cuts.Parts = WalkParts(source, cuts.Layout, {{cut.At, exact && cut.FirstEnd > cut.At}});
    // The part before the cut, then the one after it.
    PartPlan one = PlanPart(cuts, 0, source, editor);
    PartPlan two = PlanPart(cuts, 1, source, editor);
    return {std::move(one.Plan), std::move(two.Plan), two.AddedFrames, two.AddedBytes};
}

PlannedFile::PlannedFile(std::shared_ptr<SourceFile> source, OutputPlan plan)
    : source_(std::move(source)), plan_(std::move(plan)) {
    for (const OutputPiece& piece : plan_) {
        starts_.push_back(size_);
        size_ += piece.Length;
    }
}

std::size_t PlannedFile::ReadAt(std::int64_t offset, std::uint8_t* buffer, std::size_t count) {
    std::size_t done = 0;
    // The piece that holds the offset: the last that starts at or before it.
    auto index = static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) -
                                          starts_.begin());
    if (offset < 0 || index == 0) return 0;
    for (--index; done < count && index < plan_.size(); ++index) {
        const OutputPiece& piece = plan_[index];
        const std::int64_t into = offset + static_cast<std::int64_t>(done) - starts_[index];
        const auto n = static_cast<std::size_t>(
            std::min<std::int64_t>(piece.Length - into, static_cast<std::int64_t>(count - done)));
        if (!piece.Bytes.empty()) {
            std::copy_n(piece.Bytes.begin() + into, n, buffer + done);
            done += n;
            continue;
        }
        const std::size_t read = ReadFully(*source_, piece.SourceOffset + into, buffer + done, n);
        done += read;
        // The source ended early: what was read is all there is.
        if (read != n) break;
    }
    return done;
}

}  // namespace quorvel
