#include "engine/Split.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "engine/Numbers.h"
#include "engine/OutputNames.h"
#include "engine/SplitPlan.h"
#include "engine/SplitSearch.h"
#include "engine/SplitTime.h"

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

// One of the outputs on its way to its name.
struct PendingOutput {
    std::string Path;
    bool Replacing = false;  // an older entry has the name, and the user let it go
    std::unique_ptr<OutputFile> File;
    bool Committed = false;
};

// Writes an output where no one sees it yet.
void WriteOutput(SplitForm& form, FileSystem& files, PendingOutput& output, SourceFile& source,
                 const OutputPlan& plan) {
    if (output.Replacing) {
        form.LogAppend(Tr("Split", "Moving file %1 to the trash").Arg(output.Path));
        form.LogRepaint();
    }
    form.LogAppend(Tr("Split", "Writing to %1").Arg(output.Path));
    form.LogRepaint();
    output.File = files.CreateOutput(output.Path);
    for (const auto& piece : plan) {
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

// The paths, one after another.
Message Listed(const std::vector<std::string>& paths) {
    std::string list;
    for (const std::string& path : paths) list += (list.empty() ? "" : ", ") + path;
    return list;
}

// The log's last line for a run that did not complete. The outputs that had their names
// already and had none before give them back, so that nothing has changed but what
// replaced an older file.
Message Undo(std::vector<PendingOutput>& outputs, const Message& why) {
    std::vector<std::string> replaced, kept;
    std::optional<Message> problem;
    for (PendingOutput& output : outputs) {
        if (!output.Committed) continue;
        if (output.Replacing) {
            replaced.push_back(output.Path);
            continue;
        }
        try {
            output.File->Withdraw();
        } catch (const FileError& error) {
            kept.push_back(output.Path);
            if (!problem) problem = error.Message();
        }
    }
    if (problem) {
        kept.insert(kept.begin(), replaced.begin(), replaced.end());
        return Tr("Split", "Only %1 was written: %2; %3").Arg(Listed(kept)).Arg(why).Arg(*problem);
    }
    if (!replaced.empty())
        return Tr("Split", "Only %1 was replaced: %2.").Arg(Listed(replaced)).Arg(why);
    return Tr("Split", "Nothing was changed: %1.").Arg(why);
}

// Ends a run whose request cannot be met, as the checks of the boxes do.
SplitOutcome RefuseCut(SplitForm& form, const Message& message) {
    form.LogAppend(message);
    form.LogAppend(Tr("Split", "File splitting aborted."));
    form.MessageBox(message);
    form.SetFocus(Control::txtSplitSecond);
    form.LogScroll();
    return SplitOutcome::Refused;
}

// Why the walk could not cut at every time asked for, where cuts.Problem says it could not.
Message CutRefusal(const SourceCuts& cuts, const CutTimes& asked, const std::string& separator) {
    const auto time = [&](std::int64_t milliseconds) {
        return FormatExactTime(milliseconds, separator);
    };
    switch (cuts.Problem) {
        case CutProblem::NoSafePosition:
            // Among several cuts, the one that found none is worth naming.
            return asked.At.size() > 1
                       ? Tr("Split", "No safe position found for the cut at %1.")
                             .Arg(time(cuts.Times.back()))
                       : Tr("Split", "No safe position found for splitting this file.");
        case CutProblem::SameFrame:
            return Tr("Split", "The cuts at %1 and %2 fall on the same frame.")
                .Arg(time(cuts.OtherTime))
                .Arg(time(cuts.Times.back()));
        case CutProblem::PastEnd:
            return Tr("Split", "The cut at %1 lies at or past the end of the source (%2).")
                .Arg(time(cuts.Times.back()))
                .Arg(time(cuts.LengthMs));
        case CutProblem::AtStart:
        case CutProblem::None:
            break;
    }
    return Tr("Split", "The cut at %1 lies at or before the start of the source.")
        .Arg(time(cuts.Times.back()));
}

// The whole command once the request is checked: search, outputs, seam check, report.
SplitOutcome Run(SplitForm& form, FileSystem& files, TagEditor& tags, AudioDecoder& decoder,
                 FileInformation& info, const PartsRequest& request, SplitResult& made) {
    const std::string sourcePath = form.Text(Control::txtMP3);
    const std::string folder = form.Text(Control::txtToFolder);
    form.LogReset(Tr("Split", "Finding safe point to split file..."));
    form.LogRepaint();

    std::vector<PendingOutput> outputs;
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
        // An analysis of this very file, unchanged since, counted its frames already.
        const FrameRun* counted =
            info.Run && source->Stamp() == info.Run->Stamp ? &*info.Run : nullptr;
        const SourceCuts cuts = FindCuts(*source, request.Times, exact, info, {true, counted});
        const auto time = [&](std::int64_t milliseconds) {
            return FormatExactTime(milliseconds, separator);
        };
        bool late = false;
        for (std::size_t i = 0; i < cuts.Found(); ++i) {
            const std::int64_t milliseconds = cuts.Times[i];
            const auto found = [&](std::int64_t at, std::int64_t frame, double seconds) {
                made.Cuts.push_back({at, frame, seconds});
                form.LogAppend(Tr("Split", "Found safe position to split at byte %1 (frame %2)")
                                   .Arg(at)
                                   .Arg(frame));
            };
            if (exact) {
                const ExactCut& cut = cuts.Cuts[i];
                found(cut.CutAt, cut.FramesBeforeCut, double(cut.Sample) / cut.SamplingRate);
                const std::string sample = FormatCount(cut.Sample, separator);
                if (cut.Gapless) {
                    form.LogAppend(Tr("Split", "Cutting exactly at %1 (sample %2)")
                                       .Arg(time(milliseconds))
                                       .Arg(sample));
                } else {
                    form.LogAppend(Tr("Split",
                                      "Cutting at %1 (sample %2), the frame boundary nearest the "
                                      "time: the source carries no gapless information.")
                                       .Arg(time((cut.Sample * 1000 + cut.SamplingRate / 2) /
                                                 cut.SamplingRate))
                                       .Arg(sample));
                }
                continue;
            }
            const SplitPoint& point = cuts.Points[i];
            found(point.SplitPosition, point.FramesBeforeSplit, point.SplitSeconds);
            // A cut more than a frame after the time given is worth a word: the user hears
            // it.
            const double lateness = point.SplitSeconds - double(milliseconds) / 1000;
            if (!point.Lenders.empty() && lateness > point.Lenders.back().Frame.FrameDuration) {
                form.LogAppend(
                    Tr("Split", "Safe position lies at %1, %2 seconds after the split time.")
                        .Arg(FormatPlayTime(point.SplitSeconds, separator))
                        .Arg(FormatHundredths(lateness, separator)));
                late = true;
            }
        }
        if (late) form.LogAppend(form.ExactSplitHint());
        if (cuts.Problem == CutProblem::NoSafePosition) {
            form.LogAppend(CutRefusal(cuts, request.Times, separator));
            form.LogAppend(Tr("Split", "File splitting aborted."));
            if (!exact && !late) form.LogAppend(form.ExactSplitHint());
            form.LogScroll();
            return SplitOutcome::NoSafePosition;
        }
        if (cuts.Problem != CutProblem::None) {
            return RefuseCut(form, CutRefusal(cuts, request.Times, separator));
        }
        form.LogAppend(Tr("Split", "Beginning to split files now."));
        form.LogRepaint();

        const std::vector<std::string> paths = PartPaths(
            folder, sourcePath, cuts.Parts.size(), request.NamePattern, request.Labels.Titles);
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (std::find(paths.begin(), paths.begin() + std::ptrdiff_t(i), paths[i]) !=
                paths.begin() + std::ptrdiff_t(i)) {
                return RefuseCut(
                    form, Tr("Split", "Two parts would have the same name: %1.").Arg(paths[i]));
            }
        }
        outputs.resize(paths.size());
        std::vector<std::string> existing;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            PendingOutput& output = outputs[i];
            output.Path = paths[i];
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
            if (output.Replacing) existing.push_back(output.Path);
        }
        // One question for all, before anything is written, so that declining it leaves
        // everything as it was.
        const auto count = static_cast<std::int64_t>(existing.size());
        if (count > 0 && !form.Question(TrN("Split",
                                            "Output files %1 already exist. Do you want to "
                                            "replace them?",
                                            "Output file %1 already exists. Do you want to "
                                            "replace?")
                                            .Count(count)
                                            .Arg(Listed(existing)))) {
            form.LogAppend(Tr("Split", "Aborting split file now."));
            form.LogAppend(TrN("Split", "Nothing was changed: %1 were kept.",
                               "Nothing was changed: %1 was kept.")
                               .Count(count)
                               .Arg(Listed(existing)));
            form.LogScroll();
            return SplitOutcome::Declined;
        }

        files.RemoveLeftovers(folder);
        const std::int64_t sharedBlock = files.SharedBlockSize(*source, folder);
        std::vector<std::int64_t> bytes;
        std::int64_t addedFrames = 0, addedBytes = 0;
        // Where the source's audio is one run of whole frames without a length header, its
        // count and the frame rule's parts' (their frames and those added) spare the seam
        // check reading a long file again to count them.
        const bool unbroken = !cuts.Layout.Header && cuts.RunFrames >= 0;
        std::vector<std::int64_t> walked(outputs.size() + 1, -1);
        if (unbroken) walked[0] = cuts.RunFrames;
        std::int64_t framesBefore = 0;
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            // Each part planned as it is written: only one part's tag and added frames are
            // held at a time.
            const PartPlan part = PlanPart(cuts, i, *source, tags, request.Labels, sharedBlock);
            std::int64_t size = 0;
            for (const auto& piece : part.Plan) size += piece.Length;
            bytes.push_back(size);
            if (unbroken && !exact) {
                // The last part's frames are the rest of the source's.
                const std::int64_t own =
                    i + 1 == outputs.size() ? cuts.RunFrames - framesBefore : cuts.Parts[i].Count();
                walked[i + 1] = own + part.AddedFrames;
                framesBefore += own;
            }
            // The exact mode's added frames are silent or played unheard, ahead of the cut;
            // by the frame rule only those that carry borrowed bytes are told of.
            if (exact || (i > 0 && cuts.Points[i - 1].SplitMainDataBegin > 0)) {
                addedFrames += part.AddedFrames;
                addedBytes += part.AddedBytes;
            }
            WriteOutput(form, files, outputs[i], *source, part.Plan);
        }
        if (const auto why = tags.Unavailable()) {
            form.LogAppend(Tr("Split",
                              "The tag library could not be loaded (%1): the tags keep the "
                              "source's length, and a replaced file is removed for good.")
                               .Arg(*why));
        }
        for (auto& output : outputs) NameOutput(form, files, output);
        made.Seams = LogSeamCheck(form, decoder, files, sourcePath, paths, walked);
        made.Paths = paths;
        made.Bytes = bytes;

        std::int64_t written = 0;
        for (const std::int64_t size : bytes) written += size;
        const std::string rule(42, '=');
        form.LogAppend(rule);
        form.LogAppend(Tr("Split", "Source file size      : %1 bytes.").Arg(source->Size()));
        form.LogAppend(Tr("Split", "Total bytes written : %1 bytes.").Arg(written));
        if (addedFrames > 0 && exact) {
            form.LogAppend(TrN("Split",
                               "(added %n new frames of %1 bytes, which gapless players do not "
                               "play)",
                               "(added %n new frame of %1 bytes, which gapless players do not "
                               "play)")
                               .Count(addedFrames)
                               .Arg(addedBytes));
        } else if (addedFrames > 0) {
            form.LogAppend(TrN("Split", "(added %n new frames of %1 bytes to preserve data)",
                               "(added %n new frame of %1 bytes to preserve data)")
                               .Count(addedFrames)
                               .Arg(addedBytes));
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

// Checks the source and the folder named in the form's fields, in order, showing the
// refusal of the first check that fails.
bool ValidatePlaces(SplitForm& form, const FileSystem& files) {
    const std::string source = form.Text(Control::txtMP3);
    const std::string folder = form.Text(Control::txtToFolder);
    if (TrimBlanks(source).empty()) {
        Refuse(form, Tr("Split", "Please choose a source MP3 file to split."), Control::txtMP3);
        return false;
    }
    if (TrimBlanks(folder).empty()) {
        Refuse(form, Tr("Split", "Please enter/choose the destination folder."),
               Control::txtToFolder);
        return false;
    }
    if (!files.EntryExists(folder)) {
        // A folder that may well exist but cannot be looked up is not the user's to create.
        if (const auto problem = files.LookupProblem(folder)) {
            Refuse(form, Tr("Split", "Cannot write to %1: %2.").Arg(folder).Arg(*problem),
                   Control::txtToFolder);
            return false;
        }
        Refuse(form, Tr("Split", "Please create destination folder."), Control::txtToFolder);
        return false;
    }
    if (!files.IsDirectory(folder)) {
        Refuse(form, Tr("Split", "Cannot write to %1: it is a file, not a folder.").Arg(folder),
               Control::txtToFolder);
        return false;
    }
    if (!files.RegularFileExists(source)) {
        Refuse(form, Tr("Split", "Source MP3 file not found"));
        return false;
    }
    return true;
}

}  // namespace

std::optional<std::int64_t> ValidateSplitRequest(SplitForm& form, const FileSystem& files) {
    if (!ValidatePlaces(form, files)) return std::nullopt;

    const std::int64_t splitMilliseconds =
        ReadSplitTime(form.Text(Control::txtSplitMinute), form.Text(Control::txtSplitSecond),
                      form.ExactSplit(), form.DecimalSeparator());
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
    const auto splitMilliseconds = ValidateSplitRequest(form, files);
    if (!splitMilliseconds) return SplitOutcome::Refused;
    return Run(form, files, tags, decoder, info,
               {{{std::chrono::milliseconds(*splitMilliseconds)}}, {}, {}},
               result ? *result : unused);
}

PlannedParts PlanSplitAt(ByteSource& source, std::int64_t milliseconds, bool exact, TagEditor& tags,
                         FileInformation& info, const std::string& separator) {
    const CutTimes asked{{std::chrono::milliseconds(milliseconds)}};
    SourceCuts cuts;
    if (milliseconds <= 0) {
        cuts.Problem = CutProblem::AtStart;
        cuts.Times = {milliseconds};
    } else {
        cuts = FindCuts(source, asked, exact, info);
    }
    if (cuts.Problem != CutProblem::None) return {CutRefusal(cuts, asked, separator), {}, {}};
    return {std::nullopt, PlanPart(cuts, 0, source, tags).Plan,
            PlanPart(cuts, 1, source, tags).Plan};
}

SplitOutcome SplitIntoParts(SplitForm& form, FileSystem& files, TagEditor& tags,
                            AudioDecoder& decoder, FileInformation& info,
                            const PartsRequest& request, SplitResult* result) {
    SplitResult unused;
    if (!ValidatePlaces(form, files)) return SplitOutcome::Refused;
    PartsRequest sorted = request;
    std::sort(sorted.Times.At.begin(), sorted.Times.At.end());
    const auto first =
        sorted.Times.At.empty() ? std::chrono::microseconds(0) : sorted.Times.At.front();
    if (first.count() <= 0) {
        Refuse(form,
               Tr("Split", "The cut at %1 lies at or before the start of the source.")
                   .Arg(FormatExactTime(first.count() / 1000, form.DecimalSeparator())),
               Control::txtSplitSecond);
        return SplitOutcome::Refused;
    }
    return Run(form, files, tags, decoder, info, sorted, result ? *result : unused);
}

}  // namespace quorvel
