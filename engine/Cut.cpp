#include "engine/Cut.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/Assembly.h"
#include "engine/LengthHeader.h"
#include "engine/Numbers.h"

namespace quorvel {
namespace {

using std::chrono::microseconds;

// The frames a span removes, [First, End) of the source's audio frames.
struct FrameSpan {
    std::size_t First = 0;
    std::size_t End = 0;
};

// A seam of the output, in played samples: where the audio kept before it ends in the source
// and where the audio kept after it starts, and where each lies in the output (apart by a
// silent frame added there).
struct CutSeam {
    std::int64_t SourceBefore = 0;
    std::int64_t SourceAfter = 0;
    std::int64_t OutputBefore = 0;
    std::int64_t OutputAfter = 0;
};

// What planning the cut found that the seam check needs.
struct PlannedCut {
    std::int32_t Rate = 0;
    std::vector<CutSeam> Seams;
    // The output opens with a silent frame that carries what its first frame borrows of the
    // frames removed before it, which the start delay is to skip.
    bool SilentStart = false;
};

std::int64_t SampleAt(microseconds time, std::int32_t rate) {
    return (time.count() * rate + 500000) / 1000000;
}

std::string Clock(std::int64_t samples, std::int32_t rate) {
    return FormatExactTime((samples * 1000 + rate / 2) / rate, ".");
}

// The sample moved to the middle of the nearest silence that lies within a second of it,
// where one does.
std::int64_t Snapped(std::int64_t sample, const std::vector<Silence>& silences, std::int32_t rate) {
    std::int64_t snapped = sample;
    std::int64_t nearest = std::int64_t{rate} + 1;
    for (const Silence& silence : silences) {
        const std::int64_t distance = sample < silence.Start  ? silence.Start - sample
                                      : sample >= silence.End ? sample - silence.End + 1
                                                              : 0;
        if (distance < nearest) {
            nearest = distance;
            snapped = (silence.Start + silence.End) / 2;
        }
    }
    return snapped;
}

// The frame boundary nearest a played sample: how many audio frames lie before it; none at
// the start and all of them from the end of the played samples on, as the first and last
// frames hold the start delay and the end padding too.
std::size_t BoundaryAt(std::int64_t sample, const AssemblySource& source) {
    const SourceLayout& layout = source.Layout;
    const auto& gapless = layout.GaplessValues;
    if (sample <= 0) return 0;
    if (sample >= PlayedSamples(std::ssize(source.Frames), layout.SamplesPerFrame, gapless)) {
        return source.Frames.size();
    }
    const std::int64_t lead = PlayedLead(gapless);
    const std::int64_t spf = layout.SamplesPerFrame;
    return static_cast<std::size_t>(
        std::clamp<std::int64_t>((sample + lead + spf / 2) / spf, 0, std::ssize(source.Frames)));
}

std::int64_t PlayedAt(std::size_t frame, const SourceLayout& layout) {
    return PlayedSampleAt(std::int64_t(frame), layout.SamplesPerFrame, layout.GaplessValues);
}

// One span's frames, told in the log; why it cannot be cut where it cannot.
std::variant<FrameSpan, Message> SpanFrames(const RemovedSpan& span, const CutOutRequest& request,
                                            const AssemblySource& source,
                                            const std::vector<Silence>& silences,
                                            Reporter& reporter) {
    const SourceLayout& layout = source.Layout;
    const std::int32_t rate = layout.SamplingRate;
    const std::string from = FormatExactTime(span.From.count() / 1000, ".");
    const std::string to = FormatExactTime(span.To.count() / 1000, ".");
    if (span.From >= span.To) {
        return Tr("Cut", "The span %1-%2 is empty: its start is not before its end.")
            .Arg(from)
            .Arg(to);
    }
    const std::int64_t played =
        PlayedSamples(std::ssize(source.Frames), layout.SamplesPerFrame, layout.GaplessValues);
    if (SampleAt(span.To, rate) > played) {
        return Tr("Cut", "The span %1-%2 reaches past the end of the source (%3).")
            .Arg(from)
            .Arg(to)
            .Arg(Clock(played, rate));
    }
    const auto at = [&](microseconds time) {
        const std::int64_t sample = SampleAt(time, rate);
        return BoundaryAt(request.Snap ? Snapped(sample, silences, rate) : sample, source);
    };
    const FrameSpan frames{at(span.From), at(span.To)};
    reporter.Log(Tr("Cut", "The span %1-%2 is cut from %3 to %4 (frames %5 to %6).")
                     .Arg(from)
                     .Arg(to)
                     .Arg(Clock(PlayedAt(frames.First, layout), rate))
                     .Arg(Clock(PlayedAt(frames.End, layout), rate))
                     .Arg(std::int64_t(frames.First))
                     .Arg(std::int64_t(frames.End)));
    return frames;
}

// Every span's frames, in order, those that overlap or meet joined; or why the spans cannot
// be cut.
std::variant<std::vector<FrameSpan>, Message> FramesToRemove(const CutOutRequest& request,
                                                             const AssemblySource& source,
                                                             const std::vector<Silence>& silences,
                                                             Reporter& reporter) {
    std::vector<FrameSpan> spans;
    for (const RemovedSpan& span : request.Remove) {
        auto frames = SpanFrames(span, request, source, silences, reporter);
        if (auto* why = std::get_if<Message>(&frames)) return std::move(*why);
        const FrameSpan found = std::get<FrameSpan>(frames);
        if (found.First < found.End) spans.push_back(found);
    }
    std::sort(spans.begin(), spans.end(),
              [](const FrameSpan& a, const FrameSpan& b) { return a.First < b.First; });
    std::vector<FrameSpan> joined;
    for (const FrameSpan& span : spans) {
        if (!joined.empty() && span.First <= joined.back().End) {
            joined.back().End = std::max(joined.back().End, span.End);
        } else {
            joined.push_back(span);
        }
    }
    if (joined.empty()) {
        return Tr("Cut", "The spans given hold no whole frame: there is nothing to remove.");
    }
    if (joined.size() == 1 && joined[0].First == 0 && joined[0].End == source.Frames.size()) {
        return Tr("Cut", "The spans given hold all the audio: nothing would be left.");
    }
    return joined;
}

// Appends the frames kept between the spans, the frame before each seam carrying what the
// first kept frame after it borrows of the frames removed; the seams.
void AssembleKept(Assembly& assembly, const AssemblySource& source,
                  const std::vector<FrameSpan>& spans, Reporter& reporter, PlannedCut& planned) {
    const SourceLayout& layout = source.Layout;
    std::vector<CutSeam>& seams = planned.Seams;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= spans.size(); ++i) {
        const std::size_t to = i < spans.size() ? spans[i].First : source.Frames.size();
        const std::size_t seam = assembly.Count();
        assembly.AppendRun(0, from, to);
        if (i > 0 && from < to) {
            const auto carried = MainDataTail(*source.File, std::span(source.Frames).first(from),
                                              source.Frames[from].Frame.MainDataBegin);
            if (seam == 0) {
                // The output plays the first frame kept from its first sample on: a silent
                // frame before it, which carries what it borrows, is all the start delay skips.
                planned.SilentStart = assembly.OpenWithSilence(carried) == Carried::AddedFrame;
                if (planned.SilentStart) {
                    reporter.Log(Tr("Cut",
                                    "A silent frame opens the output, carrying the %1 bytes its "
                                    "first frame borrows: the start delay skips it.")
                                     .Arg(std::ssize(carried)));
                }
            } else {
                const Carried how = assembly.Carry(seam, carried);
                const std::size_t at = seam - (planned.SilentStart ? 1 : 0);
                const std::int64_t before = PlayedAt(at, layout);
                TellCarried(reporter, how,
                            Tr("Cut", "the cut at %1").Arg(Clock(before, layout.SamplingRate)),
                            std::ssize(carried), layout.SamplesPerFrame);
                const std::size_t after = at + (how == Carried::AddedFrame ? 1 : 0);
                seams.push_back({PlayedAt(spans[i - 1].First, layout), PlayedAt(from, layout),
                                 before, PlayedAt(after, layout)});
            }
        }
        if (i < spans.size()) from = spans[i].End;
    }
}

// A chapter's time in the output: less what the spans removed before it.
std::int64_t Retimed(std::int64_t ms,
                     const std::vector<std::pair<std::int64_t, std::int64_t>>& cut) {
    std::int64_t removed = 0;
    for (const auto& [from, to] : cut) removed += std::clamp<std::int64_t>(ms, from, to) - from;
    return ms - removed;
}

// Stretches of the source's playing time that an output leaves out, in milliseconds.
using Removed = std::vector<std::pair<std::int64_t, std::int64_t>>;

Removed RemovedMs(const std::vector<FrameSpan>& spans, const SourceLayout& layout) {
    Removed cut;
    for (const FrameSpan& span : spans) {
        cut.emplace_back(PlayedAt(span.First, layout) * 1000 / layout.SamplingRate,
                         PlayedAt(span.End, layout) * 1000 / layout.SamplingRate);
    }
    return cut;
}

// The source's ID3v2 tag stating the output's length, its chapters re-timed and those that lie
// within what is removed dropped; none where it has none.
std::vector<std::uint8_t> RetimedTag(const AssemblySource& source, TagEditor& tags,
                                     const Removed& cut, std::int64_t lengthMs) {
    auto tag = ReadBytes(*source.File, 0, source.Layout.Tags.Id3v2Length);
    if (tag.empty()) return {};
    std::vector<Chapter> kept;
    for (const Chapter& chapter : tags.Chapters(tag)) {
        const std::int64_t start = Retimed(chapter.StartMs, cut);
        const std::int64_t end = Retimed(chapter.EndMs, cut);
        if (end > start || chapter.EndMs <= chapter.StartMs) {
            kept.push_back({start, end, chapter.Title});
        }
    }
    if (!kept.empty()) {
        if (auto made = tags.WithChapters(tag, kept, lengthMs)) return std::move(*made);
    }
    PartTime whole;
    whole.LengthMs = lengthMs;
    if (auto edited = tags.ForPart(tag, whole)) return std::move(*edited);
    return tag;
}

std::variant<OutputPlan, EditReport> PlanCut(const CutOutRequest& request, SourceFile& file,
                                             TagEditor& tags, AudioDecoder& decoder,
                                             FileSystem& files, Reporter& reporter,
                                             PlannedCut& planned) {
    const std::string& path = request.Files.Sources.front();
    std::vector<AssemblySource> sources = {ReadAssemblySource(file)};
    const AssemblySource& source = sources.front();
    if (source.Frames.empty()) {
        return RefuseEdit(reporter, Tr("Join", "%1 holds no MP3 audio.").Arg(path), path);
    }
    std::vector<Silence> silences;
    if (request.Snap) silences = FindSilences(decoder, files, path, request.Silence).Found;
    auto removed = FramesToRemove(request, source, silences, reporter);
    if (auto* why = std::get_if<Message>(&removed)) return RefuseEdit(reporter, *why);
    const auto& spans = std::get<std::vector<FrameSpan>>(removed);
    Assembly assembly(sources);
    planned.Rate = source.Layout.SamplingRate;
    AssembleKept(assembly, source, spans, reporter, planned);
    const auto header = AssemblyHeader(source, assembly.VariableBitRate(),
                                       source.Layout.GaplessValues || planned.SilentStart);
    if (!header) {
        return RefuseEdit(reporter,
                          Tr("Join", "No frame of %1's stream can hold a length header.").Arg(path),
                          path);
    }
    Gapless gapless = OutputGapless(source, source);
    if (planned.SilentStart) gapless.Delay = source.Layout.SamplesPerFrame - kDecoderDelay;
    const std::int64_t played =
        std::max<std::int64_t>(0, assembly.FrameSamples() - gapless.Delay - gapless.Padding);
    auto tag =
        RetimedTag(source, tags, RemovedMs(spans, source.Layout), played * 1000 / planned.Rate);
    return assembly.Plan(std::move(tag), *header, gapless, 0);
}

// How many sample frames of two reads differ, and how far from the seam the farthest lies:
// the reads run towards the seam (`towards`) or away from it.
void Compare(const std::vector<std::int16_t>& one, const std::vector<std::int16_t>& two,
             std::int32_t channels, bool towards, std::int64_t& differing, std::int64_t& farthest) {
    const auto frames = static_cast<std::int64_t>(std::min(one.size(), two.size()) / channels);
    for (std::int64_t i = 0; i < frames; ++i) {
        const auto at = static_cast<std::size_t>(i * channels);
        if (!std::equal(one.begin() + at, one.begin() + at + channels, two.begin() + at)) {
            ++differing;
            farthest = std::max(farthest, towards ? frames - i : i + 1);
        }
    }
}

// Compares the output's samples with the source's up to a second on either side of a seam.
void CheckSeam(DecodedAudio& source, DecodedAudio& output, const CutSeam& seam,
               Reporter& reporter) {
    const std::int32_t rate = source.Rate();
    const std::int32_t channels = source.Channels();
    std::int64_t differing = 0, farthest = 0;
    const std::int64_t before =
        std::min({std::int64_t{rate}, seam.SourceBefore, seam.OutputBefore});
    Compare(source.Read(seam.SourceBefore - before, before),
            output.Read(seam.OutputBefore - before, before), channels, true, differing, farthest);
    const std::int64_t after = std::clamp<std::int64_t>(
        std::min(source.Length() - seam.SourceAfter, output.Length() - seam.OutputAfter), 0, rate);
    Compare(source.Read(seam.SourceAfter, after), output.Read(seam.OutputAfter, after), channels,
            false, differing, farthest);
    const std::string at = Clock(seam.OutputBefore, rate);
    if (differing == 0) {
        reporter.Log(Tr("Cut",
                        "Seam check at %1: the output has the source's samples on either "
                        "side (0 of %2 sample frames differ).")
                         .Arg(at)
                         .Arg(FormatCount(before + after, ".")));
        return;
    }
    reporter.Log(Tr("Cut",
                    "Seam check at %1: %2 of %3 sample frames differ from the source's, "
                    "the farthest %4 from the seam.")
                     .Arg(at)
                     .Arg(FormatCount(differing, "."))
                     .Arg(FormatCount(before + after, "."))
                     .Arg(FormatCount(farthest, ".")));
}

// The seam check of every seam, or a line saying why it was left out.
void CheckCutSeams(AudioDecoder& decoder, FileSystem& files, const CutOutRequest& request,
                   const PlannedCut& planned, Reporter& reporter) {
    if (planned.Seams.empty()) return;
    if (const auto why = decoder.Unavailable()) {
        reporter.Log(Tr("Cut", "Seam check skipped: %1.").Arg(*why));
        return;
    }
    try {
        const auto source = decoder.Open(files.OpenSource(request.Files.Sources.front()),
                                         AudioDecoder::Length::Stated);
        const auto output =
            decoder.Open(files.OpenSource(request.Files.Output), AudioDecoder::Length::Stated);
        for (const CutSeam& seam : planned.Seams) CheckSeam(*source, *output, seam, reporter);
    } catch (const FileError& error) {
        reporter.Log(Tr("Cut", "Seam check skipped: %1.").Arg(error.Message()));
    }
}

// Where the sound of a source plays, in played samples: from where its leading silence
// ends to where its trailing one starts; none where it is silence alone.
std::optional<std::pair<std::int64_t, std::int64_t>> Sound(const FileSilences& silences) {
    std::int64_t from = 0, to = silences.Length;
    for (const Silence& silence : silences.Found) {
        if (silence.Start == 0) from = silence.End;
        if (silence.End >= silences.Length) to = std::min(to, silence.Start);
    }
    if (from >= to) return std::nullopt;
    return std::pair{from, to};
}

// The output of a trim to the played samples [from, to): the frames that hold them, after a
// silent frame that carries what the first of them borrows where frames go before it, its
// start delay and end padding skipping the rest of them; none where no frame of the stream's
// holds a length header.
std::optional<OutputPlan> PlanTrimmed(const AssemblySource& source,
                                      std::span<const AssemblySource> sources, std::int64_t from,
                                      std::int64_t to, TagEditor& tags) {
    const SourceLayout& layout = source.Layout;
    const std::int64_t spf = layout.SamplesPerFrame;
    const auto& values = layout.GaplessValues;
    const std::int64_t lead = PlayedLead(values);
    const auto first = static_cast<std::size_t>((from + lead) / spf);
    const auto end =
        std::min(source.Frames.size(), static_cast<std::size_t>((to + lead + spf - 1) / spf));
    Assembly assembly(sources);
    assembly.AppendRun(0, first, end);
    // Without frames before it, and where a start delay can skip as much, the first frame
    // needs no silent one.
    const bool opened = first > 0 || from + lead < kDecoderDelay;
    if (opened) {
        const auto carried = MainDataTail(*source.File, std::span(source.Frames).first(first),
                                          source.Frames[first].Frame.MainDataBegin);
        assembly.OpenWithSilence(carried);
    }
    const std::int64_t skipped = (opened ? spf : 0) + from + lead - std::int64_t(first) * spf;
    const Gapless gapless{
        static_cast<std::int32_t>(skipped - kDecoderDelay),
        static_cast<std::int32_t>(std::int64_t(end) * spf - to - lead + kDecoderDelay)};
    const auto header = AssemblyHeader(source, assembly.VariableBitRate(), true);
    if (!header) return std::nullopt;
    const std::int32_t rate = layout.SamplingRate;
    const Removed cut = {{0, from * 1000 / rate},
                         {to * 1000 / rate, std::numeric_limits<std::int64_t>::max() / 2}};
    auto tag = RetimedTag(source, tags, cut, (to - from) * 1000 / rate);
    return assembly.Plan(std::move(tag), *header, gapless, 0);
}

std::variant<OutputPlan, EditReport> PlanTrim(const TrimRequest& request, SourceFile& file,
                                              TagEditor& tags, AudioDecoder& decoder,
                                              FileSystem& files, Reporter& reporter) {
    const std::string& path = request.Files.Sources.front();
    const std::vector<AssemblySource> sources = {ReadAssemblySource(file)};
    const AssemblySource& source = sources.front();
    if (source.Frames.empty()) {
        return RefuseEdit(reporter, Tr("Join", "%1 holds no MP3 audio.").Arg(path), path);
    }
    const FileSilences silences = FindSilences(decoder, files, path, request.Silence);
    const auto sound = Sound(silences);
    if (!sound) {
        return RefuseEdit(
            reporter, Tr("Trim", "%1 is silence alone: nothing would be left.").Arg(path), path);
    }
    const std::int32_t rate = silences.Rate;
    const auto keep = static_cast<std::int64_t>(std::llround(request.KeepSeconds * rate));
    const std::int64_t from = std::max<std::int64_t>(0, sound->first - keep);
    const std::int64_t to = std::min(silences.Length, sound->second + keep);
    reporter.Log(Tr("Trim", "The sound plays from %1 to %2: the output keeps %3 to %4.")
                     .Arg(Clock(sound->first, rate))
                     .Arg(Clock(sound->second, rate))
                     .Arg(Clock(from, rate))
                     .Arg(Clock(to, rate)));
    if (auto planned = PlanTrimmed(source, sources, from, to, tags)) return *std::move(planned);
    return RefuseEdit(
        reporter, Tr("Join", "No frame of %1's stream can hold a length header.").Arg(path), path);
}

}  // namespace

EditReport CutOut(const CutOutRequest& request, FileSystem& files, TagEditor& tags,
                  AudioDecoder& decoder, Reporter& reporter) {
    if (request.Remove.empty()) {
        EditReport report;
        report.Problem = Refusal{Tr("Cut", "Please give a span to remove."), Field::Time};
        return report;
    }
    PlannedCut planned;
    return RunEdit(
        request.Files, files, reporter,
        Tr("Cut", "Cutting %1 into %2")
            .Arg(request.Files.Sources.front())
            .Arg(request.Files.Output),
        [&](std::span<SourceFile* const> opened) {
            return PlanCut(request, *opened.front(), tags, decoder, files, reporter, planned);
        },
        Tr("Cut", "MP3 cutting completed."),
        [&] { CheckCutSeams(decoder, files, request, planned, reporter); });
}

EditReport Trim(const TrimRequest& request, FileSystem& files, TagEditor& tags,
                AudioDecoder& decoder, Reporter& reporter) {
    return RunEdit(
        request.Files, files, reporter,
        Tr("Trim", "Trimming the silence of %1 into %2")
            .Arg(request.Files.Sources.front())
            .Arg(request.Files.Output),
        [&](std::span<SourceFile* const> opened) {
            return PlanTrim(request, *opened.front(), tags, decoder, files, reporter);
        },
        Tr("Trim", "MP3 trimming completed."));
}

}  // namespace quorvel
