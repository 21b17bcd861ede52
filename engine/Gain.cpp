#include "engine/Gain.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "engine/FrameChain.h"
#include "engine/FrameHeader.h"
#include "engine/Numbers.h"
#include "engine/SourceLayout.h"
#include "engine/Tags.h"

namespace quorvel {
namespace {

constexpr int kLargestGain = 255;
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

// One change of every granule's gain by `Steps`, but for the granules `Left` names (sorted,
// as a GainRecord names them).
struct GainChange {
    int Steps = 0;
    const std::vector<std::uint64_t>* Left = nullptr;
};

// Changes the gains of frame `index` (its first bytes) as `changes` say, one after the
// other; its CRC is made anew where it held. The granules the last change leaves at the
// limit of their range go to `left` where given.
void Regain(FrameStartBytes& bytes, std::uint64_t index, std::span<const GainChange> changes,
            std::vector<std::uint64_t>* left) {
    const bool protectedFrame = !(bytes[1] & header_bits::kNoCrc);
    const std::int16_t sideInfo = SideInfoSize(bytes);
    const bool crcHeld =
        protectedFrame && FrameCrc(bytes, sideInfo) == (unsigned(bytes[4]) << 8 | bytes[5]);
    const GainPlaces places = GlobalGainPlaces(bytes);
    for (std::size_t c = 0; c < changes.size(); ++c) {
        const GainChange& change = changes[c];
        for (int place = 0; place < places.Count; ++place) {
            const std::uint64_t granule = index * 4 + std::uint64_t(place);
            if (change.Left &&
                std::binary_search(change.Left->begin(), change.Left->end(), granule)) {
                continue;
            }
            const std::size_t bit = places.Bits[std::size_t(place)];
            const int gain = ReadGain(bytes, bit) + change.Steps;
            if (gain < 0 || gain > kLargestGain) {
                if (left && c + 1 == changes.size()) left->push_back(granule);
                continue;
            }
            WriteGain(bytes, bit, gain);
        }
    }
    if (crcHeld) {
        const std::uint16_t crc = FrameCrc(bytes, sideInfo);
        bytes[4] = static_cast<std::uint8_t>(crc >> 8);
        bytes[5] = static_cast<std::uint8_t>(crc);
    }
}

// The source read with the gains of its audio frames changed: the bytes a gain writes.
// It keeps only where each frame starts; what each becomes is worked out as it is read.
class GainedFile final : public SourceFile {
  public:
    GainedFile(SourceFile& source, std::vector<std::int64_t> frames,
               std::vector<GainChange> changes)
        : source_(source), frames_(std::move(frames)), changes_(std::move(changes)) {}

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
    SourceFile& source_;
    std::vector<std::int64_t> frames_;
    std::vector<GainChange> changes_;
};

// The loudest sample the source decodes to, of any channel.
int DecodedPeak(AudioDecoder& decoder, FileSystem& files, const std::string& path) {
    const auto audio = decoder.Open(files.OpenSource(path), AudioDecoder::Length::Stated);
    constexpr std::int64_t kChunk = 1 << 16;
    int peak = 0;
    for (std::int64_t from = 0; from < audio->Length(); from += kChunk) {
        for (const std::int16_t sample : audio->Read(from, kChunk)) {
            peak = std::max(peak, std::abs(int(sample)));
        }
    }
    return peak;
}

std::variant<OutputPlan, EditReport> PlanGain(const GainRequest& request, AudioDecoder& decoder,
                                              FileSystem& files, Reporter& reporter,
                                              std::vector<SourceFile*>& sources,
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
    // The changes, one after the other, and the tag the output opens with.
    std::vector<GainChange> changes;
    std::vector<std::uint8_t> outputTag;
    int steps = request.Steps;
    if (request.Undo) {
        if (!recorded) {
            return RefuseEdit(reporter,
                              Tr("Gain", "%1 holds no record of a gain to undo.").Arg(path), path);
        }
        reporter.Log(
            Tr("Gain", "Undoing a gain of %1 steps of 1.5 dB.").Arg(recorded->Record.Steps));
    } else {
        if (steps > 0 && request.NoClip) {
            const int peak = DecodedPeak(decoder, files, path);
            const int most =
                peak == 0 ? steps : int(std::floor(4 * std::log2(kFullScale / peak) + 1e-9));
            if (most < steps) {
                reporter.Log(Tr("Gain",
                                "The decoded peak is %1 dBFS: %2 steps louder would clip it, %3 do "
                                "not.")
                                 .Arg(FormatNumber(
                                     std::round(200 * std::log10(peak / kFullScale)) / 10, "."))
                                 .Arg(steps)
                                 .Arg(std::max(0, most)));
                steps = std::max(0, most);
            }
        }
        if (steps == 0) {
            return RefuseEdit(reporter, Tr("Gain",
                                           "A gain of no whole step of 1.5 dB changes nothing: %1 "
                                           "is not written.")
                                            .Arg(request.Files.Output));
        }
        reporter.Log(Tr("Gain", "Every granule's global gain goes %1 steps of 1.5 dB (%2 dB).")
                         .Arg(steps)
                         .Arg(FormatNumber(steps * 1.5, ".")));
    }
    if (recorded) changes.push_back({-recorded->Record.Steps, &recorded->Record.Left});
    // What the output's granules differ by from the file before any gain.
    const int total = request.Undo ? 0 : (recorded ? recorded->Record.Steps : 0) + steps;
    if (total != 0) changes.push_back({total, nullptr});

    // The walk over the audio frames: where each starts, and the granules left at their limit.
    std::vector<std::int64_t> frames;
    std::vector<std::uint64_t> left;
    FileInformation info;
    info.FreeFormatLength = layout.FreeFormatLength;
    WalkFrameChain(
        reader, info,
        [&](const ChainFrame& frame) {
            FrameStartBytes bytes = reader.FrameStartAt(frame.Offset);
            Regain(bytes, frames.size(), changes, &left);
            frames.push_back(frame.Offset);
            return true;
        },
        layout.AudioStart, layout.Tags.TrailerAt);
    outputTag = recorded ? recorded->Before : tag;
    if (total != 0) {
        GainRecord record{total, recorded ? recorded->Record.NewTag : tag.empty(), left};
        auto with = WithGainRecord(outputTag, record);
        if (!with) {
            return RefuseEdit(reporter,
                              Tr("Gain",
                                 "The ID3v2 tag of %1 cannot hold the record that would "
                                 "undo the gain (its version or its layout).")
                                  .Arg(path),
                              path);
        }
        outputTag = std::move(*with);
        if (!left.empty()) {
            reporter.Log(Tr("Gain",
                            "%1 granules at the limit of their gain are left as they were; the "
                            "record keeps them.")
                             .Arg(FormatCount(std::ssize(left), ".")));
        }
    } else if (!request.Undo) {
        reporter.Log(Tr("Gain",
                        "The gain cancels the one recorded: the output is the file as it "
                        "was before both."));
    }
    gained = std::make_unique<GainedFile>(file, std::move(frames), changes);
    sources.push_back(gained.get());
    OutputPlan output;
    if (!outputTag.empty()) {
        output.push_back({0, std::int64_t(outputTag.size()), std::move(outputTag), 0});
    }
    output.push_back({layout.Tags.Id3v2Length, file.Size() - layout.Tags.Id3v2Length, {}, 1});
    return output;
}

}  // namespace

int GainSteps(double db) {
    return int(std::lround(db / 1.5));
}

EditReport Gain(const GainRequest& request, FileSystem& files, AudioDecoder& decoder,
                Reporter& reporter) {
    std::unique_ptr<GainedFile> gained;
    std::optional<RecordedGain> recorded;
    const std::string& source = request.Files.Sources.front();
    const std::string& output = request.Files.Output;
    return RunEdit(
        request.Files, files, reporter,
        request.Undo ? Tr("Gain", "Undoing the gain of %1 into %2").Arg(source).Arg(output)
                     : Tr("Gain", "Changing the gain of %1 into %2").Arg(source).Arg(output),
        [&](std::vector<SourceFile*>& sources) {
            return PlanGain(request, decoder, files, reporter, sources, gained, recorded);
        },
        Tr("Gain", "MP3 gain completed."));
}

}  // namespace quorvel
