#include "engine/Loudness.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "engine/FrameChain.h"
#include "engine/OutputCommit.h"
#include "engine/SourceLayout.h"
#include "engine/Tags.h"

namespace quorvel {
namespace {

// A file shorter than this is measured whole on one thread: halves of it would gain little
// and lose the gating blocks across the middle, a few tenths of a second of the audio.
constexpr double kLeastHalvedSeconds = 120;
// Sample frames decoded at a time.
constexpr std::int64_t kStretch = 1 << 16;
constexpr std::int64_t kToTheEnd = std::numeric_limits<std::int64_t>::max();

// A stretch of one file to measure, through a decoding and a measure of its own.
struct Stretch {
    explicit Stretch(std::size_t file, std::int64_t from = 0) : File(file), From(from) {}
    std::size_t File = 0;
    std::int64_t From = 0;
    std::int64_t To = kToTheEnd;          // where the decoding ends, as far as it goes
    std::int64_t Offset = From;           // where it starts in its programme
    std::unique_ptr<DecodedAudio> Audio;  // opened already, or none yet
    std::unique_ptr<LoudnessMeasure> Measure;
    std::optional<Message> Problem;
};

// Adds the stretch's samples to its measure, opening its decoding where it is not yet open.
void Measure(Stretch& stretch, const std::function<std::unique_ptr<DecodedAudio>()>& open,
             LoudnessMeter& meter, bool truePeak) {
    if (!stretch.Audio) stretch.Audio = open();
    DecodedAudio& audio = *stretch.Audio;
    stretch.Measure = meter.Start(audio.Rate(), audio.Channels(), truePeak, stretch.Offset);
    const auto channels = static_cast<std::size_t>(audio.Channels());
    for (std::int64_t at = stretch.From; at < stretch.To;) {
        const std::vector<std::int16_t> samples =
            audio.Read(at, std::min(kStretch, stretch.To - at));
        if (samples.empty()) break;
        stretch.Measure->Add(samples);
        at += static_cast<std::int64_t>(samples.size() / channels);
    }
}

// Why the meter could not measure the file at `path`.
Message CannotMeasure(const std::string& path, const std::runtime_error& error) {
    return Tr("Loudness", "Cannot measure %1: %2.").Arg(path).Arg(std::string(error.what()));
}

// `value` to `decimals` places, with a point whatever the locale.
std::string Fixed(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    // No negative zero: "-0.00 dB" would read as a cut.
    const double rounded = std::round(value * scale) / scale + 0.0;
    char text[64];
    const auto written =
        std::to_chars(text, text + sizeof text, rounded, std::chars_format::fixed, decimals);
    return std::string(text, written.ptr);
}

// Opens the decoding of the file numbered so.
using Opener = std::function<std::unique_ptr<DecodedAudio>(std::size_t)>;

// The stretches to measure: each file whole, and a single long file in two halves, each on
// a core, unless it is damaged: a seek past its damage would number the samples after it
// otherwise than players do.
std::vector<Stretch> StretchesOf(const std::vector<std::string>& paths, const Opener& opener,
                                 FileSystem& files) {
    std::vector<Stretch> stretches;
    for (std::size_t file = 0; file < paths.size(); ++file) stretches.emplace_back(file);
    if (paths.size() == 1) {
        try {
            stretches[0].Audio = opener(0);
            const DecodedAudio& audio = *stretches[0].Audio;
            FileInformation info;
            if (audio.Length() >= kLeastHalvedSeconds * audio.Rate() &&
                ScanFrameChain(*files.OpenSource(paths[0]), info).RunFrom >= 0) {
                stretches[0].To = audio.Length() / 2;
                stretches.emplace_back(0, audio.Length() / 2);
            }
        } catch (const FileError& error) {
            stretches[0].Problem = error.Message();
        }
    }
    return stretches;
}

// Measures the stretches, two threads taking one after another; a stretch that cannot be
// measured tells why in its Problem. Throws WorkStopped once both threads have stopped.
void MeasureOnTwoThreads(std::vector<Stretch>& stretches, const Opener& opener,
                         LoudnessMeter& meter, bool truePeak,
                         const std::vector<std::string>& paths) {
    std::atomic<std::size_t> next = 0;
    std::atomic<bool> abandoned = false;
    std::exception_ptr stopped;
    std::mutex lock;
    const auto work = [&] {
        for (std::size_t at; !abandoned && (at = next++) < stretches.size();) {
            Stretch& stretch = stretches[at];
            if (stretch.Problem) continue;
            try {
                Measure(
                    stretch, [&] { return opener(stretch.File); }, meter, truePeak);
            } catch (const FileError& error) {
                stretch.Problem = error.Message();
            } catch (const WorkStopped&) {
                const std::scoped_lock locked(lock);
                stopped = std::current_exception();
                abandoned = true;
            } catch (const std::runtime_error& error) {
                stretch.Problem = CannotMeasure(paths[stretch.File], error);
            }
        }
    };
    {
        const std::jthread second(work);
        work();
    }
    if (stopped) std::rethrow_exception(stopped);
}

}  // namespace

Loudness MeasureStretch(AudioDecoder& decoder, LoudnessMeter& meter, FileSystem& files,
                        const std::string& path, std::int64_t from, std::int64_t to, bool truePeak,
                        std::span<const LevelChange> levels) {
    Stretch stretch(0, from);
    stretch.To = to;
    stretch.Offset = 0;
    const auto open = [&]() -> std::unique_ptr<DecodedAudio> {
        std::unique_ptr<SourceFile> source = files.OpenSource(path);
        if (!levels.empty()) source = LeveledSource(std::move(source), levels);
        return decoder.Open(std::move(source), AudioDecoder::Length::Stated);
    };
    Measure(stretch, open, meter, truePeak);
    const Programme programmes[] = {{stretch.Measure.get()}};
    return meter.Of(programmes);
}

LoudnessReport MeasureLoudness(AudioDecoder& decoder, LoudnessMeter& meter, FileSystem& files,
                               const std::vector<std::string>& paths, bool truePeak) {
    LoudnessReport report;
    for (const std::string& path : paths) report.Files.push_back({path, {}, {}});
    const Opener opener = [&](std::size_t file) {
        return decoder.Open(files.OpenSource(paths[file]), AudioDecoder::Length::Decoded);
    };
    std::vector<Stretch> stretches = StretchesOf(paths, opener, files);
    MeasureOnTwoThreads(stretches, opener, meter, truePeak, paths);
    std::vector<Programme> all;
    for (std::size_t file = 0; file < paths.size(); ++file) {
        Programme own;
        for (const Stretch& stretch : stretches) {
            if (stretch.File != file) continue;
            if (stretch.Problem && !report.Files[file].Problem) {
                report.Files[file].Problem = stretch.Problem;
            }
            own.push_back(stretch.Measure.get());
        }
        if (report.Files[file].Problem) continue;
        try {
            report.Files[file].Measured = meter.Of(std::span(&own, 1));
        } catch (const std::runtime_error& error) {
            report.Files[file].Problem = CannotMeasure(paths[file], error);
            continue;
        }
        all.push_back(std::move(own));
    }
    // The album is left out where a file of it could not be measured.
    if (paths.size() > 1 && all.size() == paths.size()) report.Album = meter.Of(all);
    return report;
}

std::optional<std::vector<UserText>> ReplayGainTexts(const Loudness& track,
                                                     const std::optional<Loudness>& album) {
    std::vector<UserText> texts;
    for (const auto& [measured, gain, peak] :
         {std::tuple{&track, "REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK"},
          std::tuple{album ? &*album : nullptr, "REPLAYGAIN_ALBUM_GAIN",
                     "REPLAYGAIN_ALBUM_PEAK"}}) {
        if (!measured) continue;
        if (!std::isfinite(measured->IntegratedLufs)) return std::nullopt;
        texts.push_back({gain, Fixed(kReplayGainReference - measured->IntegratedLufs, 2) + " dB"});
        texts.push_back({peak, Fixed(measured->Peak, 6)});
    }
    return texts;
}

void WriteUserTexts(FileSystem& files, TagEditor& tags, Reporter& reporter, const std::string& path,
                    const std::vector<UserText>& texts) {
    OutputCommit::Recover(files, reporter, FolderOf(path));
    const std::unique_ptr<SourceFile> source = files.OpenSource(path);
    const SourceTags found = FindTags(*source);
    const std::vector<std::uint8_t> tag = ReadBytes(*source, 0, found.Id3v2Length);
    auto written = tags.WithUserTexts(tag, texts);
    if (!written) {
        Message why = Tr("Loudness", "its ID3v2 tag cannot be read");
        if (const auto unread = tags.Unread()) {
            why = *unread;
        } else if (const auto missing = tags.Unavailable()) {
            why = Message(*missing);
        }
        throw FileError(FileError::Operation::Write, path, why);
    }
    const std::int64_t rest = source->Size() - found.Id3v2Length;
    const OutputPlan plan = {{0, std::int64_t(written->size()), std::move(*written), 0},
                             {found.Id3v2Length, rest, {}, 0}};
    OutputCommit outputs(files, reporter);
    outputs.AddInPlaceOf(path);
    try {
        outputs.Write(0, *source, plan);
        CheckUnchanged(files, *source, Tr("Edit", "the file changed while it was being read"));
        outputs.Commit();
    } catch (const FileError&) {
        reporter.Log(outputs.RollBack(Tr("Loudness", "its tags could not be written")));
        throw;
    } catch (const WorkStopped&) {
        reporter.Log(outputs.RollBack(Tr("Edit", "the work was stopped")));
        throw;
    }
}

}  // namespace quorvel
