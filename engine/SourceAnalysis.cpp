#include "engine/SourceAnalysis.h"

#include "engine/Numbers.h"
#include "platform/FileSystem.h"

namespace quorvel {
namespace {

constexpr Control kResultFields[] = {
    Control::txtSelectedFileSize, Control::txtSelectedType,   Control::txtSelectedBitRate,
    Control::txtSelectedSampling, Control::txtSelectedFrames, Control::txtSelectedDuration,
};

// A file that could not be analysed leaves no result in the fields that could be
// taken for this file's.
AnalysisOutcome ReportUnreadable(MainWindow& window, const std::string& message) {
    for (const auto field : kResultFields) window.SetText(field, "");
    window.MessageBox(message);
    window.SetFocus(Control::txtMP3);
    return AnalysisOutcome::Unreadable;
}

}  // namespace

AnalysisOutcome AnalyseSourceFile(MainWindow& window, FileInformation& info) {
    const std::string path = window.Text(Control::txtMP3);
    if (TrimBlanks(path).empty()) {
        return ReportUnreadable(window, "Please choose a source MP3 file to analyse.");
    }

    std::optional<platform::SourceFile> source;
    try {
        source.emplace(path);
    } catch (const platform::FileError& error) {
        return ReportUnreadable(window, error.Message());
    }

    const std::string separator = window.DecimalSeparator();
    window.SetText(Control::txtSelectedFileSize, FormatMegabytes(source->Size(), separator));
    window.LogReset("Analysing chosen file " + path + "... Please wait for a few seconds.");
    window.LogRepaint();

    ScanResult scan;
    try {
        scan = ScanFrameChain(*source, info);
    } catch (const platform::FileError& error) {
        window.LogAppend(error.Message());
        return ReportUnreadable(window, error.Message());
    }
    source.reset();

    AnalysisOutcome outcome = AnalysisOutcome::FramesFound;
    if (scan.TotalSeconds > 0) {
        window.SetText(Control::txtSelectedDuration, FormatDuration(scan.TotalSeconds));
        window.SetText(Control::txtSelectedFrames, std::to_string(scan.Frames));
        window.SetText(Control::txtSelectedBitRate, std::to_string(info.BitRate));
        window.SetText(Control::txtSelectedSampling, std::to_string(info.SamplingRate));
        window.SetText(Control::txtSelectedType, "MPEG" +
                                                     FormatNumber(info.MpegVersion, separator) +
                                                     " Layer " + std::to_string(info.LayerNumber));
    } else {
        for (const auto field : {Control::txtSelectedDuration, Control::txtSelectedFrames,
                                 Control::txtSelectedBitRate, Control::txtSelectedSampling}) {
            window.SetText(field, "");
        }
        window.SetText(Control::txtSelectedType, "Unknown");
        window.MessageBox("File selected is not a valid MP3 file. Please select another.");
        window.SetFocus(Control::txtMP3);
        outcome = AnalysisOutcome::NoFrames;
    }
    window.LogAppend("File information updated.");
    return outcome;
}

}  // namespace quorvel
