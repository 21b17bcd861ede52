#include "engine/Assembly.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "engine/FrameChain.h"
#include "engine/SplitPlan.h"

namespace quorvel {
namespace {

// A frame's first bytes, as far as it has them.
FrameStartBytes StartOf(std::span<const std::uint8_t> frame) {
    FrameStartBytes start{};
    std::copy_n(frame.begin(), std::min(frame.size(), start.size()), start.begin());
    return start;
}

// What the header of a frame of the assembly's own says; its length as the stream's frames
// have it where they are free-format.
FrameValues ValuesOf(std::span<const std::uint8_t> frame, std::int16_t freeFormatLength) {
    HeaderBytes header{};
    std::copy_n(frame.begin(), std::min(frame.size(), header.size()), header.begin());
    FileInformation scratch;
    scratch.FreeFormatLength = freeFormatLength;
    FrameValues values;
    DecodeFrameHeader(header, scratch, values);
    return values;
}

}  // namespace

AssemblySource ReadAssemblySource(SourceFile& file) {
    AssemblySource source;
    source.File = &file;
    BlockReader reader(file);
    source.Layout = ReadLayout(file, reader);
    if (!source.Layout.First) return source;
    FileInformation info;
    info.FreeFormatLength = source.Layout.FreeFormatLength;
    WalkFrameChain(
        reader, info,
        [&source](const ChainFrame& frame) {
            source.Frames.push_back({frame.Offset, frame.Frame});
            return true;
        },
        source.Layout.AudioStart, source.Layout.Tags.TrailerAt);
    return source;
}

std::vector<std::uint8_t> MainDataTail(ByteSource& source, std::span<const LenderFrame> frames,
                                       std::int64_t count) {
    // A back pointer reaches back 511 bytes at most: as many frames as hold that, at least.
    constexpr std::size_t kReach = 16;
    const std::vector<LenderFrame> last(frames.end() - std::min(frames.size(), kReach),
                                        frames.end());
    std::vector<std::uint8_t> tail;
    for (const Segment& segment : BorrowedSegments(last, count)) {
        const auto bytes = ReadBytes(source, segment.From, segment.To);
        tail.insert(tail.end(), bytes.begin(), bytes.end());
    }
    return tail;
}

void TellCarried(Reporter& reporter, Carried carried, const Message& where, std::int64_t bytes,
                 std::int32_t samplesPerFrame) {
    switch (carried) {
        case Carried::Widened:
            reporter.Log(Tr("Assembly",
                            "At %1 the frame before the seam is written at a larger bit rate to "
                            "carry the %2 bytes the frame after it borrows.")
                             .Arg(where)
                             .Arg(bytes));
            break;
        case Carried::AddedFrame:
            reporter.Log(Tr("Assembly",
                            "At %1 no frame size holds the %2 bytes the frame after the seam "
                            "borrows: a silent frame is added to carry them, and its %3 samples "
                            "play.")
                             .Arg(where)
                             .Arg(bytes)
                             .Arg(samplesPerFrame));
            break;
        case Carried::Impossible:
            reporter.Log(Tr("Assembly",
                            "At %1 no frame of the stream's can carry the %2 bytes the frame "
                            "after the seam borrows: it decodes without them.")
                             .Arg(where)
                             .Arg(bytes));
            break;
        case Carried::Nothing:
        case Carried::InPlace:
            break;
    }
}

void Assembly::AppendRun(std::size_t source, std::size_t from, std::size_t to) {
    const auto& frames = sources_[source].Frames;
    for (std::size_t i = from; i < to && i < frames.size(); ++i) {
        frames_.push_back({source, frames[i], {}});
    }
}

FrameBytes Assembly::BytesOf(std::size_t index) const {
    const AssembledFrame& frame = frames_.at(index);
    if (!frame.Bytes.empty()) return frame.Bytes;
    const std::int64_t at = frame.Frame.Offset;
    return ReadBytes(*sources_[frame.Source].File, at, at + frame.Frame.Frame.FrameLength);
}

void Assembly::WriteTail(std::size_t seam, std::span<const std::uint8_t> carried) {
    std::size_t left = carried.size();
    for (std::size_t index = seam; index > 0 && left > 0; --index) {
        AssembledFrame& frame = frames_[index - 1];
        frame.Bytes = BytesOf(index - 1);
        const auto room = static_cast<std::size_t>(MainDataRoom(frame.Frame.Frame));
        const std::size_t take = std::min(left, room);
        std::copy(carried.begin() + static_cast<std::ptrdiff_t>(left - take),
                  carried.begin() + static_cast<std::ptrdiff_t>(left), frame.Bytes.end() - take);
        left -= take;
    }
}

Carried Assembly::Carry(std::size_t seam, std::span<const std::uint8_t> carried) {
    const auto count = static_cast<std::int32_t>(carried.size());
    if (count == 0) return Carried::Nothing;
    if (seam > 0) {
        const FrameBytes before = BytesOf(seam - 1);
        const FrameValues& values = frames_[seam - 1].Frame.Frame;
        const std::int32_t coded = CodedBytes(StartOf(before));
        // The room after the frame's own main data, which may start in the frames before it.
        if (MainDataRoom(values) + values.MainDataBegin - coded >= count) {
            WriteTail(seam, carried);
            return Carried::InPlace;
        }
        const std::int32_t kept = std::max(0, coded - values.MainDataBegin);
        if (auto wide = WidenedFrame(before, values, kept, carried)) {
            AssembledFrame& frame = frames_[seam - 1];
            frame.Frame.Frame = ValuesOf(*wide, 0);
            frame.Bytes = std::move(*wide);
            return Carried::Widened;
        }
    }
    return InsertCarrier(seam, carried);
}

Carried Assembly::OpenWithSilence(std::span<const std::uint8_t> carried) {
    if (frames_.empty()) return Carried::Impossible;
    return InsertCarrier(0, carried);
}

Carried Assembly::InsertCarrier(std::size_t seam, std::span<const std::uint8_t> carried) {
    const std::size_t like = seam < frames_.size() ? seam : seam - 1;
    const std::size_t source = frames_.at(like).Source;
    const std::int16_t freeLength = sources_[source].Layout.FreeFormatLength;
    const FrameBytes likeBytes = BytesOf(like);
    HeaderBytes header{};
    std::copy_n(likeBytes.begin(), header.size(), header.begin());
    FrameBytes added = SilentCarrier(header, carried, freeLength);
    if (added.empty()) return Carried::Impossible;
    AssembledFrame frame{source, {0, ValuesOf(added, freeLength)}, std::move(added)};
    frames_.insert(frames_.begin() + static_cast<std::ptrdiff_t>(seam), std::move(frame));
    return Carried::AddedFrame;
}

std::int64_t Assembly::FrameSamples() const {
    if (sources_.empty()) return 0;
    return static_cast<std::int64_t>(frames_.size()) * sources_.front().Layout.SamplesPerFrame;
}

bool Assembly::VariableBitRate() const {
    return std::any_of(frames_.begin(), frames_.end(), [this](const AssembledFrame& frame) {
        return frame.Frame.Frame.BitRateIndex != frames_.front().Frame.Frame.BitRateIndex;
    });
}

OutputPlan Assembly::Plan(std::vector<std::uint8_t> tag, const NewHeader& header, Gapless gapless,
                          std::size_t trailerOf) const {
    PartFrames frames(0);
    std::int64_t end = 0;
    for (const AssembledFrame& frame : frames_) {
        frames.Add({end, frame.Frame.Frame, true});
        end += frame.Frame.Frame.FrameLength;
    }
    const AssemblySource& trailer = sources_[trailerOf];
    FrameBytes headerFrame = header.Frame;
    if (!headerFrame.empty()) {
        PartLength length = MeasurePart(header.Frame, header.Header, frames, end, {}, *trailer.File,
                                        trailer.Layout.Tags);
        length.Delay = gapless.Delay;
        length.Padding = gapless.Padding;
        RewriteLengthHeader(headerFrame, header.Header, length);
    }

    OutputPlan plan;
    const auto own = [&plan](std::vector<std::uint8_t> bytes) {
        const auto size = static_cast<std::int64_t>(bytes.size());
        if (size > 0) plan.push_back({0, size, std::move(bytes)});
    };
    own(std::move(tag));
    own(std::move(headerFrame));
    for (const AssembledFrame& frame : frames_) {
        const std::int64_t length = frame.Frame.Frame.FrameLength;
        if (!frame.Bytes.empty()) {
            own(frame.Bytes);
            continue;
        }
        OutputPiece* last = plan.empty() ? nullptr : &plan.back();
        // Frames that follow each other in one source are one range.
        if (last && last->Bytes.empty() && last->Source == frame.Source &&
            last->SourceOffset + last->Length == frame.Frame.Offset) {
            last->Length += length;
        } else {
            plan.push_back({frame.Frame.Offset, length, {}, frame.Source});
        }
    }
    const std::int64_t trailerAt = trailer.Layout.Tags.TrailerAt;
    const std::int64_t size = trailer.File->Size();
    if (size > trailerAt) plan.push_back({trailerAt, size - trailerAt, {}, trailerOf});
    return plan;
}

Gapless OutputGapless(const AssemblySource& first, const AssemblySource& last) {
    const auto& delay = first.Layout.GaplessValues;
    const auto& padding = last.Layout.GaplessValues;
    return {delay ? delay->Delay : 0, padding ? padding->Padding : kDecoderDelay};
}

std::optional<NewHeader> AssemblyHeader(const AssemblySource& first, bool variableBitRate,
                                        bool gapless) {
    const SourceLayout& layout = first.Layout;
    // A stream without a header plays every frame's samples, the decoders' first 529 too,
    // which a header would cut short: as the split leaves its first part, it gets none.
    if (!layout.Header && !gapless) return NewHeader{};
    if (!layout.Header || (gapless && !layout.GaplessValues)) {
        if (first.Frames.empty()) return std::nullopt;
        return NewHeaderFrame(*first.File, first.Frames.front().Offset, variableBitRate,
                              layout.FreeFormatLength);
    }
    NewHeader header{layout.HeaderFrame, *layout.Header};
    // A constant bit rate's "Info" no longer holds where the sources' rates differ.
    const std::size_t at = header.Header.TagAt;
    constexpr std::string_view kInfo = "Info";
    if (variableBitRate && header.Header.Type == LengthHeader::Kind::Xing &&
        std::equal(kInfo.begin(), kInfo.end(), header.Frame.begin() + at)) {
        constexpr std::string_view kXing = "Xing";
        std::copy(kXing.begin(), kXing.end(), header.Frame.begin() + at);
    }
    return header;
}

}  // namespace quorvel
