#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "engine/FileSystem.h"
#include "engine/Message.h"
#include "engine/OutputPlan.h"
#include "engine/Refusal.h"
#include "engine/Reporter.h"
#include "engine/SplitRequest.h"

namespace quorvel {

// What became of an edit: one output made from the audio of one or more sources (join,
// cut, trim).
enum class EditOutcome {
    Refused,     // a check of the request or of the sources failed; nothing was written
    Unreadable,  // a source could not be read
    Declined,    // the user kept an existing output
    Failed,      // the output could not be written; nothing was changed
    Stopped,     // the user or a signal stopped it; nothing was changed
    Completed,
};

struct EditReport {
    EditOutcome Outcome = EditOutcome::Refused;
    // What the user is to be shown, and the file it concerns where it is one given.
    std::optional<Refusal> Problem;
    std::string Unusable;
    std::string Path;  // the output, once it has its name
    std::int64_t Bytes = 0;
};

// The files of an edit and what to do with an output already there.
struct EditFiles {
    std::vector<std::string> Sources;
    std::string Output;
    ExistingOutputs Existing = ExistingOutputs::Ask;
};

// Why the output cannot be written from the sources before anything is read: none given,
// one of the sources itself, a folder, or in a folder that is not there.
std::optional<Refusal> CheckEditOutput(const EditFiles& edit, const FileSystem& files);

// A refused edit: the report, the refusal told in the log.
EditReport RefuseEdit(Reporter& reporter, const Message& why, const std::string& file = {});

// Plans the output from the sources as opened, or ends the run with a report. A plan may
// read a source through one of its own (the source changed as it is read), which it adds
// to the sources and names in its pieces.
using PlanEdit =
    std::function<std::variant<OutputPlan, EditReport>(std::vector<SourceFile*>& sources)>;

// The run of an edit: its output checked (CheckEditOutput, refused before anything is
// logged), `begin` the log's first line, the sources opened, the output planned, named (the
// one question where an entry has its name) and written through OutputCommit, all or
// nothing; `checked`, where given, looks at it once it is named, and `done` is the log's
// last line.
EditReport RunEdit(const EditFiles& edit, FileSystem& files, Reporter& reporter,
                   const Message& begin, const PlanEdit& plan, const Message& done,
                   const std::function<void()>& checked = {});

}  // namespace quorvel
