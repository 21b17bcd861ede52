#include "engine/Gain.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "engine/FrameChain.h"
#include "engine/FrameHeader.h"
#include "engine/LengthHeader.h"
#include "engine/Loudness.h"
#include "engine/Numbers.h"
#include "engine/SourceLayout.h"
#include "engine/SplitPlan.h"
#include "engine/Tags.h"

namespace quorvel {
namespace {

constexpr int kLargestGain = 255;
// The samples of a granule, in every MPEG version: two a frame in MPEG 1, one in 2 and 2.5.
constexpr std::int64_t kGranuleSamples = 576;
// A full-scale 16-bit sample, which a louder peak would pass.
constexpr double kFullScale = 32767;

// The 8-bit field at `bit` bits into `bytes`.
int ReadGain(std::span<const std::uint8_t> bytes, std::size_t bit) {
    const unsigned word = unsigned(bytes[bit / 8]) << 8 | bytes[bit / 8 + 1];
    return int(word >> (8 - bit % 8) & 0xFF);
}

void WriteGain(std::span<std::uint8_t> bytes, std::size_t bit, int gain) {
    const unsigned shift = 8 - bit % 8;
    unsigned word = unsigned(bytes[bit / 8]) << 8 | bytes[bit / 8 + 1];
    word = (word & ~(0xFFu << shift)) | unsigned(gain) << shift;
    bytes[bit / 8] = static_cast<std::uint8_t>(word >> 8);
    bytes[bit / 8 + 1] = static_cast<std::uint8_t>(word);
}

// One change of every granule's gain: by `Steps`, and at either end by a fade (in time:
// both channels of a granule alike): the granule that plays first silenced, each after it
// up to the fade's length a step quieter than the next, and a fade-out the other way round
// up to the granule that plays last. An undo takes a record's change back: the granules it
// left stay, those it silenced get their gains again.
struct GainChange {
    int Steps = 0;
    std::int64_t FadeIn = 0;
    std::int64_t FadeOut = 0;
    // The granules that hold the first and the last sample played.
    std::int64_t FirstPlayed = 0;
    std::int64_t LastPlayed = 0;
    const GainRecord* Undone = nullptr;
    // The granules [From, To) the change is made to: a stretch's own fades start and end
    // there, FirstPlayed and LastPlayed being its first and last.
    std::int64_t From = 0;
    std::int64_t To = std::numeric_limits<std::int64_t>::max();

    // The steps quieter the fades make granule `time`: more than any gain, for silence.
    std::int64_t Faded(std::int64_t time) const {
        constexpr std::int64_t kSilence = 4 * (kLargestGain + 1);
        std::int64_t steps = 0;
        if (FadeIn > 0) {
            steps += time <= FirstPlayed ? kSilence
                                         : std::max<std::int64_t>(0, FadeIn - (time - FirstPlayed));
        }
        if (FadeOut > 0) {
            steps += time >= LastPlayed ? kSilence
                                        : std::max<std::int64_t>(0, FadeOut - (LastPlayed - time));
        }
        return steps;
    }
};

// The granule whose coded samples a decoder plays as played sample `sample`: its output
// lags what it decodes by its delay.
std::int64_t GranuleOf(std::int64_t sample, const SourceLayout& layout) {
    return std::max<std::int64_t>(0, sample + PlayedLead(layout.GaplessValues) - kDecoderDelay) /
           kGranuleSamples;
}

// The granules that hold the first and the last sample played of `frames` audio frames.
std::pair<std::int64_t, std::int64_t> PlayedGranules(std::int64_t frames,
                                                     const SourceLayout& layout) {
    const std::int64_t played = PlayedSamples(frames, layout.SamplesPerFrame, layout.GaplessValues);
    return {GranuleOf(0, layout), GranuleOf(std::max<std::int64_t>(1, played) - 1, layout)};
}

// What a change found at the limits: the granules it left, and those a fade took to the
// smallest gain with the gain each had, in order.
struct GainLimits {
    std::vector<std::uint64_t> Left;
    std::vector<std::pair<std::uint64_t, int>> Silenced;
};

// Changes the gains of frame `index` (its first bytes) as `changes` say, one after the
// other; its CRC is made anew where it held. What the last change finds at the limits goes
// to `limits` where given.
void Regain(FrameStartBytes& bytes, std::uint64_t index, std::span<const GainChange> changes,
            GainLimits* limits) {
    const bool protectedFrame = !(bytes[1] & header_bits::kNoCrc);
    const std::int16_t sideInfo = SideInfoSize(bytes);
    const bool crcHeld =
        protectedFrame && FrameCrc(bytes, sideInfo) == (unsigned(bytes[4]) << 8 | bytes[5]);
    const GainPlaces places = GlobalGainPlaces(bytes);
    const int channels =
        (bytes[3] & header_bits::kChannelMode) == header_bits::kChannelMode ? 1 : 2;
    const std::int64_t granules = SamplesPerFrame(bytes[1]) / kGranuleSamples;
    for (std::size_t c = 0; c < changes.size(); ++c) {
        const GainChange& change = changes[c];
        const bool last = limits && c + 1 == changes.size();
        for (int place = 0; place < places.Count; ++place) {
            const std::uint64_t granule = index * 4 + std::uint64_t(place);
            const std::int64_t time = std::int64_t(index) * granules + place / channels;
            const std::size_t bit = places.Bits[std::size_t(place)];
            const int was = ReadGain(bytes, bit);
            const std::int64_t faded = change.Faded(time);
            if (const GainRecord* undone = change.Undone) {
                if (std::binary_search(undone->Left.begin(), undone->Left.end(), granule)) continue;
                const auto silenced = std::lower_bound(
                    undone->Silenced.begin(), undone->Silenced.end(), std::pair{granule, 0},
                    [](const auto& a, const auto& b) { return a.first < b.first; });
                const std::int64_t gain =
                    silenced != undone->Silenced.end() && silenced->first == granule
                        ? silenced->second
                        : was - change.Steps + faded;
                if (gain >= 0 && gain <= kLargestGain) WriteGain(bytes, bit, int(gain));
                continue;
            }
            if (time < change.From || time >= change.To) continue;
            const std::int64_t gain = was + change.Steps - faded;
            if (gain < 0 && faded > 0) {
                if (last) limits->Silenced.emplace_back(granule, was);
                WriteGain(bytes, bit, 0);
            } else if (gain < 0 || gain > kLargestGain) {
                if (last) limits->Left.push_back(granule);
            } else {
                WriteGain(bytes, bit, int(gain));
            }
        }
    }
    if (crcHeld) {
        const std::uint16_t crc = FrameCrc(bytes, sideInfo);
        bytes[4] = static_cast<std::uint8_t>(crc >> 8);
        bytes[5] = static_cast<std::uint8_t>(crc);
    }
}

// A source the caller keeps, handed on as one shared.
std::shared_ptr<SourceFile> Unowned(SourceFile& source) {
    return {std::shared_ptr<SourceFile>(), &source};
}

// The source read with the gains of its audio frames changed: the bytes a gain writes.
// It keeps only where each frame starts; what each becomes is worked out as it is read.
class GainedFile final : public SourceFile {
  public:
    GainedFile(std::shared_ptr<SourceFile> source, std::vector<std::int64_t> frames,
               std::vector<GainChange> changes)
        : owned_(std::move(source)),
          source_(*owned_),
          frames_(std::move(frames)),
          changes_(std::move(changes)) {}

    const std::string& Path() const override { return source_.Path(); }
    std::int64_t Size() const override { return source_.Size(); }
    std::optional<FileStamp> Stamp() const override { return source_.Stamp(); }

    std::size_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::size_t count) override {
        const std::size_t read = source_.ReadAt(offset, buffer, count);
        const std::int64_t end = offset + std::int64_t(read);
        constexpr auto kStart = std::int64_t{std::tuple_size_v<FrameStartBytes>};
        // The frames whose first bytes lie in what was read.
        auto frame = std::upper_bound(frames_.begin(), frames_.end(), offset - kStart);
        for (; frame != frames_.end() && *frame < end; ++frame) {
            FrameStartBytes bytes{};
            // Most lie whole in what was read; one across its ends is read on its own.
            if (*frame >= offset && *frame + kStart <= end) {
                std::memcpy(bytes.data(), buffer + (*frame - offset), bytes.size());
            } else {
                ReadFully(source_, *frame, bytes.data(), bytes.size());
            }
            Regain(bytes, std::uint64_t(frame - frames_.begin()), changes_, nullptr);
            const std::int64_t from = std::max(offset, *frame);
            const std::int64_t to = std::min(end, *frame + kStart);
            std::memcpy(buffer + (from - offset), bytes.data() + (from - *frame),
                        std::size_t(to - from));
        }
        return read;
    }

  private:
    std::shared_ptr<SourceFile> owned_;  // holding nothing where the caller keeps the source
    SourceFile& source_;
    std::vector<std::int64_t> frames_;
    std::vector<GainChange> changes_;
};

// The source's loudness, its peak the loudest sample it decodes to; why it cannot be measured
// where it cannot.
std::variant<Loudness, Message> Measured(AudioDecoder& decoder, LoudnessMeter& meter,
                                         FileSystem& files, const std::string& path) {
    const LoudnessReport report = MeasureLoudness(decoder, meter, files, {path}, false);
    const FileLoudness& measured = report.Files.front();
    if (measured.Problem) return *measured.Problem;
    return *measured.Measured;
}

// The granules of a fade of `seconds` at `rate`.
std::int64_t FadeGranules(double seconds, std::int32_t rate) {
    return std::llround(seconds * rate / double(kGranuleSamples));
}

// How many steps audio whose loudest sample is `peak` (1: full scale) may be made louder
// without clipping, or `steps` where it may, told in the log where fewer.
int UnclippedSteps(int steps, double peak, Reporter& reporter) {
    peak *= kFullScale + 1;  // in steps of a 16-bit sample
    const int most = peak == 0 ? steps : int(std::floor(4 * std::log2(kFullScale / peak) + 1e-9));
    if (most >= steps) return steps;
    reporter.Log(
        Tr("Gain", "The decoded peak is %1 dBFS: %2 steps louder would clip it, %3 do not.")
            .Arg(FormatNumber(std::round(200 * std::log10(peak / kFullScale)) / 10, "."))
            .Arg(steps)
            .Arg(std::max(0, most)));
    return std::max(0, most);
}

// Walks the audio frames: where each starts, and what `changes` find at the limits.
std::vector<std::int64_t> WalkGained(BlockReader& reader, const SourceLayout& layout,
                                     std::span<const GainChange> changes, GainLimits* limits) {
    std::vector<std::int64_t> frames;
    FileInformation info;
    info.FreeFormatLength = layout.FreeFormatLength;
    WalkFrameChain(
        reader, info,
        [&](const ChainFrame& frame) {
            if (limits) {
                FrameStartBytes bytes = reader.FrameStartAt(frame.Offset);
                Regain(bytes, frames.size(), changes, limits);
            }
            frames.push_back(frame.Offset);
            return true;
        },
        layout.AudioStart, layout.Tags.TrailerAt);
    return frames;
}

// The steps that bring `loudness` nearest `lufs`, told in the log; why there are none where
// it is silence, which no gain brings to any loudness.
std::variant<int, Message> StepsTo(double lufs, const Loudness& loudness, const std::string& path,
                                   Reporter& reporter) {
    const double integrated = loudness.IntegratedLufs;
    if (!std::isfinite(integrated)) {
        return Tr("Gain", "%1 is silence: no gain brings it to a loudness.").Arg(path);
    }
    const int steps = GainSteps(lufs - integrated);
    reporter.Log(Tr("Gain",
                    "The integrated loudness is %1 LUFS: %2 steps of 1.5 dB bring it "
                    "nearest %3 LUFS.")
                     .Arg(FormatNumber(std::round(integrated * 10) / 10, "."))
                     .Arg(steps)
                     .Arg(FormatNumber(lufs, ".")));
    return steps;
}

// What the output's granules are to differ by from the file before any gain: the steps
// asked for (brought to a loudness, or kept from clipping, where asked) with those recorded,
// and the fades asked for, those recorded where none are; what the output's record says but
// for the granules at the limits. Why nothing is to be written where it is not.
std::variant<GainRecord, EditReport> WantedRecord(const GainRequest& request,
                                                  const std::optional<RecordedGain>& recorded,
                                                  bool untagged, const SourceLayout& layout,
                                                  AudioDecoder& decoder, LoudnessMeter& meter,
                                                  FileSystem& files, Reporter& reporter) {
    const std::string& path = request.Files.Sources.front();
    GainRecord record;
    int steps = request.Steps;
    // One decoding gives both the loudness to bring to and the peak to keep from clipping.
    if (request.ToLufs || (steps > 0 && request.NoClip)) {
        const auto measured = Measured(decoder, meter, files, path);
        if (const auto* why = std::get_if<Message>(&measured)) {
            return RefuseEdit(reporter, *why, path);
        }
        const Loudness& loudness = std::get<Loudness>(measured);
        if (request.ToLufs) {
            const auto to = StepsTo(*request.ToLufs, loudness, path, reporter);
            if (const auto* why = std::get_if<Message>(&to)) {
                return RefuseEdit(reporter, *why, path);
            }
            steps = std::get<int>(to);
        }
        if (steps > 0 && request.NoClip) steps = UnclippedSteps(steps, loudness.Peak, reporter);
    }
    record.FadeIn = FadeGranules(request.FadeInSeconds, layout.SamplingRate);
    record.FadeOut = FadeGranules(request.FadeOutSeconds, layout.SamplingRate);
    if (steps == 0 && record.FadeIn == 0 && record.FadeOut == 0) {
        return RefuseEdit(reporter, Tr("Gain",
                                       "A gain of no whole step of 1.5 dB changes nothing: %1 "
                                       "is not written.")
                                        .Arg(request.Files.Output));
    }
    if (steps != 0) {
        reporter.Log(Tr("Gain", "Every granule's global gain goes %1 steps of 1.5 dB (%2 dB).")
                         .Arg(steps)
                         .Arg(FormatNumber(steps * 1.5, ".")));
    }
    TellFades(reporter, {record.FadeIn, record.FadeOut});
    if (recorded) {
        record.Steps = recorded->Record.Steps;
        if (record.FadeIn == 0 && record.FadeOut == 0) {
            record.FadeIn = recorded->Record.FadeIn;
            record.FadeOut = recorded->Record.FadeOut;
        }
    }
    record.Steps += steps;
    record.NewTag = recorded ? recorded->Record.NewTag : untagged;
    return record;
}

// The output's ID3v2 tag: `tag`, the source's as it was before any gain it records, with
// `record` put in where the gain changes the audio (none: it cancels the one recorded), the
// granules `limits` found at the limit of their gain kept in it; why not where the tag
// cannot hold it.
std::variant<std::vector<std::uint8_t>, EditReport> OutputTag(std::vector<std::uint8_t> tag,
                                                              GainRecord* record, GainLimits limits,
                                                              bool undo, Reporter& reporter,
                                                              const std::string& path) {
    if (!record) {
        if (!undo) {
            reporter.Log(Tr("Gain",
                            "The gain cancels the one recorded: the output is the file as it "
                            "was before both."));
        }
        return tag;
    }
    record->Left = std::move(limits.Left);
    record->Silenced = std::move(limits.Silenced);
    auto with = WithGainRecord(tag, *record);
    if (!with) {
        return RefuseEdit(reporter,
                          Tr("Gain",
                             "The ID3v2 tag of %1 cannot hold the record that would "
                             "undo the gain (its version or its layout).")
                              .Arg(path),
                          path);
    }
    if (!record->Left.empty()) {
        reporter.Log(Tr("Gain",
                        "%1 granules at the limit of their gain are left as they were; the "
                        "record keeps them.")
                         .Arg(FormatCount(std::ssize(record->Left), ".")));
    }
    return std::move(*with);
}

std::variant<OutputPlan, EditReport> PlanGain(const GainRequest& request, AudioDecoder& decoder,
                                              LoudnessMeter& meter, FileSystem& files,
                                              Reporter& reporter, std::vector<SourceFile*>& sources,
                                              std::unique_ptr<GainedFile>& gained,
                                              std::optional<RecordedGain>& recorded) {
    SourceFile& file = *sources.front();
    const std::string& path = request.Files.Sources.front();
    BlockReader reader(file);
    const SourceLayout layout = ReadLayout(file, reader);
    if (!layout.First) {
        return RefuseEdit(reporter, Tr("Join", "%1 holds no MP3 audio.").Arg(path), path);
    }
    const auto tag = ReadBytes(file, 0, layout.Tags.Id3v2Length);
    recorded = FindGainRecord(tag);
    if (request.Undo && !recorded) {
        return RefuseEdit(reporter, Tr("Gain", "%1 holds no record of a gain to undo.").Arg(path),
                          path);
    }
    GainRecord record;
    if (!request.Undo) {
        auto wanted =
            WantedRecord(request, recorded, tag.empty(), layout, decoder, meter, files, reporter);
        if (auto* refused = std::get_if<EditReport>(&wanted)) return std::move(*refused);
        record = std::get<GainRecord>(std::move(wanted));
    } else {
        reporter.Log(
            Tr("Gain", "Undoing a gain of %1 steps of 1.5 dB.").Arg(recorded->Record.Steps));
    }
    const bool changed = record.Steps != 0 || record.FadeIn > 0 || record.FadeOut > 0;
    // A fade-out counts from the end: the frames are counted first.
    const bool fadesOut = record.FadeOut > 0 || (recorded && recorded->Record.FadeOut > 0);
    const auto [first, last] =
        PlayedGranules(fadesOut ? std::ssize(WalkGained(reader, layout, {}, nullptr)) : 0, layout);
    std::vector<GainChange> changes;
    if (recorded) {
        const GainRecord& undone = recorded->Record;
        changes.push_back({undone.Steps, undone.FadeIn, undone.FadeOut, first, last, &undone});
    }
    if (changed) {
        changes.push_back({record.Steps, record.FadeIn, record.FadeOut, first, last, nullptr});
    }
    GainLimits limits;
    BlockReader walked(file);
    std::vector<std::int64_t> frames = WalkGained(walked, layout, changes, &limits);
    auto madeTag = OutputTag(recorded ? recorded->Before : tag, changed ? &record : nullptr,
                             std::move(limits), request.Undo, reporter, path);
    if (auto* refused = std::get_if<EditReport>(&madeTag)) return std::move(*refused);
    std::vector<std::uint8_t> outputTag = std::get<std::vector<std::uint8_t>>(std::move(madeTag));
    gained = std::make_unique<GainedFile>(Unowned(file), std::move(frames), std::move(changes));
    sources.push_back(gained.get());
    OutputPlan output;
    if (!outputTag.empty()) {
        output.push_back({0, std::int64_t(outputTag.size()), std::move(outputTag), 0});
    }
    output.push_back({layout.Tags.Id3v2Length, file.Size() - layout.Tags.Id3v2Length, {}, 1});
    return output;
}

// A stretch of a piece: `length` bytes from `offset` into it.
OutputPiece PieceOf(const OutputPiece& piece, std::int64_t offset, std::int64_t length) {
    if (piece.Bytes.empty()) return {piece.SourceOffset + offset, length, {}, piece.Source};
    const auto from = piece.Bytes.begin() + offset;
    return {0, length, {from, from + length}, piece.Source};
}

// `plan` with the bytes of each patch (where in the output, its bytes; in order, apart) in
// place of what it had there.
OutputPlan Patched(const OutputPlan& plan,
                   const std::vector<std::pair<std::int64_t, std::vector<std::uint8_t>>>& patches) {
    OutputPlan patched;
    std::int64_t start = 0, written = 0;  // where the piece starts; the output written so far
    std::size_t next = 0;
    for (const OutputPiece& piece : plan) {
        const std::int64_t end = start + piece.Length;
        while (written < end) {
            if (next < patches.size() && patches[next].first < end) {
                const auto& [at, bytes] = patches[next++];
                if (at > written) patched.push_back(PieceOf(piece, written - start, at - written));
                patched.push_back({0, std::ssize(bytes), bytes, 0});
                written = at + std::ssize(bytes);
            } else {
                patched.push_back(PieceOf(piece, written - start, end - written));
                written = end;
            }
        }
        start = end;
    }
    return patched;
}

}  // namespace

Fades FadePlan(OutputPlan& plan, SourceFile& source, double inSeconds, double outSeconds) {
    // The output as it is planned, read without owning the source.
    PlannedFile output(Unowned(source), plan);
    BlockReader reader(output);
    const SourceLayout layout = ReadLayout(output, reader);
    if (!layout.First) return {};
    const std::vector<std::int64_t> frames = WalkGained(reader, layout, {}, nullptr);
    const std::int64_t perFrame = layout.SamplesPerFrame / kGranuleSamples;
    const auto [firstPlayed, lastPlayed] = PlayedGranules(std::ssize(frames), layout);
    const GainChange fade{0,
                          FadeGranules(inSeconds, layout.SamplingRate),
                          FadeGranules(outSeconds, layout.SamplingRate),
                          firstPlayed,
                          lastPlayed,
                          nullptr};
    // The frames the fades reach: up to `first`, and from `last` on.
    const std::int64_t first = fade.FadeIn > 0 ? (firstPlayed + fade.FadeIn) / perFrame + 1 : 0;
    const std::int64_t last =
        fade.FadeOut > 0 ? (lastPlayed - fade.FadeOut) / perFrame : std::ssize(frames);
    std::vector<std::pair<std::int64_t, std::vector<std::uint8_t>>> patches;
    const auto patch = [&](std::int64_t i) {
        const auto index = static_cast<std::size_t>(i);
        FrameStartBytes bytes{};
        const std::int64_t end =
            std::min(index + 1 < frames.size() ? frames[index + 1] : output.Size(),
                     frames[index] + std::int64_t(bytes.size()));
        ReadFully(output, frames[index], bytes.data(), bytes.size());
        Regain(bytes, std::uint64_t(i), {&fade, 1}, nullptr);
        patches.emplace_back(
            frames[index],
            std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + (end - frames[index])));
    };
    for (std::int64_t i = 0; i < first; ++i) patch(i);
    for (std::int64_t i = std::max(first, last); i < std::ssize(frames); ++i) patch(i);
    plan = Patched(plan, patches);
    return {fade.FadeIn, fade.FadeOut};
}

std::unique_ptr<SourceFile> LeveledSource(std::shared_ptr<SourceFile> source,
                                          std::span<const LevelChange> levels) {
    BlockReader reader(*source);
    const SourceLayout layout = ReadLayout(*source, reader);
    std::vector<std::int64_t> frames =
        layout.First ? WalkGained(reader, layout, {}, nullptr) : std::vector<std::int64_t>{};
    std::vector<GainChange> changes;
    for (const LevelChange& level : levels) {
        const auto sample = [&](std::chrono::microseconds time) {
            return (time.count() * layout.SamplingRate + 500000) / 1000000;
        };
        const std::int64_t from = GranuleOf(sample(level.From), layout);
        const std::int64_t to = std::max(from + 1, GranuleOf(sample(level.To), layout));
        GainChange change{level.Steps, 0, 0, from, to - 1, nullptr, from, to};
        if (level.Fade == LevelChange::Shape::FadeIn) change.FadeIn = to - from;
        if (level.Fade == LevelChange::Shape::FadeOut) change.FadeOut = to - from;
        changes.push_back(change);
    }
    return std::make_unique<GainedFile>(std::move(source), std::move(frames), std::move(changes));
}

void TellFades(Reporter& reporter, const Fades& fades) {
    if (fades.In > 0) {
        reporter.Log(
            Tr("Gain", "The fade-in takes %1 granules, a step of 1.5 dB each.").Arg(fades.In));
    }
    if (fades.Out > 0) {
        reporter.Log(
            Tr("Gain", "The fade-out takes %1 granules, a step of 1.5 dB each.").Arg(fades.Out));
    }
}

int GainSteps(double db) {
    return int(std::lround(db / 1.5));
}

EditReport Gain(const GainRequest& request, FileSystem& files, AudioDecoder& decoder,
                LoudnessMeter& meter, Reporter& reporter) {
    std::unique_ptr<GainedFile> gained;
    std::optional<RecordedGain> recorded;
    const std::string& source = request.Files.Sources.front();
    const std::string& output = request.Files.Output;
    return RunEdit(
        request.Files, files, reporter,
        request.Undo ? Tr("Gain", "Undoing the gain of %1 into %2").Arg(source).Arg(output)
                     : Tr("Gain", "Changing the gain of %1 into %2").Arg(source).Arg(output),
        [&](std::vector<SourceFile*>& sources) {
            return PlanGain(request, decoder, meter, files, reporter, sources, gained, recorded);
        },
        Tr("Gain", "MP3 gain completed."));
}

}  // namespace quorvel
