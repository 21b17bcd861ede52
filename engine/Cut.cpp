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
#include "engine/Gain.h"
#include "engine/LengthHeader.h"
#include "engine/Numbers.h"
#include "engine/SeamReport.h"

namespace quorvel {
namespace {

using std::chrono::microseconds;

// The frames a span removes, [First, End) of the source's audio frames.
struct FrameSpan {
    std::size_t First = 0;
    std::size_t End = 0;
};

// What an output keeps of its source: the played samples [From, To), to the sample, less the
// frames of the spans between them (joined, in order).
struct Kept {
    std::int64_t From = 0;
    std::int64_t To = 0;
    std::vector<FrameSpan> Spans;
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

std::int64_t Played(const AssemblySource& source) {
    const SourceLayout& layout = source.Layout;
    return PlayedSamples(std::ssize(source.Frames), layout.SamplesPerFrame, layout.GaplessValues);
}

// The frame boundary nearest a played sample: how many audio frames lie before it; none at
// the start and all of them from the end of the played samples on, as the first and last
// frames hold the start delay and the end padding too.
std::size_t BoundaryAt(std::int64_t sample, const AssemblySource& source) {
    const SourceLayout& layout = source.Layout;
    if (sample <= 0) return 0;
    if (sample >= Played(source)) return source.Frames.size();
    const std::int64_t lead = PlayedLead(layout.GaplessValues);
    const std::int64_t spf = layout.SamplesPerFrame;
    return static_cast<std::size_t>(
        std::clamp<std::int64_t>((sample + lead + spf / 2) / spf, 0, std::ssize(source.Frames)));
}

std::int64_t PlayedAt(std::size_t frame, const SourceLayout& layout) {
    return PlayedSampleAt(std::int64_t(frame), layout.SamplesPerFrame, layout.GaplessValues);
}

// Puts the frames of `spans` into what is kept, in order, those that overlap or meet joined;
// frames removed from where the kept samples start or up to where they end move that end.
void JoinSpans(Kept& kept, std::vector<FrameSpan> spans, const SourceLayout& layout) {
    std::sort(spans.begin(), spans.end(),
              [](const FrameSpan& a, const FrameSpan& b) { return a.First < b.First; });
    for (const FrameSpan& span : spans) {
        if (!kept.Spans.empty() && span.First <= kept.Spans.back().End) {
            kept.Spans.back().End = std::max(kept.Spans.back().End, span.End);
        } else {
            kept.Spans.push_back(span);
        }
    }
    std::erase_if(kept.Spans, [&](const FrameSpan& span) {
        if (PlayedAt(span.First, layout) <= kept.From) {
            kept.From = std::max(kept.From, PlayedAt(span.End, layout));
            return true;
        }
        return false;
    });
    while (!kept.Spans.empty() && PlayedAt(kept.Spans.back().End, layout) >= kept.To) {
        kept.To = std::min(kept.To, PlayedAt(kept.Spans.back().First, layout));
        kept.Spans.pop_back();
    }
}

// What the spans leave of the source, each told in the log: a span from the start or to the
// end is cut to the sample there, as the length header's start delay and end padding skip
// samples; one between them on the frame boundaries nearest its ends (or the middles of the
// nearest silences), the format having no way to skip samples in the middle. Why the spans
// cannot be cut where they cannot.
std::variant<Kept, Message> KeptOf(const CutOutRequest& request, const AssemblySource& source,
                                   const std::vector<Silence>& silences, Reporter& reporter) {
    const SourceLayout& layout = source.Layout;
    const std::int32_t rate = layout.SamplingRate;
    const std::int64_t played = Played(source);
    Kept kept{0, played, {}};
    std::vector<FrameSpan> spans;
    for (const RemovedSpan& span : request.Remove) {
        const std::string from = FormatExactTime(span.From.count() / 1000, ".");
        const std::string to = FormatExactTime(span.To.count() / 1000, ".");
        if (span.From >= span.To) {
            return Tr("Cut", "The span %1-%2 is empty: its start is not before its end.")
                .Arg(from)
                .Arg(to);
        }
        const std::int64_t first = SampleAt(span.From, rate), end = SampleAt(span.To, rate);
        if (end > played) {
            return Tr("Cut", "The span %1-%2 reaches past the end of the source (%3).")
                .Arg(from)
                .Arg(to)
                .Arg(Clock(played, rate));
        }
        const auto at = [&](std::int64_t sample) {
            return request.Snap ? Snapped(sample, silences, rate) : sample;
        };
        if (first <= 0 || end >= played) {
            const std::int64_t cutFrom = first <= 0 ? 0 : at(first);
            const std::int64_t cutTo = end >= played ? played : at(end);
            (first <= 0 ? kept.From : kept.To) =
                first <= 0 ? std::max(kept.From, cutTo) : std::min(kept.To, cutFrom);
            reporter.Log(Tr("Cut", "The span %1-%2 is cut to the sample, from %3 to %4.")
                             .Arg(from)
                             .Arg(to)
                             .Arg(Clock(cutFrom, rate))
                             .Arg(Clock(cutTo, rate)));
            continue;
        }
        const FrameSpan frames{BoundaryAt(at(first), source), BoundaryAt(at(end), source)};
        reporter.Log(Tr("Cut", "The span %1-%2 is cut from %3 to %4 (frames %5 to %6).")
                         .Arg(from)
                         .Arg(to)
                         .Arg(Clock(PlayedAt(frames.First, layout), rate))
                         .Arg(Clock(PlayedAt(frames.End, layout), rate))
                         .Arg(std::int64_t(frames.First))
                         .Arg(std::int64_t(frames.End)));
        if (frames.First < frames.End) spans.push_back(frames);
    }
    JoinSpans(kept, std::move(spans), source.Layout);
    if (kept.From >= kept.To) {
        return Tr("Cut", "The spans given hold all the audio: nothing would be left.");
    }
    if (kept.From == 0 && kept.To == played && kept.Spans.empty() && request.Levels.empty()) {
        return Tr("Cut", "The spans given hold no whole frame: there is nothing to remove.");
    }
    return kept;
}

// How many frames a decoder needs before a frame to decode it as in its source: two
// granules, one to overlap it and one more for the synthesis to remember.
std::int64_t LeadInFrames(const SourceLayout& layout) {
    return layout.SamplesPerFrame >= 1152 ? 1 : 2;
}

// An output assembled from what is kept, and the gapless values that make it play it.
struct KeptOutput {
    Assembly Frames;
    Gapless Values;
};

// The frames that hold what is kept. Where samples go from the start, the frames before the
// first kept sample's go but for those a decoder needs to decode it as the source does, after
// a silent frame carrying what they borrow of the frames gone; the start delay skips them and
// the end padding what the last frame holds after the last kept sample. The frame before each
// seam is made to carry what the first frame after it borrows of the frames removed.
KeptOutput AssembleKept(std::span<const AssemblySource> sources, const Kept& kept,
                        Reporter& reporter, std::vector<CutSeam>& seams) {
    const AssemblySource& source = sources.front();
    const SourceLayout& layout = source.Layout;
    const std::int64_t spf = layout.SamplesPerFrame;
    const std::int64_t lead = PlayedLead(layout.GaplessValues);
    const std::size_t count = source.Frames.size();
    const bool head = kept.From > 0, tail = kept.To < Played(source);
    std::size_t from = 0;
    if (head) {
        const std::int64_t first = (kept.From + lead) / spf;
        from = static_cast<std::size_t>(std::max<std::int64_t>(0, first - LeadInFrames(layout)));
    }
    const std::size_t end =
        tail ? std::min(count, static_cast<std::size_t>((kept.To + lead + spf - 1) / spf)) : count;
    KeptOutput output{Assembly(sources), OutputGapless(source, source)};
    Assembly& assembly = output.Frames;
    // The output's played samples start this many samples into its frames.
    std::int64_t skipped = lead;
    const auto carried = [&](std::size_t first) {
        return MainDataTail(*source.File, std::span(source.Frames).first(first),
                            source.Frames[first].Frame.MainDataBegin);
    };
    assembly.AppendRun(0, from, kept.Spans.empty() ? end : kept.Spans.front().First);
    if (head) {
        const auto borrowed = carried(from);
        skipped = kept.From + lead - std::int64_t(from) * spf;
        if ((!borrowed.empty() || skipped < kDecoderDelay) &&
            assembly.OpenWithSilence(borrowed) == Carried::AddedFrame) {
            skipped += spf;
        }
        output.Values.Delay =
            static_cast<std::int32_t>(std::max<std::int64_t>(0, skipped - kDecoderDelay));
    }
    for (std::size_t i = 0; i < kept.Spans.size(); ++i) {
        const FrameSpan& span = kept.Spans[i];
        const std::size_t seam = assembly.Count();
        assembly.AppendRun(0, span.End, i + 1 < kept.Spans.size() ? kept.Spans[i + 1].First : end);
        const auto borrowed = carried(span.End);
        const Carried how = assembly.Carry(seam, borrowed);
        const std::int64_t before = std::int64_t(seam) * spf - skipped;
        TellCarried(reporter, how,
                    Tr("Cut", "the cut at %1").Arg(Clock(before, layout.SamplingRate)),
                    std::ssize(borrowed), layout.SamplesPerFrame);
        const std::int64_t after = before + (how == Carried::AddedFrame ? spf : 0);
        seams.push_back({PlayedAt(span.First, layout), PlayedAt(span.End, layout), before, after});
    }
    if (tail) {
        output.Values.Padding =
            static_cast<std::int32_t>(std::int64_t(end) * spf - kept.To - lead + kDecoderDelay);
    }
    return output;
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

Removed RemovedMs(const Kept& kept, const SourceLayout& layout) {
    const std::int32_t rate = layout.SamplingRate;
    Removed cut = {{0, kept.From * 1000 / rate}};
    for (const FrameSpan& span : kept.Spans) {
        cut.emplace_back(PlayedAt(span.First, layout) * 1000 / rate,
                         PlayedAt(span.End, layout) * 1000 / rate);
    }
    cut.emplace_back(kept.To * 1000 / rate, std::numeric_limits<std::int64_t>::max() / 2);
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

// The output that keeps what `kept` keeps of the source; why not where it cannot be written.
std::variant<PlannedCutOut, EditReport> PlanKept(std::span<const AssemblySource> sources,
                                                 const Kept& kept, const std::string& path,
                                                 TagEditor& tags, Reporter& reporter) {
    const AssemblySource& source = sources.front();
    std::vector<CutSeam> seams;
    KeptOutput output = AssembleKept(sources, kept, reporter, seams);
    const Gapless& gapless = output.Values;
    const bool trimmed = kept.From > 0 || kept.To < Played(source);
    const auto header = AssemblyHeader(source, output.Frames.VariableBitRate(),
                                       source.Layout.GaplessValues.has_value() || trimmed);
    if (!header) {
        return RefuseEdit(reporter,
                          Tr("Join", "No frame of %1's stream can hold a length header.").Arg(path),
                          path);
    }
    const std::int64_t played =
        std::max<std::int64_t>(0, output.Frames.FrameSamples() - gapless.Delay - gapless.Padding);
    auto tag = RetimedTag(source, tags, RemovedMs(kept, source.Layout),
                          played * 1000 / source.Layout.SamplingRate);
    return PlannedCutOut{output.Frames.Plan(std::move(tag), *header, gapless, 0), std::move(seams),
                         nullptr};
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

// Compares the output's samples with the source's up to SeamWindow on either side of a seam.
void CheckSeam(DecodedAudio& source, DecodedAudio& output, const CutSeam& seam,
               Reporter& reporter) {
    const std::int32_t rate = source.Rate();
    const std::int32_t channels = source.Channels();
    std::int64_t differing = 0, farthest = 0;
    const std::int64_t window = SeamWindow(rate);
    const std::int64_t before = std::min({window, seam.SourceBefore, seam.OutputBefore});
    Compare(source.Read(seam.SourceBefore - before, before),
            output.Read(seam.OutputBefore - before, before), channels, true, differing, farthest);
    const std::int64_t after = std::clamp<std::int64_t>(
        std::min(source.Length() - seam.SourceAfter, output.Length() - seam.OutputAfter), 0,
        window);
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
                   const std::vector<CutSeam>& seams, Reporter& reporter) {
    if (seams.empty()) return;
    if (const auto why = decoder.Unavailable()) {
        reporter.Log(Tr("Cut", "Seam check skipped: %1.").Arg(*why));
        return;
    }
    try {
        // The output is compared with the source as its levels were changed.
        std::unique_ptr<SourceFile> read = files.OpenSource(request.Files.Sources.front());
        if (!request.Levels.empty()) read = LeveledSource(std::move(read), request.Levels);
        const auto source = decoder.Open(std::move(read), AudioDecoder::Length::Stated);
        const auto output =
            decoder.Open(files.OpenSource(request.Files.Output), AudioDecoder::Length::Stated);
        for (const CutSeam& seam : seams) CheckSeam(*source, *output, seam, reporter);
    } catch (const FileError& error) {
        reporter.Log(Tr("Cut", "Seam check skipped: %1.").Arg(error.Message()));
    }
}

// The one source of a cut or a trim as an assembly reads it; a refusal where it holds no
// audio.
std::variant<std::vector<AssemblySource>, EditReport> ReadEditSource(SourceFile& file,
                                                                     const std::string& path,
                                                                     Reporter& reporter) {
    std::vector<AssemblySource> sources = {ReadAssemblySource(file)};
    if (sources.front().Frames.empty()) {
        return RefuseEdit(reporter, Tr("Join", "%1 holds no MP3 audio.").Arg(path), path);
    }
    return sources;
}

std::variant<OutputPlan, EditReport> PlanTrim(const TrimRequest& request, SourceFile& file,
                                              TagEditor& tags, AudioDecoder& decoder,
                                              FileSystem& files, Reporter& reporter) {
    const std::string& path = request.Files.Sources.front();
    auto read = ReadEditSource(file, path, reporter);
    if (auto* refused = std::get_if<EditReport>(&read)) return std::move(*refused);
    const auto& sources = std::get<std::vector<AssemblySource>>(read);
    const AssemblySource& source = sources.front();
    const FileSilences silences = FindSilences(decoder, files, path, request.Silence);
    const auto sound = SoundOf(silences);
    if (!sound) {
        return RefuseEdit(
            reporter, Tr("Trim", "%1 is silence alone: nothing would be left.").Arg(path), path);
    }
    const std::int32_t rate = silences.Rate;
    const PlayedSpan kept = KeptAround(*sound, request.KeepSeconds, silences);
    const std::int64_t to = std::min(kept.End, Played(source));
    reporter.Log(Tr("Trim", "The sound plays from %1 to %2: the output keeps %3 to %4.")
                     .Arg(Clock(sound->From, rate))
                     .Arg(Clock(sound->End, rate))
                     .Arg(Clock(kept.From, rate))
                     .Arg(Clock(to, rate)));
    auto planned = PlanKept(sources, Kept{kept.From, to, {}}, path, tags, reporter);
    if (auto* cut = std::get_if<PlannedCutOut>(&planned)) return std::move(cut->Plan);
    return std::get<EditReport>(std::move(planned));
}

}  // namespace

std::variant<PlannedCutOut, EditReport> PlanCutOut(const CutOutRequest& request, SourceFile& file,
                                                   TagEditor& tags, AudioDecoder& decoder,
                                                   FileSystem& files, Reporter& reporter) {
    const std::string& path = request.Files.Sources.front();
    // The source with its levels changed is what is cut.
    std::shared_ptr<SourceFile> leveled;
    if (!request.Levels.empty()) {
        leveled = LeveledSource({std::shared_ptr<SourceFile>(), &file}, request.Levels);
    }
    auto read = ReadEditSource(leveled ? *leveled : file, path, reporter);
    if (auto* refused = std::get_if<EditReport>(&read)) return std::move(*refused);
    const auto& sources = std::get<std::vector<AssemblySource>>(read);
    const AssemblySource& source = sources.front();
    std::vector<Silence> silences;
    if (request.Snap) silences = FindSilences(decoder, files, path, request.Silence).Found;
    auto kept = KeptOf(request, source, silences, reporter);
    if (auto* why = std::get_if<Message>(&kept)) return RefuseEdit(reporter, *why);
    auto planned = PlanKept(sources, std::get<Kept>(kept), path, tags, reporter);
    if (auto* cut = std::get_if<PlannedCutOut>(&planned)) cut->Leveled = std::move(leveled);
    return planned;
}

std::optional<PlayedSpan> SoundOf(const FileSilences& silences) {
    PlayedSpan sound{0, silences.Length};
    for (const Silence& silence : silences.Found) {
        if (silence.Start == 0) sound.From = silence.End;
        if (silence.End >= silences.Length) sound.End = std::min(sound.End, silence.Start);
    }
    if (sound.From >= sound.End) return std::nullopt;
    return sound;
}

PlayedSpan KeptAround(const PlayedSpan& sound, double keepSeconds, const FileSilences& silences) {
    const auto keep = static_cast<std::int64_t>(std::llround(keepSeconds * silences.Rate));
    return {std::max<std::int64_t>(0, sound.From - keep),
            std::min(silences.Length, sound.End + keep)};
}

EditReport CutOut(const CutOutRequest& request, FileSystem& files, TagEditor& tags,
                  AudioDecoder& decoder, Reporter& reporter) {
    if (request.Remove.empty() && request.Levels.empty()) {
        EditReport report;
        report.Problem = Refusal{Tr("Cut", "Please give a span to remove."), Field::Time};
        return report;
    }
    std::vector<CutSeam> seams;
    std::shared_ptr<SourceFile> leveled;
    return RunEdit(
        request.Files, files, reporter,
        Tr("Cut", "Cutting %1 into %2")
            .Arg(request.Files.Sources.front())
            .Arg(request.Files.Output),
        [&](std::vector<SourceFile*>& opened) -> std::variant<OutputPlan, EditReport> {
            auto planned = PlanCutOut(request, *opened.front(), tags, decoder, files, reporter);
            auto* cut = std::get_if<PlannedCutOut>(&planned);
            if (!cut) return std::get<EditReport>(std::move(planned));
            // What the cut reads is the source with its levels changed.
            if (cut->Leveled) {
                leveled = std::move(cut->Leveled);
                for (OutputPiece& piece : cut->Plan) piece.Source = opened.size();
                opened.push_back(leveled.get());
            }
            if (request.FadeInSeconds > 0 || request.FadeOutSeconds > 0) {
                TellFades(reporter, FadePlan(cut->Plan, *opened.back(), request.FadeInSeconds,
                                             request.FadeOutSeconds));
            }
            seams = std::move(cut->Seams);
            return std::move(cut->Plan);
        },
        Tr("Cut", "MP3 cutting completed."),
        [&] { CheckCutSeams(decoder, files, request, seams, reporter); });
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
