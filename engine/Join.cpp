#include "engine/Join.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/Assembly.h"
#include "engine/LengthHeader.h"

namespace quorvel {
namespace {

FrameStartBytes FrameStart(const AssemblySource& source, std::size_t index) {
    const LenderFrame& frame = source.Frames[index];
    const auto bytes =
        ReadBytes(*source.File, frame.Offset, frame.Offset + frame.Frame.FrameLength);
    FrameStartBytes start{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), start.size()), start.begin());
    return start;
}

// Whether frames [from, to) of a source all decode to silence.
bool Silent(const AssemblySource& source, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        if (!CodesNothing(FrameStart(source, i))) return false;
    }
    return true;
}

// Whether `count` frames of `one` from `at` are, byte for byte, those of `other` from `from`.
bool SameFrames(const AssemblySource& one, std::size_t at, const AssemblySource& other,
                std::size_t from, std::size_t count) {
    const LenderFrame& first = one.Frames[at];
    const LenderFrame& last = one.Frames[at + count - 1];
    const LenderFrame& otherFirst = other.Frames[from];
    const LenderFrame& otherLast = other.Frames[from + count - 1];
    const std::int64_t end = last.Offset + last.Frame.FrameLength;
    const std::int64_t otherEnd = otherLast.Offset + otherLast.Frame.FrameLength;
    if (end - first.Offset != otherEnd - otherFirst.Offset) return false;
    return ReadBytes(*one.File, first.Offset, end) ==
           ReadBytes(*other.File, otherFirst.Offset, otherEnd);
}

// How a source goes on from the one before it in the output.
struct Continuation {
    enum class Kind { None, FrameRule, Exact };
    Kind Is = Kind::None;
    // Its first frames left out: those a split added and, after a cut at a sample, those
    // the part before ends with too.
    std::size_t Skip = 0;
    std::size_t Own = 0;  // of those, the split's own
    // By the frame rule: the bytes the split zeroed at the end of the part before, which
    // the frames it added carry.
    std::vector<std::uint8_t> Restored;
};

// The most frames a frame-rule split adds: silent copies of the lenders of up to 511 bytes.
constexpr std::size_t kMostCopies = 16;

// `next` as the part after a frame-rule cut of the source `before` is the part before it
// of: its LAME tag skips exactly the silent frames the split added, the first frame after
// them borrows what they carry, and where it borrows anything, `before` ends with as many
// zeros where the source held those bytes; where it borrows nothing, `before` drops no
// padding, as such a part does.
Continuation FrameRuleContinuation(const AssemblySource& before, const AssemblySource& next) {
    const auto& delay = next.Layout.GaplessValues;
    const std::int32_t spf = next.Layout.SamplesPerFrame;
    if (!delay || (delay->Delay + kDecoderDelay) % spf != 0) return {};
    const auto added = static_cast<std::size_t>((delay->Delay + kDecoderDelay) / spf);
    if (added == 0 || added > kMostCopies || next.Frames.size() <= added) return {};
    const std::int32_t borrowed = next.Frames[added].Frame.MainDataBegin;
    const auto& padding = before.Layout.GaplessValues;
    if (padding ? padding->Padding != 0 : borrowed == 0) return {};
    if (!Silent(next, 0, added)) return {};
    auto carried = MainDataTail(*next.File, std::span(next.Frames).first(added), borrowed);
    const auto zeroed = MainDataTail(*before.File, before.Frames, borrowed);
    if (std::ssize(carried) != borrowed || std::ssize(zeroed) != borrowed ||
        std::any_of(zeroed.begin(), zeroed.end(), [](std::uint8_t byte) { return byte != 0; })) {
        return {};
    }
    return {Continuation::Kind::FrameRule, added, added, std::move(carried)};
}

// The most frames two exact parts both hold: the primers, the cut frame and those the
// decoders' delay reaches into.
constexpr std::size_t kMostShared = kMostFramesBeforeCut + 4;

// `next` as the part after a cut at a sample of the source `before` is the part before it
// of: after one or two silent frames of its own it repeats the frames `before` ends with,
// and the end padding of `before` and the start delay of `next` together skip exactly
// those frames, so that the samples go on without a gap.
Continuation ExactContinuation(const AssemblySource& before, const AssemblySource& next) {
    const auto& delay = next.Layout.GaplessValues;
    // A part without a LAME tag plays all its frames' samples, as one whose padding is the
    // decoders' own delay does.
    const auto& values = before.Layout.GaplessValues;
    const std::int32_t padding = values ? values->Padding : kDecoderDelay;
    const std::int32_t spf = next.Layout.SamplesPerFrame;
    if (!delay || (delay->Delay + padding) % spf != 0) return {};
    const auto skipped = static_cast<std::size_t>((delay->Delay + padding) / spf);
    for (std::size_t own = 1; own <= 2 && own < skipped; ++own) {
        const std::size_t shared = skipped - own;
        if (shared > kMostShared || shared > before.Frames.size() ||
            skipped >= next.Frames.size() || !Silent(next, own - 1, own)) {
            continue;
        }
        if (SameFrames(before, before.Frames.size() - shared, next, own, shared)) {
            return {Continuation::Kind::Exact, skipped, own, {}};
        }
    }
    return {};
}

// What tells one source's audio from another's for a join.
struct Format {
    int Version = 0;  // the header's version bits
    std::int32_t Rate = 0;
    int Channels = 0;
    bool operator==(const Format&) const = default;
};

Format FormatOf(const AssemblySource& source) {
    const std::int64_t at = source.Frames.front().Offset;
    const auto header = ReadBytes(*source.File, at, at + 4);
    return {(header[1] & header_bits::kVersion) >> 3, source.Layout.SamplingRate,
            (header[3] & header_bits::kChannelMode) == header_bits::kChannelMode ? 1 : 2};
}

Message Described(const Format& format) {
    const char* version = format.Version == 3 ? "1" : format.Version == 2 ? "2" : "2.5";
    return TrN("Join", "MPEG %1, %2 Hz, %n channels", "MPEG %1, %2 Hz, %n channel")
        .Count(format.Channels)
        .Arg(std::string(version))
        .Arg(format.Rate);
}

// The refusal of the first source that holds no audio or differs from the first.
std::optional<EditReport> CheckSources(const std::vector<std::string>& paths,
                                       const std::vector<AssemblySource>& sources,
                                       Reporter& reporter) {
    for (std::size_t i = 0; i < sources.size(); ++i) {
        if (sources[i].Frames.empty()) {
            return RefuseEdit(reporter, Tr("Join", "%1 holds no MP3 audio.").Arg(paths[i]),
                              paths[i]);
        }
        const Format format = FormatOf(sources[i]);
        const Format first = FormatOf(sources.front());
        if (format != first) {
            return RefuseEdit(reporter,
                              Tr("Join",
                                 "%1 cannot be joined to %2: it is %3, %2 is %4. Only files of "
                                 "one MPEG version, sampling rate and channel count join.")
                                  .Arg(paths[i])
                                  .Arg(paths.front())
                                  .Arg(Described(format))
                                  .Arg(Described(first)),
                              paths[i]);
        }
    }
    return std::nullopt;
}

// Tells how `next` goes on from `before`: joined back to a split's source, or after the
// gap their encoders left.
void TellSeam(Reporter& reporter, const std::string& before, const std::string& next,
              const Continuation& go, const AssemblySource& one, const AssemblySource& other) {
    if (go.Is == Continuation::Kind::FrameRule) {
        reporter.Log(Tr("Join",
                        "%1 goes on where a split by the frame rule cut %2: %3 frames of the "
                        "split's own left out, %4 bytes it had moved put back.")
                         .Arg(next)
                         .Arg(before)
                         .Arg(static_cast<std::int64_t>(go.Own))
                         .Arg(std::ssize(go.Restored)));
        return;
    }
    if (go.Is == Continuation::Kind::Exact) {
        reporter.Log(Tr("Join",
                        "%1 goes on where a split at a sample cut %2: %3 frames of the split's "
                        "own and %4 frames both hold left out.")
                         .Arg(next)
                         .Arg(before)
                         .Arg(static_cast<std::int64_t>(go.Own))
                         .Arg(static_cast<std::int64_t>(go.Skip - go.Own)));
        return;
    }
    const auto& padding = one.Layout.GaplessValues;
    const auto& delay = other.Layout.GaplessValues;
    const std::int64_t gap = (padding ? padding->Padding : 0) + (delay ? delay->Delay : 0);
    const std::int32_t rate = other.Layout.SamplingRate;
    reporter.Log(Tr("Join",
                    "Between %1 and %2 the gap their encoders left plays: %3 samples "
                    "(%4 ms).")
                     .Arg(before)
                     .Arg(next)
                     .Arg(gap)
                     .Arg(rate > 0 ? (gap * 1000 + rate / 2) / rate : 0));
}

// Appends source `index` after the one before it, as it goes on from it; where its frames
// start in the output.
std::size_t AppendSource(Assembly& assembly, const std::vector<AssemblySource>& sources,
                         std::size_t index, const std::vector<std::string>& paths,
                         Reporter& reporter) {
    const AssemblySource& source = sources[index];
    if (index == 0) {
        assembly.AppendRun(0, 0, source.Frames.size());
        return 0;
    }
    const AssemblySource& before = sources[index - 1];
    Continuation go = FrameRuleContinuation(before, source);
    if (go.Is == Continuation::Kind::None) go = ExactContinuation(before, source);
    const std::size_t seam = assembly.Count();
    assembly.AppendRun(index, go.Skip, source.Frames.size());
    TellSeam(reporter, paths[index - 1], paths[index], go, before, source);
    std::vector<std::uint8_t> carried = std::move(go.Restored);
    if (go.Is == Continuation::Kind::None && source.Frames.front().Frame.MainDataBegin > 0) {
        // Its lenders are in no file given: zeros stand for what they held.
        carried.assign(static_cast<std::size_t>(source.Frames.front().Frame.MainDataBegin), 0);
        reporter.Log(Tr("Join",
                        "The first frame of %1 borrows %2 bytes from frames it does not hold: "
                        "zeros stand for them.")
                         .Arg(paths[index])
                         .Arg(std::ssize(carried)));
    }
    TellCarried(reporter, assembly.Carry(seam, carried),
                Tr("Join", "the start of %1").Arg(paths[index]), std::ssize(carried),
                source.Layout.SamplesPerFrame);
    // A silent frame added before the seam counts as the source's own.
    return seam;
}

std::vector<std::uint8_t> Id3v2Of(const AssemblySource& source) {
    return ReadBytes(*source.File, 0, source.Layout.Tags.Id3v2Length);
}

// One chapter for each source, from where its frames start in the output (`starts`) to
// where the next one's do, titled as its own tag's title, or else as its file is named.
std::vector<Chapter> SourceChapters(const std::vector<AssemblySource>& sources,
                                    const std::vector<std::string>& paths,
                                    const std::vector<std::size_t>& starts, Gapless gapless,
                                    std::int64_t played, TagEditor& tags) {
    const SourceLayout& layout = sources.front().Layout;
    const auto ms = [&](std::int64_t samples) {
        return std::min(samples, played) * 1000 / layout.SamplingRate;
    };
    std::vector<Chapter> chapters;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        std::string title = tags.Title(Id3v2Of(sources[i]));
        if (title.empty()) {
            const std::string name = paths[i].substr(paths[i].rfind('/') + 1);
            title = name.substr(0, name.rfind('.'));
        }
        const auto at = [&](std::size_t frame) {
            return ms(PlayedSampleAt(std::int64_t(frame), layout.SamplesPerFrame, gapless));
        };
        chapters.push_back({at(starts[i]), i + 1 < starts.size() ? at(starts[i + 1]) : ms(played),
                            std::move(title)});
    }
    return chapters;
}

// The first source's ID3v2 tag, stating the output's length, and with `chapters` in place of
// its own where there are any; none where it has none and there are none.
std::vector<std::uint8_t> JoinedTag(const AssemblySource& first, TagEditor& tags,
                                    std::int64_t lengthMs, const std::vector<Chapter>& chapters,
                                    Reporter& reporter) {
    auto tag = Id3v2Of(first);
    if (!chapters.empty()) {
        if (auto made = tags.WithChapters(tag, chapters, lengthMs)) return std::move(*made);
        reporter.Log(Tr("Join",
                        "The chapters could not be written: the tag library could not "
                        "read or make the tag."));
    }
    if (tag.empty()) return {};
    PartTime whole;
    whole.LengthMs = lengthMs;
    if (auto edited = tags.ForPart(tag, whole)) return std::move(*edited);
    return tag;
}

std::variant<OutputPlan, EditReport> PlanJoin(const JoinRequest& request,
                                              std::span<SourceFile* const> files, TagEditor& tags,
                                              Reporter& reporter) {
    const std::vector<std::string>& paths = request.Files.Sources;
    std::vector<AssemblySource> sources;
    for (SourceFile* file : files) sources.push_back(ReadAssemblySource(*file));
    if (auto refused = CheckSources(paths, sources, reporter)) return *std::move(refused);
    Assembly assembly(sources);
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        starts.push_back(AppendSource(assembly, sources, i, paths, reporter));
    }
    const auto header = AssemblyHeader(sources.front(), assembly.VariableBitRate(),
                                       sources.front().Layout.GaplessValues.has_value());
    if (!header) {
        return RefuseEdit(
            reporter,
            Tr("Join", "No frame of %1's stream can hold a length header.").Arg(paths.front()),
            paths.front());
    }
    const Gapless gapless = OutputGapless(sources.front(), sources.back());
    const std::int32_t rate = sources.front().Layout.SamplingRate;
    const std::int64_t played =
        std::max<std::int64_t>(0, assembly.FrameSamples() - gapless.Delay - gapless.Padding);
    const auto chapters = request.Chapters
                              ? SourceChapters(sources, paths, starts, gapless, played, tags)
                              : std::vector<Chapter>();
    auto tag = JoinedTag(sources.front(), tags, played * 1000 / rate, chapters, reporter);
    return assembly.Plan(std::move(tag), *header, gapless, 0);
}

}  // namespace

EditReport Join(const JoinRequest& request, FileSystem& files, TagEditor& tags,
                Reporter& reporter) {
    return RunEdit(
        request.Files, files, reporter,
        TrN("Join", "Joining %n files into %1", "Joining %n file into %1")
            .Count(std::ssize(request.Files.Sources))
            .Arg(request.Files.Output),
        [&](std::span<SourceFile* const> opened) {
            return PlanJoin(request, opened, tags, reporter);
        },
        Tr("Join", "MP3 joining completed."));
}

}  // namespace quorvel
