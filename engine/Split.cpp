#include "engine/Split.h"

#include <array>
#include <cmath>
#include <limits>

#include "engine/Numbers.h"
#include "engine/OutputNames.h"
#include "engine/SplitPlan.h"
#include "engine/SplitSearch.h"

namespace quorvel {
namespace {

// Ends a validation step with its message and the focus on the field to correct.
std::nullopt_t Refuse(SplitForm& form, const Message& message,
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

// One of the two outputs on its way to its name.
struct PendingOutput {
    std::string Path;
    const OutputPlan* Plan = nullptr;
    bool Replacing = false;  // an older entry has the name, and the user let it go
    std::unique_ptr<OutputFile> File;
    bool Committed = false;
};

// Writes an output where no one sees it yet.
void WriteOutput(SplitForm& form, FileSystem& files, PendingOutput& output, SourceFile& source) {
    if (output.Replacing) {
        form.LogAppend(Tr("Split", "Moving file %1 to the trash").Arg(output.Path));
        form.LogRepaint();
    }
    form.LogAppend(Tr("Split", "Writing to %1").Arg(output.Path));
    form.LogRepaint();
    output.File = files.CreateOutput(output.Path);
    for (const auto& piece : *output.Plan) {
        if (piece.Bytes.empty()) {
            output.File->CopyFrom(source, piece.SourceOffset, piece.Length);
        } else {
            output.File->Write(piece.Bytes);
        }
    }
}

// Gives a complete output its name. An older entry goes to the trash first, the new
// output already beside it under a hidden name; where no trash can take it, the new
// output takes its place in one step. Either way the name never stands empty.
void NameOutput(SplitForm& form, FileSystem& files, PendingOutput& output) {
    output.File->Stage();
    bool replace = false;
    if (output.Replacing) {
        if (const auto refused = files.MoveToTrash(output.Path)) {
            form.LogAppend(
                *DescribeRemoval(output.Path, {Removal::Outcome::RemovedForGood, *refused}));
            replace = true;
        }
    }
    output.File->Commit(replace);
    output.Committed = true;
}

// The log's last line for a run that did not complete. Where the first output had its
// name already and had none before, it gives it back, so that nothing has changed.
Message Undo(std::array<PendingOutput, 2>& outputs, const Message& why) {
    PendingOutput& first = outputs[0];
    if (first.Committed && !outputs[1].Committed) {
        if (first.Replacing)
            return Tr("Split", "Only %1 was replaced: %2.").Arg(first.Path).Arg(why);
        try {
            first.File->Withdraw();
        } catch (const FileError& error) {
            return Tr("Split", "Only %1 was written: %2; %3")
                .Arg(first.Path)
                .Arg(why)
                .Arg(error.Message());
        }
    }
    return Tr("Split", "Nothing was changed: %1.").Arg(why);
}

}  // namespace

std::optional<std::int64_t> ValidateSplitRequest(SplitForm& form, const FileSystem& files) {
    const std::string source = form.Text(Control::txtMP3);
    const std::string folder = form.Text(Control::txtToFolder);
    if (TrimBlanks(source).empty()) {
        return Refuse(form, Tr("Split", "Please choose a source MP3 file to split."),
                      Control::txtMP3);
    }
    if (TrimBlanks(folder).empty()) {
        return Refuse(form, Tr("Split", "Please enter/choose the destination folder."),
                      Control::txtToFolder);
    }
    if (!files.EntryExists(folder)) {
        // A folder that may well exist but cannot be looked up is not the user's to create.
        if (const auto problem = files.LookupProblem(folder)) {
            return Refuse(form, Tr("Split", "Cannot write to %1: %2.").Arg(folder).Arg(*problem),
                          Control::txtToFolder);
        }
        return Refuse(form, Tr("Split", "Please create destination folder."), Control::txtToFolder);
    }
    if (!files.IsDirectory(folder)) {
        return Refuse(form,
                      Tr("Split", "Cannot write to %1: it is a file, not a folder.").Arg(folder),
                      Control::txtToFolder);
    }
    if (!files.RegularFileExists(source)) {
        return Refuse(form, Tr("Split", "Source MP3 file not found"));
    }

    // The exact mode reads the second to the millisecond, after the user's decimal
    // separator or a point; the frame rule to the whole second.
    const bool exact = form.ExactSplit();
    std::string secondText(TrimBlanks(form.Text(Control::txtSplitSecond)));
    const std::string separator = form.DecimalSeparator();
    if (const auto at = secondText.find(separator);
        exact && !separator.empty() && at != 0 && at != std::string::npos) {
        secondText = secondText.substr(0, at) + '.' + secondText.substr(at + separator.size());
    }
    const double seconds = ReadNumber(secondText);
    const double minutes = ReadNumber(TrimBlanks(form.Text(Control::txtSplitMinute)));
    const double splitTime = minutes * 60 + seconds;
    // A time beyond what 32 bits of seconds can hold is past any source's end.
    const bool representable = std::isfinite(splitTime) &&
                               std::fabs(splitTime) <= std::numeric_limits<std::int32_t>::max();
    const std::int64_t splitMilliseconds =
        !representable ? std::int64_t{std::numeric_limits<std::int32_t>::max()} * 1000
        : exact        ? std::llround(splitTime * 1000)
                       : std::llround(std::nearbyint(splitTime)) * 1000;
    const double duration = DurationSeconds(form.Text(Control::txtSelectedDuration));
    if (splitMilliseconds <= 0 || duration * 1000 <= double(splitMilliseconds)) {
        Refuse(form, Tr("Split", "Split time cannot be <= 0 and >= Source duration"),
               Control::txtSplitSecond);
        form.LogScroll();
        return std::nullopt;
    }
    return splitMilliseconds;
}

SplitOutcome SplitFile(SplitForm& form, FileSystem& files, TagEditor& tags, AudioDecoder& decoder,
                       FileInformation& info, SplitResult* result) {
    SplitResult unused;
    SplitResult& made = result ? *result : unused;
    const auto splitMilliseconds = ValidateSplitRequest(form, files);
    if (!splitMilliseconds) return SplitOutcome::Refused;

    const std::string sourcePath = form.Text(Control::txtMP3);
    const std::string folder = form.Text(Control::txtToFolder);
    form.LogReset(Tr("Split", "Finding safe point to split file..."));
    form.LogRepaint();

    std::array<PendingOutput, 2> outputs;
    const auto fail = [&](const Message& message) {
        form.LogAppend(message);
        form.LogAppend(Tr("Split", "File splitting aborted."));
        form.LogAppend(Undo(outputs, Tr("Split", "the split failed")));
        form.MessageBox(message);
        form.LogScroll();
        return SplitOutcome::Failed;
    };

    try {
        const auto source = files.OpenSource(sourcePath);
        const bool exact = form.ExactSplit();
        const std::string separator = form.DecimalSeparator();
        const auto found = [&](std::int64_t at, std::int64_t frame, double seconds) {
            made.CutByte = at;
            made.CutFrame = frame;
            made.CutSeconds = seconds;
            form.LogAppend(Tr("Split", "Found safe position to split at byte %1 (frame %2)")
                               .Arg(at)
                               .Arg(frame));
        };
        SplitPoint point;
        std::optional<ExactCut> cut;
        if (exact) {
            cut = FindExactCut(*source, *splitMilliseconds, info);
            if (cut->CutAt > 0) {
                found(cut->CutAt, cut->FramesBeforeCut, double(cut->Sample) / cut->SamplingRate);
                const std::string sample = FormatCount(cut->Sample, separator);
                if (cut->Gapless) {
                    form.LogAppend(Tr("Split", "Cutting exactly at %1 (sample %2)")
                                       .Arg(FormatExactTime(*splitMilliseconds, separator))
                                       .Arg(sample));
                } else {
                    const std::int64_t at =
                        (cut->Sample * 1000 + cut->SamplingRate / 2) / cut->SamplingRate;
                    form.LogAppend(Tr("Split",
                                      "Cutting at %1 (sample %2), the frame boundary nearest the "
                                      "time: the source carries no gapless information.")
                                       .Arg(FormatExactTime(at, separator))
                                       .Arg(sample));
                }
            }
        } else {
            const auto splitSeconds = static_cast<std::int32_t>(*splitMilliseconds / 1000);
            point = FindSafeSplitPoint(*source, splitSeconds, info);
            if (point.SplitPosition > 0) {
                found(point.SplitPosition, point.FramesBeforeSplit, point.SplitSeconds);
                // A cut more than a frame after the time given is worth a word: the user
                // hears it.
                const double late = point.SplitSeconds - splitSeconds;
                if (!point.Lenders.empty() && late > point.Lenders.back().Frame.FrameDuration) {
                    form.LogAppend(
                        Tr("Split", "Safe position lies at %1, %2 seconds after the split time.")
                            .Arg(FormatPlayTime(point.SplitSeconds, separator))
                            .Arg(FormatHundredths(late, separator)));
                    form.LogAppend(form.ExactSplitHint());
                }
            }
        }
        if (cut ? cut->CutAt <= 0 : point.SplitPosition <= 0) {
            form.LogAppend(Tr("Split", "No safe position found for splitting this file."));
            form.LogAppend(Tr("Split", "File splitting aborted."));
            if (!exact) form.LogAppend(form.ExactSplitHint());
            form.LogScroll();
            return SplitOutcome::NoSafePosition;
        }
        form.LogAppend(Tr("Split", "Beginning to split files now."));
        form.LogRepaint();

        const auto paths = OutputPaths(folder, sourcePath);
        outputs[0].Path = paths[0];
        outputs[1].Path = paths[1];
        for (auto& output : outputs) {
            // The source itself, under an output's name or through a link, is never written.
            if (files.SameFile(output.Path, sourcePath)) {
                return fail(FileError(FileError::Operation::Write, output.Path,
                                      Tr("Split", "it is the source file %1").Arg(sourcePath))
                                .Message());
            }
            // A folder is no older output: it is not the user's to lose by a split.
            const Entry entry = files.EntryAt(output.Path);
            if (entry == Entry::Folder) {
                return fail(FileError(FileError::Operation::Write, output.Path,
                                      Tr("Split", "it is a folder"))
                                .Message());
            }
            output.Replacing = entry == Entry::Other;
        }
        // Both questions come before anything is written, so that declining either one
        // leaves everything as it was.
        for (const auto& output : outputs) {
            if (output.Replacing &&
                !form.Question(Tr("Split", "Output file %1 already exists. Do you want to replace?")
                                   .Arg(output.Path))) {
                form.LogAppend(Tr("Split", "Aborting split file now."));
                form.LogAppend(Tr("Split", "Nothing was changed: %1 was kept.").Arg(output.Path));
                form.LogScroll();
                return SplitOutcome::Declined;
            }
        }

        files.RemoveLeftovers(folder);
        const OutputPlans plans =
            cut ? PlanExactOutputs(*cut, *source, tags) : PlanOutputs(point, *source, tags);
        outputs[0].Plan = &plans.First;
        outputs[1].Plan = &plans.Second;
        for (auto& output : outputs) WriteOutput(form, files, output, *source);
        if (const auto why = tags.Unavailable()) {
            form.LogAppend(Tr("Split",
                              "The tag library could not be loaded (%1): the tags keep the "
                              "source's length, and a replaced file is removed for good.")
                               .Arg(*why));
        }
        for (auto& output : outputs) NameOutput(form, files, output);
        made.Seam =
            LogSeamCheck(form, decoder, files, sourcePath, outputs[0].Path, outputs[1].Path);

        const auto sizeOf = [](const OutputPlan& plan) {
            std::int64_t size = 0;
            for (const auto& piece : plan) size += piece.Length;
            return size;
        };
        made.Paths = {outputs[0].Path, outputs[1].Path};
        made.Bytes = {sizeOf(plans.First), sizeOf(plans.Second)};
        const std::string rule(42, '=');
        form.LogAppend(rule);
        form.LogAppend(Tr("Split", "Source file size      : %1 bytes.").Arg(source->Size()));
        form.LogAppend(
            Tr("Split", "Total bytes written : %1 bytes.").Arg(made.Bytes[0] + made.Bytes[1]));
        if (plans.AddedFrames > 0 && cut) {
            // The exact mode's added frames are silent or played unheard, ahead of the cut.
            form.LogAppend(TrN("Split",
                               "(added %n new frames of %1 bytes, which gapless players do not "
                               "play)",
                               "(added %n new frame of %1 bytes, which gapless players do not "
                               "play)")
                               .Count(plans.AddedFrames)
                               .Arg(plans.AddedBytes));
        } else if (plans.AddedFrames > 0 && point.SplitMainDataBegin > 0) {
            form.LogAppend(TrN("Split", "(added %n new frames of %1 bytes to preserve data)",
                               "(added %n new frame of %1 bytes to preserve data)")
                               .Count(plans.AddedFrames)
                               .Arg(plans.AddedBytes));
        }
        form.LogAppend(rule);
        form.LogAppend(Tr("Split", "MP3 splitting completed."));
        form.LogScroll();
        return SplitOutcome::Completed;
    } catch (const FileError& error) {
        return fail(error.Message());
    } catch (const WorkStopped&) {
        form.LogAppend(Undo(outputs, Tr("Split", "the split was stopped")));
        form.LogScroll();
        return SplitOutcome::Stopped;
    }
}

}  // namespace quorvel
