// Prints, in milliseconds, the medians of a few runs on the MP3 named: the scan of the
// analysis without and with the frames' levels, the whole file's overview drawn from
// those levels, and a minute decoded as the window decodes it at full zoom (single
// samples) and drawn there, one frame across.
// Run offscreen; the decoding module must lie beside the program, as in the build folder.

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "engine/FrameChain.h"
#include "engine/SourceAnalysis.h"
#include "platform/LocalFileSystem.h"
#include "platform/Mpg123Decoder.h"
#include "ui/frmEditor/WaveView.h"

using namespace quorvel;

namespace {

constexpr int kRuns = 7;
constexpr int kWidth = 1600, kHeight = 300;

template <typename Measured>
double MedianMs(Measured&& measured) {
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        measured();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s MP3\n", argv[0]);
        return 2;
    }
    platform::LocalFileSystem files;
    FrameLevels levels;
    const auto scan = [&](bool withLevels) {
        FileInformation info;
        levels.Levels.clear();
        const ScanResult result =
            ScanFrameChain(*files.OpenSource(argv[1]), info, withLevels ? &levels.Levels : nullptr);
        levels.SamplesPerFrame = result.Stream.MpegVersion == 1 ? 1152 : 576;
        levels.SamplingRate = result.Stream.SamplingRate;
    };
    // The scans without and with the levels take turns, so that a machine busy with other
    // work slows both alike.
    std::vector<double> plainTimes, levelTimes;
    for (int run = 0; run < kRuns; ++run) {
        for (const bool withLevels : {false, true}) {
            QElapsedTimer timer;
            timer.start();
            scan(withLevels);
            (withLevels ? levelTimes : plainTimes).push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    std::sort(plainTimes.begin(), plainTimes.end());
    std::sort(levelTimes.begin(), levelTimes.end());
    const double plain = plainTimes[kRuns / 2], withLevels = levelTimes[kRuns / 2];
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    const double overview = MedianMs([&] {
        ui::WaveView view(levels);
        view.resize(kWidth, kHeight);
        view.render(&image);
    });

    // A minute from the middle, as the window asks for it: single samples, their peaks over
    // the channels, drawn at full zoom in its middle.
    platform::Mpg123Decoder decoder(platform::Mpg123Decoder::Seeking::Near);  // as the window
    auto audio = decoder.Open(files.OpenSource(argv[1]), AudioDecoder::Length::Stated);
    ui::WaveView view(levels);
    view.resize(kWidth, kHeight);
    const std::int64_t minute = std::int64_t{60} * audio->Rate();
    std::int64_t from = audio->Length() / 2;
    const double span = MedianMs([&] {
        from += minute;  // another minute each run, never one decoded before
        const auto samples = audio->Read(from, minute);
        const auto channels = static_cast<std::size_t>(audio->Channels());
        std::vector<ui::Peak> peaks(samples.size() / channels);
        for (std::size_t i = 0; i < peaks.size(); ++i) {
            const auto first = samples.begin() + std::ptrdiff_t(i * channels);
            const auto [low, high] = std::minmax_element(first, first + std::ptrdiff_t(channels));
            peaks[i] = {*low, *high};
        }
        view.SetSamples(from, std::move(peaks));
        view.Zoom(double(minute), 0);  // as far in as it goes: one frame across
        view.ScrollTo(double(from + minute / 2));
        view.render(&image);
    });
    std::printf("%.1f %.1f %.1f %.1f\n", plain, withLevels, overview, span);
    return 0;
}
