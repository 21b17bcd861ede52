#include "engine/Split.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <future>
#include <limits>
#include <optional>
#include <vector>

#include "engine/AddedFrames.h"
#include "engine/Gain.h"
#include "engine/Numbers.h"
#include "engine/OutputCommit.h"
#include "engine/OutputNames.h"
#include "engine/SeamCheck.h"
#include "engine/SplitPlan.h"
#include "engine/SplitSearch.h"
#include "engine/SplitTime.h"
#include "engine/Tags.h"

namespace quorvel {
namespace {

// A request refused before anything is read or written.
SplitReport Refused(const Message& text, Field about, bool scroll = false) {
    SplitReport report;
    report.Problem = Refusal{text, about};
    report.Scroll = scroll;
    return report;
}

// Ends a run whose request cannot be met once the source was read, as the checks do.
SplitReport RefuseCut(Reporter& reporter, const Message& message, SplitReport report,
                      Field about = Field::Time) {
    reporter.Log(message);
    reporter.Log(Tr("Split", "File splitting aborted."));
    report.Outcome = SplitOutcome::Refused;
    report.Problem = Refusal{message, about};
    report.Scroll = true;
    return report;
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
        case CutProblem::FramesTooShort:
            return Tr("Split",
                      "The cut at %1 cannot be made exactly: the frames of this free-format "
                      "stream, %2 bytes long, are too short to carry what the part after it "
                      "needs from before the cut.")
                .Arg(time(cuts.Times.back()))
                .Arg(cuts.Layout.FreeFormatLength);
        case CutProblem::SingleFrame:
            return Tr("Split",
                      "The cut at %1 leaves a part of a single frame, which players cannot open.")
                .Arg(time(cuts.Times.back()));
        case CutProblem::AtStart:
        case CutProblem::None:
            break;
    }
    return Tr("Split", "The cut at %1 lies at or before the start of the source.")
        .Arg(time(cuts.Times.back()));
}

// A cut the search found that cannot be made: why, and the times up to the one it concerns.
struct Unmade {
    CutProblem Problem;
    std::size_t Times;
};

// `cuts` with the cut that cannot be made refused, and the times after it left out.
void Refuse(SourceCuts& cuts, const Unmade& unmade) {
    cuts.Problem = unmade.Problem;
    cuts.Times.resize(unmade.Times);
}

// The first exact cut whose frames of its own the stream's frames cannot hold.
std::optional<Unmade> UnfitCut(ByteSource& source, const SourceCuts& cuts) {
    if (!cuts.Exact || cuts.Problem != CutProblem::None) return std::nullopt;
    for (std::size_t i = 0; i < cuts.Found(); ++i) {
        if (!ExactFramesFit(source, cuts.Cuts[i], cuts.Layout)) {
            return Unmade{CutProblem::FramesTooShort, i + 1};
        }
    }
    return std::nullopt;
}

// The first cut that leaves a part one frame of a source without a header frame and none of
// the split's own before it (the first part, and by the frame rule a part whose cut borrows
// nothing): neither mpg123 nor ffmpeg opens a file of a single frame. The cut named is the
// one that ends the part, or for the last, the one that starts it.
std::optional<Unmade> SingleFramePart(const SourceCuts& cuts) {
    if (cuts.Problem != CutProblem::None || !cuts.Layout.HeaderFrame.empty()) return std::nullopt;
    for (std::size_t i = 0; i < cuts.Parts.size(); ++i) {
        const bool bare = i == 0 || (!cuts.Exact && cuts.Cuts[i - 1].Borrowed == 0);
        if (!bare || cuts.Parts[i].Count() > 1) continue;
        return Unmade{CutProblem::SingleFrame, std::min(i, cuts.Cuts.size() - 1) + 1};
    }
    return std::nullopt;
}

Message FoundAt(std::int64_t byte, std::int64_t frame) {
    return Tr("Split", "Found safe position to split at byte %1 (frame %2)").Arg(byte).Arg(frame);
}

// Tells where a cut fell; by the frame rule, whether it lies later than the user would hear
// as the time given.
bool TellCut(const Cut& cut, bool exact, std::int64_t milliseconds, const std::string& separator,
             Reporter& reporter, SplitReport& report) {
    report.Cuts.push_back({cut.At, cut.FramesBefore, cut.Seconds});
    reporter.Log(FoundAt(cut.At, cut.FramesBefore));
    if (!exact) {
        // A cut more than a frame after the time given is worth a word: the user hears it.
        const double lateness = cut.Seconds - double(milliseconds) / 1000;
        if (cut.Lenders.empty() || lateness <= cut.Lenders.back().Frame.FrameDuration) {
            return false;
        }
        reporter.Log(Tr("Split", "Safe position lies at %1, %2 seconds after the split time.")
                         .Arg(FormatPlayTime(cut.Seconds, separator))
                         .Arg(FormatHundredths(lateness, separator)));
        return true;
    }
    const std::string sample = FormatCount(cut.Sample, separator);
    if (cut.Gapless) {
        reporter.Log(Tr("Split", "Cutting exactly at %1 (sample %2)")
                         .Arg(FormatExactTime(milliseconds, separator))
                         .Arg(sample));
        return false;
    }
    const std::int64_t nearest = (cut.Sample * 1000 + cut.SamplingRate / 2) / cut.SamplingRate;
    reporter.Log(Tr("Split",
                    "Cutting at %1 (sample %2), the frame boundary nearest the time: the source "
                    "carries no gapless information.")
                     .Arg(FormatExactTime(nearest, separator))
                     .Arg(sample));
    return false;
}

// The cuts of the request, as the analysis found them where it could, otherwise found in one
// walk; those that cannot be made refused.
std::shared_ptr<const SourceCuts> SearchCuts(const SplitRequest& request, SourceFile& source) {
    const CutTimes& times = request.Parts.Times;
    std::shared_ptr<const SourceCuts> cuts;
    if (request.Found && request.Found->Fit(source.Stamp(), times, request.Exact)) {
        // Taken as they are: a long source's parts hold megabytes of frames.
        cuts = std::shared_ptr<const SourceCuts>(request.Found, &request.Found->Cuts);
    } else {
        const ChainRecord* walked = request.Walked.get();
        if (walked && !walked->Records(source.Stamp())) walked = nullptr;
        FileInformation info;
        cuts = std::make_shared<const SourceCuts>(
            FindCuts(source, times, request.Exact, info, walked));
    }
    auto unmade = UnfitCut(source, *cuts);
    if (!unmade) unmade = SingleFramePart(*cuts);
    if (!unmade) return cuts;
    auto refused = std::make_shared<SourceCuts>(*cuts);
    Refuse(*refused, *unmade);
    return refused;
}

// Finds every cut and tells the log where each fell; the report of a run that ends there,
// where one does.
std::optional<SplitReport> FindAndTellCuts(const SplitRequest& request, SourceFile& source,
                                           Reporter& reporter,
                                           std::shared_ptr<const SourceCuts>& found,
                                           SplitReport& report) {
    found = SearchCuts(request, source);
    const SourceCuts& cuts = *found;
    const CutTimes& times = request.Parts.Times;
    bool late = false;
    for (std::size_t i = 0; i < cuts.Found(); ++i) {
        late |= TellCut(cuts.Cuts[i], request.Exact, cuts.Times[i], request.Separator, reporter,
                        report);
    }
    if (late) reporter.Log(request.ExactHint);
    if (cuts.Problem == CutProblem::NoSafePosition) {
        reporter.Log(CutRefusal(cuts, times, request.Separator));
        reporter.Log(Tr("Split", "File splitting aborted."));
        if (!request.Exact && !late) reporter.Log(request.ExactHint);
        report.Outcome = SplitOutcome::NoSafePosition;
        report.Scroll = true;
        return report;
    }
    if (cuts.Problem != CutProblem::None) {
        return RefuseCut(reporter, CutRefusal(cuts, times, request.Separator), report);
    }
    return std::nullopt;
}

// A part's name that cannot be written to.
FileError Unwritable(const std::string& path, const Message& why) {
    return FileError(FileError::Operation::Write, path, why);
}

// Why the destination's file system would take two parts' names as one, or one not at all:
// asked before anything is written. The source, where it lies in the folder, is tried with
// them: a name taken for its own would be the source (another case of its name on exFAT,
// whose inodes do not show it), which throws FileError.
std::optional<Message> NameRefusal(const SplitRequest& request,
                                   const std::vector<std::string>& paths, FileSystem& files) {
    std::vector<std::string> names;
    for (const std::string& path : paths) names.push_back(path.substr(path.rfind('/') + 1));
    const auto slash = request.Source.rfind('/');
    const std::string sourceFolder = slash == std::string::npos ? "."
                                     : slash == 0               ? "/"
                                                                : request.Source.substr(0, slash);
    const std::size_t sourceName = names.size();
    if (files.SameFile(sourceFolder, request.Folder)) {
        names.push_back(request.Source.substr(slash == std::string::npos ? 0 : slash + 1));
    }
    for (const NameProblem& problem : files.TryNames(request.Folder, names)) {
        if (problem.Name == sourceName) {
            if (problem.Is != NameProblem::Kind::SameAs) continue;
            throw Unwritable(paths.at(problem.Other),
                             Tr("Split", "it is the source file %1").Arg(request.Source));
        }
        switch (problem.Is) {
            case NameProblem::Kind::SameAs:
                return Tr("Split",
                          "Two parts would have one name: the file system of %1 takes %2 and %3 "
                          "for the same name.")
                    .Arg(request.Folder)
                    .Arg(names.at(problem.Other))
                    .Arg(names[problem.Name]);
            case NameProblem::Kind::NotAccepted:
                return Tr("Split", "The file system of %1 does not accept the name %2.")
                    .Arg(request.Folder)
                    .Arg(names[problem.Name]);
            case NameProblem::Kind::TooLong:
                return Tr("Split", "The name %1 is too long for the file system of %2.")
                    .Arg(names[problem.Name])
                    .Arg(request.Folder);
        }
    }
    return std::nullopt;
}

// Gives every part its name in `outputs`, asking once, before anything is written, whether
// the files already at those names may go; the report of a run that ends there, where one
// does. Throws FileError where a name belongs to the source or a folder.
std::optional<SplitReport> ClaimNames(const SplitRequest& request, const SourceCuts& cuts,
                                      FileSystem& files, Reporter& reporter, OutputCommit& outputs,
                                      SplitReport& report) {
    const std::vector<std::string> paths =
        PartPaths(request.Folder, request.Source, cuts.Parts.size(), request.Parts.NamePattern,
                  request.Parts.Labels.Titles);
    for (auto path = paths.begin(); path != paths.end(); ++path) {
        if (std::find(paths.begin(), path, *path) != path) {
            return RefuseCut(reporter,
                             Tr("Split", "Two parts would have the same name: %1.").Arg(*path),
                             report);
        }
    }
    if (const auto refusal = NameRefusal(request, paths, files)) {
        return RefuseCut(reporter, *refusal, report, Field::None);
    }
    std::vector<std::string> existing;
    for (const std::string& path : paths) {
        // The source itself, under an output's name or through a link, is never written.
        if (files.SameFile(path, request.Source)) {
            throw Unwritable(path, Tr("Split", "it is the source file %1").Arg(request.Source));
        }
        // A folder is no older output: it is not the user's to lose by a split.
        const Entry entry = files.EntryAt(path);
        if (entry == Entry::Folder) throw Unwritable(path, Tr("Split", "it is a folder"));
        outputs.Add(path, entry == Entry::Other);
        if (entry == Entry::Other) existing.push_back(path);
    }
    report.Paths = paths;
    const auto count = static_cast<std::int64_t>(existing.size());
    const Message question =
        TrN("Split", "Output files %1 already exist. Do you want to replace them?",
            "Output file %1 already exists. Do you want to replace?")
            .Count(count)
            .Arg(ListedFew(existing));
    if (count == 0 || request.Existing == ExistingOutputs::Replace ||
        reporter.Ask(question, existing)) {
        return std::nullopt;
    }
    reporter.Log(Tr("Split", "Aborting split file now."));
    reporter.Log(
        TrN("Split", "Nothing was changed: %1 were kept.", "Nothing was changed: %1 was kept.")
            .Count(count)
            .Arg(Listed(existing)));
    report.Paths.clear();
    report.Outcome = SplitOutcome::Declined;
    report.Scroll = true;
    return report;
}

// What writing the parts made, for the log's summary.
struct WrittenParts {
    std::vector<std::int64_t> Bytes;
    std::int64_t AddedFrames = 0;  // those the log tells of
    std::int64_t AddedBytes = 0;
};

// Whether the parts are to be faded in or out.
bool Faded(const SplitRequest& request) {
    return request.FadeInSeconds > 0 || request.FadeOutSeconds > 0;
}

// Writes the parts two at a time, the first of each two on a thread of its own from a
// reading of the source of its own: the kernel then copies into two files on two cores at
// once, which takes about half as long as one after the other. Hands each part to the seam
// check once it is complete, in their order.
class TwoAtATime {
  public:
    TwoAtATime(const std::string& path, SourceFile& source, FileSystem& files,
               OutputCommit& outputs, SeamCheckAlongside* check)
        : source_(source), outputs_(outputs), check_(check) {
        if (outputs.Size() < 2) return;
        try {
            beside_ = files.OpenBeside(path);
        } catch (const FileError&) {
            return;  // the parts are written one after the other, from the split's reading
        }
        const auto opened = source.Stamp(), now = beside_->Stamp();
        if (opened && now && *opened != *now) {
            throw FileError(FileError::Operation::Read, path,
                            Tr("Split", "the source changed while it was being split"));
        }
    }

    // Writes output `index`, begun, from `plan`.
    void Write(std::size_t index, OutputPlan plan, std::function<WalkedFrames()> walked) {
        if (beside_ && !pending_ && index + 1 < outputs_.Size()) {
            // Where no thread is to be had, the part is written when it is waited for.
            pending_ = Pending{std::async(std::launch::async | std::launch::deferred,
                                          [this, index, plan = std::move(plan)] {
                                              return outputs_.Fill(index, *beside_, plan);
                                          }),
                               std::move(walked)};
            return;
        }
        std::unique_ptr<SourceFile> complete;
        try {
            complete = outputs_.Fill(index, source_, plan);
        } catch (...) {
            // Where both fail, the earlier part's failure is the one told.
            if (pending_) pending_->Complete.get();
            throw;
        }
        if (pending_) {
            Hand(pending_->Complete.get(), std::move(pending_->Walked));
            pending_.reset();
        }
        Hand(std::move(complete), std::move(walked));
    }

  private:
    struct Pending {
        std::future<std::unique_ptr<SourceFile>> Complete;
        std::function<WalkedFrames()> Walked;
    };

    void Hand(std::unique_ptr<SourceFile> part, std::function<WalkedFrames()> walked) {
        if (check_) check_->Written(std::move(part), std::move(walked));
    }

    SourceFile& source_;
    OutputCommit& outputs_;
    SeamCheckAlongside* check_;
    std::unique_ptr<SourceFile> beside_;
    std::optional<Pending> pending_;  // ended before the reading it uses
};

// Writes every part where no one sees it yet, each planned as it is written, so that only
// two parts' tags and added frames are held at a time, and hands each to the seam check once
// it is complete.
WrittenParts WriteParts(const SplitRequest& request, const SourceCuts& cuts, SourceFile& source,
                        FileSystem& files, TagEditor& tags, OutputCommit& outputs,
                        SeamCheckAlongside* check, Reporter& reporter) {
    files.RemoveLeftovers(request.Folder);
    const std::int64_t sharedBlock = files.SharedBlockSize(source, request.Folder);
    WrittenParts written;
    // Where the source's audio is one run of whole frames, the frames of each part (the
    // source's, and those the split added: before them in a part after a cut, after them in
    // the first) spare the seam check reading a long part again to count them or to seek in
    // it.
    const bool unbroken = cuts.RunFrames >= 0;
    TwoAtATime writing(request.Source, source, files, outputs, check);
    for (std::size_t i = 0; i < outputs.Size(); ++i) {
        PartPlan part = PlanPart(cuts, i, source, tags, request.Parts.Labels, sharedBlock);
        if (Faded(request)) {
            const Fades fades =
                FadePlan(part.Plan, source, request.FadeInSeconds, request.FadeOutSeconds);
            if (i == 0) TellFades(reporter, fades);
        }
        std::int64_t size = 0;
        for (const auto& piece : part.Plan) size += piece.Length;
        written.Bytes.push_back(size);
        // Found on the check's thread, which needs them only once the part is complete.
        std::function<WalkedFrames()> walked;
        if (unbroken) {
            walked = [&frames = cuts.Parts[i], i, added = part.AddedFrames,
                      bytes = part.AddedBytes] {
                return i > 0 ? WalkedPart(frames, added, bytes, 0)
                             : WalkedPart(frames, 0, 0, added);
            };
        }
        // The exact mode's added frames are silent or played unheard, ahead of the cut; by
        // the frame rule only those that carry borrowed bytes are told of.
        if (request.Exact || (i > 0 && cuts.Cuts[i - 1].Borrowed > 0)) {
            written.AddedFrames += part.AddedFrames;
            written.AddedBytes += part.AddedBytes;
        }
        outputs.Begin(i);
        writing.Write(i, std::move(part.Plan), std::move(walked));
    }
    return written;
}

// The log's summary of a completed split.
void TellWritten(Reporter& reporter, std::int64_t sourceSize, const WrittenParts& written,
                 bool exact) {
    std::int64_t total = 0;
    for (const std::int64_t size : written.Bytes) total += size;
    const std::string rule(42, '=');
    reporter.Log(rule);
    reporter.Log(Tr("Split", "Source file size      : %1 bytes.").Arg(sourceSize));
    reporter.Log(Tr("Split", "Total bytes written : %1 bytes.").Arg(total));
    if (written.AddedFrames > 0 && exact) {
        reporter.Log(TrN("Split",
                         "(added %n new frames of %1 bytes, which gapless players do not play)",
                         "(added %n new frame of %1 bytes, which gapless players do not play)")
                         .Count(written.AddedFrames)
                         .Arg(written.AddedBytes));
    } else if (written.AddedFrames > 0) {
        reporter.Log(TrN("Split", "(added %n new frames of %1 bytes to preserve data)",
                         "(added %n new frame of %1 bytes to preserve data)")
                         .Count(written.AddedFrames)
                         .Arg(written.AddedBytes));
    }
    reporter.Log(rule);
}

// Why the parts' tags are not what they would be, where they are not.
void TellTagProblems(TagEditor& tags, Reporter& reporter) {
    if (const auto why = tags.Unavailable()) {
        reporter.Log(Tr("Split",
                        "The tag library could not be loaded (%1): the tags keep the "
                        "source's length, and a replaced file is removed for good.")
                         .Arg(*why));
    }
    if (const auto why = tags.Unread()) {
        reporter.Log(Tr("Split",
                        "The source's ID3v2 tag was left unread (%1): the parts carry it as "
                        "it is, with the source's length and chapters.")
                         .Arg(*why));
    }
}

// The split once the request is checked: search, parts, commit, seam check, report.
SplitReport Run(const SplitRequest& request, FileSystem& files, TagEditor& tags,
                AudioDecoder& decoder, Reporter& reporter) {
    reporter.Begin(Tr("Split", "Finding safe point to split file..."));
    SplitReport report;
    report.Scroll = true;
    OutputCommit outputs(files, reporter);
    try {
        // A run into the folder that was ended while it named its parts is completed or
        // undone first, so that the names are looked at as they are to stand.
        OutputCommit::Recover(files, reporter, request.Folder);
        const auto source = files.OpenSource(request.Source);
        std::shared_ptr<const SourceCuts> found;
        if (auto ended = FindAndTellCuts(request, *source, reporter, found, report)) return *ended;
        const SourceCuts& cuts = *found;
        reporter.Log(Tr("Split", "Beginning to split files now."));
        if (auto ended = ClaimNames(request, cuts, files, reporter, outputs, report)) {
            return *ended;
        }
        // Each seam is checked while the parts after it are written; faded parts differ
        // from the source at the seams by design.
        std::optional<SeamCheckAlongside> check;
        if (!Faded(request)) {
            check.emplace(decoder, files, request.Source, outputs.Size(),
                          [&cuts] { return WalkedSource(cuts); });
        }
        const WrittenParts written = WriteParts(request, cuts, *source, files, tags, outputs,
                                                check ? &*check : nullptr, reporter);
        TellTagProblems(tags, reporter);
        CheckUnchanged(files, *source, Tr("Split", "the source changed while it was being split"));
        outputs.Commit();
        if (check) {
            report.Seams = LogSeamCheck(reporter, [&check] { return check->Reports(); });
        } else {
            reporter.Log(Tr("Split", "Seam check skipped: the parts are faded."));
        }
        report.Bytes = written.Bytes;
        TellWritten(reporter, source->Size(), written, request.Exact);
        reporter.Log(Tr("Split", "MP3 splitting completed."));
        report.Outcome = SplitOutcome::Completed;
    } catch (const FileError& error) {
        reporter.Log(error.Message());
        reporter.Log(Tr("Split", "File splitting aborted."));
        reporter.Log(outputs.RollBack(Tr("Split", "the split failed")));
        report.Paths.clear();
        report.Outcome = SplitOutcome::Failed;
        report.Problem = Refusal{error.Message()};
    } catch (const WorkStopped&) {
        reporter.Log(outputs.RollBack(Tr("Split", "the split was stopped")));
        report.Paths.clear();
        report.Outcome = SplitOutcome::Stopped;
    }
    return report;
}

// The refusal of the first check of the source and the folder that fails.
std::optional<Refusal> CheckPlaces(const std::string& source, const std::string& folder,
                                   const FileSystem& files) {
    if (TrimBlanks(source).empty()) {
        return Refusal{Tr("Split", "Please choose a source MP3 file to split."), Field::Source};
    }
    if (TrimBlanks(folder).empty()) {
        return Refusal{Tr("Split", "Please enter/choose the destination folder."),
                       Field::Destination};
    }
    if (!files.EntryExists(folder)) {
        // A folder that may well exist but cannot be looked up is not the user's to create.
        if (const auto problem = files.LookupProblem(folder)) {
            return Refusal{Tr("Split", "Cannot write to %1: %2.").Arg(folder).Arg(*problem),
                           Field::Destination};
        }
        return Refusal{Tr("Split", "Please create destination folder."), Field::Destination};
    }
    if (!files.IsDirectory(folder)) {
        return Refusal{Tr("Split", "Cannot write to %1: it is a file, not a folder.").Arg(folder),
                       Field::Destination};
    }
    if (!files.RegularFileExists(source)) return Refusal{Tr("Split", "Source MP3 file not found")};
    return std::nullopt;
}

}  // namespace

std::variant<SplitRequest, SplitReport> SplitInTwoAt(SplitRequest request, std::string_view minute,
                                                     std::string_view second, double seconds,
                                                     const FileSystem& files) {
    if (auto refusal = CheckPlaces(request.Source, request.Folder, files)) {
        return Refused(refusal->Text, refusal->About);
    }
    const std::int64_t milliseconds =
        ReadSplitTime(minute, second, request.Exact, request.Separator);
    // The length as the analysis shows it: whole seconds, never rounded up.
    if (milliseconds <= 0 || std::floor(seconds) * 1000 <= double(milliseconds)) {
        return Refused(Tr("Split", "Split time cannot be <= 0 and >= Source duration"), Field::Time,
                       true);
    }
    request.Parts.Times = {{std::chrono::milliseconds(milliseconds)}};
    return request;
}

SplitReport Split(const SplitRequest& request, FileSystem& files, TagEditor& tags,
                  AudioDecoder& decoder, Reporter& reporter) {
    if (auto refusal = CheckPlaces(request.Source, request.Folder, files)) {
        return Refused(refusal->Text, refusal->About);
    }
    SplitRequest sorted = request;
    CutTimes& times = sorted.Parts.Times;
    std::sort(times.At.begin(), times.At.end());
    const auto first = times.At.empty() ? std::chrono::microseconds(0) : times.At.front();
    if (first.count() <= 0) {
        return Refused(Tr("Split", "The cut at %1 lies at or before the start of the source.")
                           .Arg(FormatExactTime(first.count() / 1000, request.Separator)),
                       Field::Time);
    }
    return Run(sorted, files, tags, decoder, reporter);
}

PlannedParts PlanSplitAt(ByteSource& source, std::int64_t milliseconds, bool exact, TagEditor& tags,
                         const std::string& separator) {
    const CutTimes asked{{std::chrono::milliseconds(milliseconds)}};
    SourceCuts cuts;
    if (milliseconds <= 0) {
        cuts.Problem = CutProblem::AtStart;
        cuts.Times = {milliseconds};
    } else {
        FileInformation info;
        cuts = FindCuts(source, asked, exact, info);
        if (const auto unmade = UnfitCut(source, cuts)) Refuse(cuts, *unmade);
    }
    if (cuts.Problem != CutProblem::None) return {CutRefusal(cuts, asked, separator), {}, {}};
    return {std::nullopt, PlanPart(cuts, 0, source, tags).Plan,
            PlanPart(cuts, 1, source, tags).Plan};
}

}  // namespace quorvel
