#include "engine/Split.h"

#include <cmath>
#include <limits>

#include "engine/Numbers.h"
#include "engine/SplitPlan.h"

namespace quorvel {
namespace {

// Ends a validation step with its message and the focus on the field to correct.
std::nullopt_t Refuse(SplitForm& form, const std::string& message,
                      std::optional<Control> focus = std::nullopt) {
    form.MessageBox(message);
    if (focus) form.SetFocus(*focus);
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
bool WriteOutput(SplitForm& form, FileSystem& files, const std::string& path,
                 const OutputPlan& plan, SourceFile& source, std::string& kept) {
    const bool replacing = files.OrdinaryFileExists(path);
    // A name taken by nothing the user can see (a dot name, a folder's link) is taken as
    // it is; one that appears while the output is written is not.
    const bool taken = files.NameTaken(path);
    if (replacing) {
        if (!form.Question("Output file " + path + " already exists. Do you want to replace?")) {
            return false;
        }
        form.LogAppend("Deleting file " + path);
        form.LogRepaint();
        // Until the new output is complete the older one stays: a failure keeps it.
        kept = path;
    }
    form.LogAppend("Writing to " + path);
    form.LogRepaint();
    const auto output = files.CreateOutput(path);
    for (const auto& piece : plan) {
        if (piece.Bytes.empty()) {
            output->CopyFrom(source, piece.SourceOffset, piece.Length);
        } else {
            output->Write(piece.Bytes);
        }
    }
    if (replacing) {
        const Removal removal = files.MoveToTrash(path);
        if (removal.Result != Removal::Outcome::Kept) kept.clear();
        if (removal.Result == Removal::Outcome::RemovedForGood) {
            form.LogAppend("The trash could not take " + path + " (" + removal.Reason +
                           "): it was removed for good.");
        } else if (removal.Result == Removal::Outcome::Kept) {
            form.MessageBox("Cannot remove " + path + ": " + removal.Reason + ".");
        }
    }
    output->Commit(taken);
    kept.clear();
    return true;
}

}  // namespace

std::optional<std::int32_t> ValidateSplitRequest(SplitForm& form, const FileSystem& files) {
    const std::string source = form.Text(Control::txtMP3);
    const std::string folder = form.Text(Control::txtToFolder);
    if (TrimBlanks(source).empty()) {
        return Refuse(form, "Please choose a source MP3 file to split.", Control::txtMP3);
    }
    if (TrimBlanks(folder).empty()) {
        return Refuse(form, "Please enter/choose the destination folder.", Control::txtToFolder);
    }
    if (!files.EntryExists(folder)) {
        return Refuse(form, "Please create destination folder.", Control::txtToFolder);
    }
    if (!files.IsDirectory(folder)) {
        return Refuse(form, "Cannot write to " + folder + ": it is a file, not a folder.",
                      Control::txtToFolder);
    }
    if (!files.OrdinaryFileExists(source)) {
        return Refuse(form, "Source MP3 file not found");
    }

    const double seconds = ReadNumber(TrimBlanks(form.Text(Control::txtSplitSecond)));
    const double minutes = ReadNumber(TrimBlanks(form.Text(Control::txtSplitMinute)));
    const double splitTime = minutes * 60 + seconds;
    // A time beyond what 32 bits of seconds can hold is past any source's end.
    const bool representable = std::isfinite(splitTime) &&
                               std::fabs(splitTime) <= std::numeric_limits<std::int32_t>::max();
    const auto splitSeconds = representable ? static_cast<std::int32_t>(std::nearbyint(splitTime))
                                            : std::numeric_limits<std::int32_t>::max();
    const double duration = DurationSeconds(form.Text(Control::txtSelectedDuration));
    if (!representable || splitSeconds <= 0 || duration <= splitSeconds) {
        Refuse(form, "Split time cannot be <= 0 and >= Source duration", Control::txtSplitSecond);
        form.LogScroll();
        return std::nullopt;
    }
    return splitSeconds;
}

SplitOutcome SplitFile(SplitForm& form, FileSystem& files, TagEditor& tags, FileInformation& info) {
    const auto splitSeconds = ValidateSplitRequest(form, files);
    if (!splitSeconds) return SplitOutcome::Refused;

    const std::string sourcePath = form.Text(Control::txtMP3);
    const std::string folder = form.Text(Control::txtToFolder);
    form.LogReset("Finding safe point to split file...");
    form.LogRepaint();

    // An older output logged as deleted that a failure left in place.
    std::string kept;
    const auto fail = [&](const std::string& message) {
        form.LogAppend(message);
        if (!kept.empty()) form.LogAppend("File " + kept + " was kept.");
        form.LogAppend("File splitting aborted.");
        form.MessageBox(message);
        form.LogScroll();
        return SplitOutcome::Failed;
    };

    try {
        const auto source = files.OpenSource(sourcePath);
        const bool exact = form.ExactSplit();
        const SplitPoint point = exact ? FindExactSplitPoint(*source, *splitSeconds, info)
                                       : FindSafeSplitPoint(*source, *splitSeconds, info);
        if (point.SplitPosition <= 0) {
            form.LogAppend("No safe position found for splitting this file.");
            form.LogAppend("File splitting aborted.");
            if (!exact) form.LogAppend(form.ExactSplitHint());
            form.LogScroll();
            return SplitOutcome::NoSafePosition;
        }
        form.LogAppend("Found safe position to split at byte " +
                       std::to_string(point.SplitPosition) + " (frame " +
                       std::to_string(point.FramesBeforeSplit) + ")");
        // A cut more than a frame after the time given is worth a word: the user hears it.
        const double late = point.SplitSeconds - *splitSeconds;
        if (!exact && !point.Lenders.empty() && late > point.Lenders.back().Frame.FrameDuration) {
            const std::string separator = form.DecimalSeparator();
            form.LogAppend("Safe position lies at " +
                           FormatPlayTime(point.SplitSeconds, separator) + ", " +
                           FormatHundredths(late, separator) + " seconds after the split time.");
            form.LogAppend(form.ExactSplitHint());
        }
        form.LogAppend("Beginning to split files now.");
        form.LogRepaint();

        // A folder text that ends in "/" (as the folder browser gives it) takes no second.
        const std::string stem = folder + (folder.ends_with('/') ? "" : "/") + BaseName(sourcePath);
        const std::string first = stem + "1.mp3";
        const std::string second = stem + "2.mp3";
        // The source itself, under an output's name or through a link, is never written.
        for (const std::string& output : {first, second}) {
            if (files.SameFile(output, sourcePath)) {
                return fail(FileError(FileError::Operation::Write, output,
                                      "it is the source file " + sourcePath)
                                .Message());
            }
        }
        const OutputPlans plans = PlanOutputs(point, *source, tags);
        if (!WriteOutput(form, files, first, plans.First, *source, kept) ||
            !WriteOutput(form, files, second, plans.Second, *source, kept)) {
            form.LogAppend("Aborting split file now.");
            form.LogScroll();
            return SplitOutcome::Declined;
        }

        const auto sizeOf = [&](const std::string& path) {
            return files.FileLength(path).value_or(0);
        };
        const std::string rule(42, '=');
        form.LogAppend(rule);
        form.LogAppend("Source file size      : " + std::to_string(sizeOf(sourcePath)) + " bytes.");
        form.LogAppend("Total bytes written : " + std::to_string(sizeOf(first) + sizeOf(second)) +
                       " bytes.");
        if (point.SplitMainDataBegin > 0) {
            const std::string frames = plans.AddedFrames == 1
                                           ? "1 new frame"
                                           : std::to_string(plans.AddedFrames) + " new frames";
            form.LogAppend("(added " + frames + " of " + std::to_string(plans.AddedBytes) +
                           " bytes to preserve data)");
        }
        form.LogAppend(rule);
        form.LogAppend("MP3 splitting completed.");
        form.LogScroll();
        return SplitOutcome::Completed;
    } catch (const FileError& error) {
        return fail(error.Message());
    }
}

}  // namespace quorvel
