#include "ui/frmEditor/WaveDecoding.h"

#include <algorithm>
#include <limits>

#include "engine/SplitSearch.h"

namespace quorvel::ui {
namespace {

// Blocks decoded at a time: about two seconds, short enough that what is on view is
// soon decoded first, long enough that a seek is rare.
constexpr std::int64_t kChunkBlocks = 64;

// The peak over the channels of each of `frames` sample frames from `at`.
Peak PeakOf(const std::vector<std::int16_t>& samples, std::size_t at, std::size_t frames,
            std::int32_t channels) {
    Peak peak{std::numeric_limits<std::int16_t>::max(), std::numeric_limits<std::int16_t>::min()};
    const std::size_t end = std::min(samples.size(), (at + frames) * std::size_t(channels));
    for (std::size_t i = at * std::size_t(channels); i < end; ++i) {
        peak.Min = std::min(peak.Min, samples[i]);
        peak.Max = std::max(peak.Max, samples[i]);
    }
    return peak.Min > peak.Max ? Peak{} : peak;
}

}  // namespace

WaveDecoding::WaveDecoding(QObject* receiver, Results results, const QString& path,
                           std::int32_t blockSamples, std::int64_t blocks)
    : receiver_(receiver),
      results_(std::move(results)),
      path_(path.toStdString()),
      blockSamples_(blockSamples),
      blocks_(blocks),
      chunkDone_(static_cast<std::size_t>((blocks + kChunkBlocks - 1) / kChunkBlocks)),
      thread_([this] { Run(); }),
      silences_([this] { FindFileSilences(); }) {}

WaveDecoding::~WaveDecoding() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    silences_.join();
}

void WaveDecoding::FindFileSilences() {
    try {
        const auto audio = decoder_.Open(files_.OpenSource(path_), AudioDecoder::Length::Stated);
        // A minute at a time, so that the silences show as they are found, not only once
        // the whole of a long file is decoded.
        SilenceSweep sweep(*audio);
        while (!sweep.Done()) {
            std::vector<Silence> found = sweep.Next(std::int64_t{60} * audio->Rate());
            if (found.empty()) continue;
            QMetaObject::invokeMethod(
                receiver_, [done = results_.Silences, found] { done(found); },
                Qt::QueuedConnection);
        }
    } catch (const FileError&) {
        // The decoding of the blocks meets the same fault and tells it.
    } catch (const WorkStopped&) {
        // The window is going.
    }
}

void WaveDecoding::WantBlocks(std::int64_t first, std::int64_t end) {
    {
        std::lock_guard lock(mutex_);
        wantedFirst_ = first, wantedEnd_ = end;
    }
    wake_.notify_one();
}

void WaveDecoding::WantSamples(std::int64_t from, std::int64_t count) {
    {
        std::lock_guard lock(mutex_);
        wantedSamples_ = {from, count};
    }
    wake_.notify_one();
}

void WaveDecoding::WantCuts(std::int64_t ms) {
    {
        std::lock_guard lock(mutex_);
        wantedCuts_ = ms;
    }
    wake_.notify_one();
}

void WaveDecoding::DecodeChunk(DecodedAudio& audio, std::int64_t chunk) {
    chunkDone_[static_cast<std::size_t>(chunk)] = true;
    const std::int64_t first = chunk * kChunkBlocks;
    const std::int64_t count = std::min(kChunkBlocks, blocks_ - first);
    const auto samples = audio.Read(first * blockSamples_, count * blockSamples_);
    std::vector<Peak> peaks(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        peaks[i] = PeakOf(samples, i * std::size_t(blockSamples_), std::size_t(blockSamples_),
                          audio.Channels());
    }
    QMetaObject::invokeMethod(
        receiver_, [done = results_.Blocks, first, peaks] { done(first, peaks); },
        Qt::QueuedConnection);
}

void WaveDecoding::Run() {
    try {
        auto audio = decoder_.Open(files_.OpenSource(path_), AudioDecoder::Length::Stated);
        for (;;) {
            std::optional<std::pair<std::int64_t, std::int64_t>> samples;
            std::optional<std::int64_t> cuts;
            std::int64_t wantedFirst = 0, wantedEnd = 0;
            {
                std::unique_lock lock(mutex_);
                const auto swept = [this] {
                    return std::find(chunkDone_.begin() + sweep_, chunkDone_.end(), false) ==
                           chunkDone_.end();
                };
                wake_.wait(lock,
                           [&] { return stopping_ || wantedSamples_ || wantedCuts_ || !swept(); });
                if (stopping_) return;
                samples = std::exchange(wantedSamples_, std::nullopt);
                cuts = std::exchange(wantedCuts_, std::nullopt);
                wantedFirst = wantedFirst_, wantedEnd = wantedEnd_;
            }
            if (cuts) {
                CutMarks marks{*cuts, {}, {}};
                FileInformation info;
                const auto source = files_.OpenSource(path_);
                const CutTimes times{{std::chrono::milliseconds(*cuts)}};
                const auto exact = FindCuts(*source, times, true, info);
                const auto safe = FindCuts(*source, times, false, info);
                if (exact.Found() == 1) {
                    const Cut& cut = exact.Cuts.front();
                    marks.Exact = cut.Sample;
                    if (safe.Found() == 1) {
                        // The frame rule counts frames from the source's first, the header
                        // frame too; the played samples start after it and the delays.
                        const std::int64_t headerFrames = cut.FramesBefore - cut.CutFrame;
                        marks.SafeFrame =
                            (safe.Cuts.front().FramesBefore - headerFrames) * cut.SamplesPerFrame -
                            (cut.FrameSample() - cut.Sample);
                    }
                }
                QMetaObject::invokeMethod(
                    receiver_, [done = results_.Cuts, marks] { done(marks); },
                    Qt::QueuedConnection);
                continue;
            }
            if (samples) {
                const auto decoded = audio->Read(samples->first, samples->second);
                std::vector<Peak> peaks(decoded.size() / std::size_t(audio->Channels()));
                for (std::size_t i = 0; i < peaks.size(); ++i) {
                    peaks[i] = PeakOf(decoded, i, 1, audio->Channels());
                }
                QMetaObject::invokeMethod(
                    receiver_,
                    [done = results_.Samples, from = samples->first, peaks] { done(from, peaks); },
                    Qt::QueuedConnection);
                continue;
            }
            // What is on view first, then the file from its start.
            std::int64_t chunk = -1;
            for (std::int64_t c = std::max<std::int64_t>(0, wantedFirst / kChunkBlocks);
                 c * kChunkBlocks < std::min(wantedEnd, blocks_); ++c) {
                if (!chunkDone_[static_cast<std::size_t>(c)]) {
                    chunk = c;
                    break;
                }
            }
            if (chunk < 0) {
                while (chunkDone_[static_cast<std::size_t>(sweep_)]) ++sweep_;
                chunk = sweep_;
            }
            DecodeChunk(*audio, chunk);
        }
    } catch (const FileError& error) {
        QMetaObject::invokeMethod(
            receiver_, [done = results_.Failed, why = error.Message()] { done(why); },
            Qt::QueuedConnection);
    } catch (const WorkStopped&) {
        // The window is going: nothing is left to tell.
    }
}

}  // namespace quorvel::ui
