#include "engine/Edit.h"

#include <algorithm>
#include <memory>

#include "engine/Numbers.h"
#include "engine/OutputCommit.h"

namespace quorvel {
namespace {

// Gives the output its name in `outputs`, asking, before anything is written, whether an
// entry at that name may go; the report of a run that ends there, where one does.
std::optional<EditReport> ClaimOutput(const EditFiles& edit, FileSystem& files, Reporter& reporter,
                                      OutputCommit& outputs) {
    const Entry entry = files.EntryAt(edit.Output);
    if (entry == Entry::Folder) {
        throw FileError(FileError::Operation::Write, edit.Output, Tr("Split", "it is a folder"));
    }
    outputs.Add(edit.Output, entry == Entry::Other);
    const Message question =
        TrN("Split", "Output files %1 already exist. Do you want to replace them?",
            "Output file %1 already exists. Do you want to replace?")
            .Count(1)
            .Arg(edit.Output);
    if (entry != Entry::Other || edit.Existing == ExistingOutputs::Replace ||
        reporter.Ask(question, {edit.Output})) {
        return std::nullopt;
    }
    reporter.Log(
        TrN("Split", "Nothing was changed: %1 were kept.", "Nothing was changed: %1 was kept.")
            .Count(1)
            .Arg(edit.Output));
    EditReport report;
    report.Outcome = EditOutcome::Declined;
    return report;
}

// Writes and names the planned output; its size.
std::int64_t WriteOutput(FileSystem& files, OutputCommit& outputs,
                         std::span<SourceFile* const> sources, const OutputPlan& plan) {
    std::int64_t bytes = 0;
    for (const OutputPiece& piece : plan) bytes += piece.Length;
    outputs.Write(0, sources, plan);
    for (SourceFile* source : sources) {
        CheckUnchanged(files, *source, Tr("Edit", "the file changed while it was being read"));
    }
    outputs.Commit();
    return bytes;
}

}  // namespace

std::optional<Refusal> CheckEditOutput(const EditFiles& edit, const FileSystem& files) {
    if (TrimBlanks(edit.Output).empty()) {
        return Refusal{Tr("Edit", "Please give the output file."), Field::Destination};
    }
    for (const std::string& source : edit.Sources) {
        if (source == edit.Output || files.SameFile(source, edit.Output)) {
            return Refusal{Tr("Edit", "The output %1 is the input file %2: give another name.")
                               .Arg(edit.Output)
                               .Arg(source),
                           Field::Destination};
        }
    }
    const std::string folder = FolderOf(edit.Output);
    if (!files.IsDirectory(folder)) {
        return Refusal{Tr("Edit", "Cannot write to %1: the folder %2 does not exist.")
                           .Arg(edit.Output)
                           .Arg(folder),
                       Field::Destination};
    }
    if (files.IsDirectory(edit.Output)) {
        return Refusal{Tr("Edit", "Cannot write to %1: it is a folder.").Arg(edit.Output),
                       Field::Destination};
    }
    return std::nullopt;
}

EditReport RefuseEdit(Reporter& reporter, const Message& why, const std::string& file) {
    reporter.Log(why);
    EditReport report;
    report.Problem = Refusal{why, Field::Source};
    report.Unusable = file;
    return report;
}

EditReport RunEdit(const EditFiles& edit, FileSystem& files, Reporter& reporter,
                   const Message& begin, const PlanEdit& plan, const Message& done,
                   const std::function<void()>& checked) {
    EditReport report;
    if (auto refusal = CheckEditOutput(edit, files)) {
        report.Problem = std::move(refusal);
        return report;
    }
    reporter.Begin(begin);
    OutputCommit outputs(files, reporter);
    try {
        OutputCommit::Recover(files, reporter, FolderOf(edit.Output));
        std::vector<std::unique_ptr<SourceFile>> opened;
        std::vector<SourceFile*> sources;
        for (const std::string& path : edit.Sources) {
            opened.push_back(files.OpenSource(path));
            sources.push_back(opened.back().get());
        }
        auto planned = plan(sources);
        if (auto* ended = std::get_if<EditReport>(&planned)) return *ended;
        if (auto ended = ClaimOutput(edit, files, reporter, outputs)) return *ended;
        report.Bytes = WriteOutput(files, outputs, sources, std::get<OutputPlan>(planned));
        report.Path = edit.Output;
        if (checked) checked();
        reporter.Log(Tr("Split", "Total bytes written : %1 bytes.").Arg(report.Bytes));
        reporter.Log(done);
        report.Outcome = EditOutcome::Completed;
    } catch (const FileError& error) {
        reporter.Log(error.Message());
        reporter.Log(outputs.RollBack(Tr("Edit", "the output could not be made")));
        const bool source =
            std::find(edit.Sources.begin(), edit.Sources.end(), error.Path()) != edit.Sources.end();
        report.Outcome = error.Failed() == FileError::Operation::Read && source
                             ? EditOutcome::Unreadable
                             : EditOutcome::Failed;
        report.Problem = Refusal{error.Message()};
        report.Unusable = source ? error.Path() : std::string();
    } catch (const WorkStopped&) {
        reporter.Log(outputs.RollBack(Tr("Edit", "the work was stopped")));
        report.Outcome = EditOutcome::Stopped;
    }
    return report;
}

}  // namespace quorvel
