#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/FileSystem.h"
#include "engine/FrameHeader.h"
#include "engine/SeamCheck.h"
#include "engine/SplitForm.h"
#include "engine/SplitPlan.h"
#include "engine/SplitSearch.h"
#include "engine/Tags.h"

namespace quorvel {

// Checks the split request in the form's fields in order, showing the refusal of the
// first check that fails. Returns the split time in milliseconds when all pass: whole
// seconds by the frame rule, to the millisecond in the exact mode.
std::optional<std::int64_t> ValidateSplitRequest(SplitForm& form, const FileSystem& files);

enum class SplitOutcome {
    Refused,         // a check of the request failed
    NoSafePosition,  // the log says so
    Declined,        // the user kept an existing output
    Failed,          // a file could not be read or written; the user was told why
    Stopped,         // the user or a signal stopped it
    Completed,       // "MP3 splitting completed."
};

// Where a split cut the source.
struct SplitCut {
    std::int64_t Byte = 0;   // where the cut frame starts in the source
    std::int64_t Frame = 0;  // the source's frames before the cut, a header frame too
    double Seconds = 0;      // when the cut plays in the source
};

// What a split found and made, for a caller that reports it otherwise than by the log;
// filled as far as the run got: the cuts as found, the rest once every part has its name.
struct SplitResult {
    std::vector<SplitCut> Cuts;
    std::vector<std::string> Paths;   // the parts
    std::vector<std::int64_t> Bytes;  // written to each
    std::vector<SeamReport> Seams;    // none where the check was left out or could not be made
};

// The whole split command: validation, search, both outputs, the seam check by `decoder`,
// the report. Both outputs take their names only once both are complete, so that any run
// that does not complete leaves the destination as it was.
SplitOutcome SplitFile(SplitForm& form, FileSystem& files, TagEditor& tags, AudioDecoder& decoder,
                       FileInformation& info, SplitResult* result = nullptr);

// Both outputs of a split in two, planned as SplitFile writes them but not written; or why
// the time cannot be cut at.
struct PlannedParts {
    std::optional<Message> Refusal;  // none where the plans hold the parts
    OutputPlan First;
    OutputPlan Second;
};

// The split in two at `milliseconds` into the source's playing time, by the frame rule or
// at a sample, taken as given (the window's split cuts by the frame rule at whole seconds).
// The refusal writes its times with `separator`. Throws FileError as the source's reads do.
PlannedParts PlanSplitAt(ByteSource& source, std::int64_t milliseconds, bool exact, TagEditor& tags,
                         FileInformation& info, const std::string& separator);

// What a split into any number of parts asks for, besides the form's source and folder.
struct PartsRequest {
    CutTimes Times;
    PartLabels Labels;
    std::string NamePattern;  // see PartPaths; empty: the source's name and the part's number
};

// The split into parts, as SplitFile into two: every part takes its name only once all are
// complete.
SplitOutcome SplitIntoParts(SplitForm& form, FileSystem& files, TagEditor& tags,
                            AudioDecoder& decoder, FileInformation& info,
                            const PartsRequest& request, SplitResult* result = nullptr);

}  // namespace quorvel
