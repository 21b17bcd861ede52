#include "engine/SourceAnalysis.h"

#include <cmath>

#include "engine/Numbers.h"

namespace quorvel {
namespace {

constexpr Control kResultFields[] = {
    Control::txtSelectedFileSize, Control::txtSelectedType,   Control::txtSelectedBitRate,
    Control::txtSelectedSampling, Control::txtSelectedFrames, Control::txtSelectedDuration,
};

// A file that could not be analysed leaves no result in the fields that could be taken
// for this file's.
AnalysisOutcome ReportUnreadable(SplitForm& form, const Message& message) {
    for (const auto field : kResultFields) form.SetText(field, std::string());
    form.MessageBox(message);
    form.SetFocus(Control::txtMP3);
    return AnalysisOutcome::Unreadable;
}

}  // namespace

AnalysisOutcome AnalyseSourceFile(SplitForm& form, FileSystem& files, FileInformation& info,
                                  double* seconds, FrameLevels* levels) {
    const std::string path = form.Text(Control::txtMP3);
    info.Run.reset();
    // Nothing to analyse: the log no longer tells of the file analysed before.
    const auto nothing = [&form](const Message& message) {
        form.LogReset(message);
        return ReportUnreadable(form, message);
    };
    if (TrimBlanks(path).empty())
        return nothing(Tr("Analysis", "Please choose a source MP3 file to analyse."));

    std::unique_ptr<SourceFile> source;
    try {
        source = files.OpenSource(path);
    } catch (const FileError& error) {
        return nothing(error.Message());
    } catch (const WorkStopped&) {
        return AnalysisOutcome::Stopped;
    }

    const std::string separator = form.DecimalSeparator();
    form.SetText(Control::txtSelectedFileSize, FormatMegabytes(source->Size(), separator));
    form.LogReset(
        Tr("Analysis", "Analysing chosen file %1... Please wait for a few seconds.").Arg(path));
    form.LogRepaint();

    ScanResult scan;
    try {
        if (levels) levels->Levels.clear();
        scan = ScanFrameChain(*source, info, levels ? &levels->Levels : nullptr);
        if (const auto stamp = source->Stamp(); stamp && scan.RunFrom >= 0) {
            info.Run = FrameRun{*stamp, scan.RunFrom, scan.RunEnd, scan.Frames};
        }
    } catch (const FileError& error) {
        form.LogAppend(error.Message());
        return ReportUnreadable(form, error.Message());
    } catch (const WorkStopped&) {
        for (const auto field : kResultFields) form.SetText(field, std::string());
        form.LogAppend(Tr("Analysis", "Nothing was changed: the analysis was stopped."));
        return AnalysisOutcome::Stopped;
    }
    source.reset();

    if (scan.TotalSeconds > 0) {
        // The stream as its frames have it; a variable bit rate as its average.
        const FileInformation& stream = scan.Stream;
        const std::int64_t bitRate = scan.VariableBitRate
                                         ? std::llround(double(scan.Bytes) * 8 / scan.StreamSeconds)
                                         : stream.BitRate;
        form.SetText(Control::txtSelectedDuration, FormatDuration(scan.TotalSeconds));
        form.SetText(Control::txtSelectedFrames, std::to_string(scan.Frames));
        form.SetText(Control::txtSelectedBitRate, std::to_string(bitRate));
        form.SetText(Control::txtSelectedSampling, std::to_string(stream.SamplingRate));
        form.SetText(Control::txtSelectedType, "MPEG" +
                                                   FormatNumber(stream.MpegVersion, separator) +
                                                   " Layer " + std::to_string(stream.LayerNumber));
    } else {
        for (const auto field : {Control::txtSelectedDuration, Control::txtSelectedFrames,
                                 Control::txtSelectedBitRate, Control::txtSelectedSampling}) {
            form.SetText(field, std::string());
        }
        form.SetText(Control::txtSelectedType, Tr("Analysis", "Unknown"));
        const Message invalid =
            Tr("Analysis", "File selected is not a valid MP3 file. Please select another.");
        form.LogAppend(invalid);
        form.MessageBox(invalid);
        form.SetFocus(Control::txtMP3);
        return AnalysisOutcome::NoFrames;
    }
    if (seconds) *seconds = scan.TotalSeconds;
    if (levels) {
        levels->SamplesPerFrame = scan.Stream.MpegVersion == 1 ? 1152 : 576;
        levels->SamplingRate = scan.Stream.SamplingRate;
    }
    form.LogAppend(Tr("Analysis", "File information updated."));
    return AnalysisOutcome::FramesFound;
}

}  // namespace quorvel
