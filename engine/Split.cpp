#include "engine/Split.h"

#include <cmath>
#include <limits>

#include "engine/Numbers.h"
#include "platform/FileSystem.h"

namespace quorvel {
namespace {

// Ends a validation step with its message and the focus on the field to correct.
std::nullopt_t Refuse(MainWindow& window, const std::string& message,
                      std::optional<Control> focus = std::nullopt) {
    window.MessageBox(message);
    if (focus) window.SetFocus(*focus);
    return std::nullopt;
}

// The length of the source as the analysis showed it, in seconds: "minutes:seconds".
double DurationSeconds(const std::string& durationText) {
    const auto colon = durationText.find(':');
    if (colon == std::string::npos) return 0;
    return ReadNumber(TrimBlanks(std::string_view(durationText).substr(0, colon))) * 60 +
           ReadNumber(TrimBlanks(std::string_view(durationText).substr(colon + 1)));
}

// Writes one output, asking first when an older one would be replaced. Returns false
// when the user keeps the older one. The older one goes to the trash only once the new
// one is complete, so a failed write leaves it where it was.
bool WriteOutput(MainWindow& window, const std::string& path, const OutputPlan& plan,
                 platform::SourceFile& source) {
    const bool replacing = platform::OrdinaryFileExists(path);
    if (replacing) {
        if (!window.Question("Output file " + path + " already exists. Do you want to replace?")) {
            return false;
        }
        window.LogAppend("Deleting file " + path);
        window.LogRepaint();
    }
    window.LogAppend("Writing to " + path);
    window.LogRepaint();
    platform::OutputFile output(path);
    for (const auto& piece : plan) {
        if (piece.Bytes.empty()) {
            output.CopyFrom(source, piece.SourceOffset, piece.Length);
        } else {
            output.Write(piece.Bytes);
        }
    }
    if (replacing) {
        if (const auto failure = platform::DeleteToTrash(path)) {
            window.MessageBox("Cannot remove " + path + ": " + *failure + ".");
        }
    }
    output.Commit();
    return true;
}

}  // namespace

std::optional<std::int32_t> ValidateSplitRequest(MainWindow& window) {
    const std::string source = window.Text(Control::txtMP3);
    const std::string folder = window.Text(Control::txtToFolder);
    if (TrimBlanks(source).empty()) {
        return Refuse(window, "Please choose a source MP3 file to split.", Control::txtMP3);
    }
    if (TrimBlanks(folder).empty()) {
        return Refuse(window, "Please enter/choose the destination folder.", Control::txtToFolder);
    }
    if (!platform::EntryExists(folder)) {
        return Refuse(window, "Please create destination folder.", Control::txtToFolder);
    }
    if (!platform::IsDirectory(folder)) {
        return Refuse(window, "Cannot write to " + folder + ": it is a file, not a folder.",
                      Control::txtToFolder);
    }
    if (!platform::OrdinaryFileExists(source)) {
        return Refuse(window, "Source MP3 file not found");
    }

    const double seconds = ReadNumber(TrimBlanks(window.Text(Control::txtSplitSecond)));
    const double minutes = ReadNumber(TrimBlanks(window.Text(Control::txtSplitMinute)));
    const double splitTime = minutes * 60 + seconds;
    // A time beyond what 32 bits of seconds can hold is past any source's end.
    const bool representable = std::isfinite(splitTime) &&
                               std::fabs(splitTime) <= std::numeric_limits<std::int32_t>::max();
    const auto splitSeconds = representable ? static_cast<std::int32_t>(std::nearbyint(splitTime))
                                            : std::numeric_limits<std::int32_t>::max();
    const double duration = DurationSeconds(window.Text(Control::txtSelectedDuration));
    if (!representable || splitSeconds <= 0 || duration <= splitSeconds) {
        Refuse(window, "Split time cannot be <= 0 and >= Source duration", Control::txtSplitSecond);
        window.LogScroll();
        return std::nullopt;
    }
    return splitSeconds;
}

SplitOutcome SplitFile(MainWindow& window, FileInformation& info) {
    const auto splitSeconds = ValidateSplitRequest(window);
    if (!splitSeconds) return SplitOutcome::Refused;

    const std::string sourcePath = window.Text(Control::txtMP3);
    const std::string folder = window.Text(Control::txtToFolder);
    window.LogReset("Finding safe point to split file...");
    window.LogRepaint();

    const auto fail = [&](const std::string& message) {
        window.LogAppend(message);
        window.LogAppend("File splitting aborted.");
        window.MessageBox(message);
        window.LogScroll();
        return SplitOutcome::Failed;
    };

    try {
        platform::SourceFile source(sourcePath);
        const SplitPoint point = FindSafeSplitPoint(source, *splitSeconds, info);
        if (point.SplitPosition <= 0) {
            window.LogAppend("No safe position found for splitting this file.");
            window.LogAppend("File splitting aborted.");
            window.LogScroll();
            return SplitOutcome::NoSafePosition;
        }
        window.LogAppend("Found safe position to split at byte " +
                         std::to_string(point.SplitPosition) + " (frame " +
                         std::to_string(point.FramesBeforeSplit) + ")");
        window.LogAppend("Beginning to split files now.");
        window.LogRepaint();

        const std::string stem = folder + "/" + BaseName(sourcePath);
        const std::string first = stem + "1.mp3";
        const std::string second = stem + "2.mp3";
        if (!WriteOutput(window, first, PlanFirstOutput(point), source) ||
            !WriteOutput(window, second, PlanSecondOutput(point, source), source)) {
            window.LogAppend("Aborting split file now.");
            window.LogScroll();
            return SplitOutcome::Declined;
        }

        const auto sizeOf = [](const std::string& path) {
            return platform::FileLength(path).value_or(0);
        };
        const std::string rule(42, '=');
        window.LogAppend(rule);
        window.LogAppend("Source file size      : " + std::to_string(sizeOf(sourcePath)) +
                         " bytes.");
        window.LogAppend("Total bytes written : " + std::to_string(sizeOf(first) + sizeOf(second)) +
                         " bytes.");
        if (point.SplitMainDataBegin > 0) {
            window.LogAppend("(added 1 new frame of " + std::to_string(point.PrevFrameLength) +
                             " bytes to preserve data)");
        }
        window.LogAppend(rule);
        window.LogAppend("MP3 splitting completed.");
        window.LogScroll();
        return SplitOutcome::Completed;
    } catch (const platform::FileError& error) {
        return fail(error.Message());
    }
}

}  // namespace quorvel
