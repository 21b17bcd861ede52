#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/AudioDecoder.h"
#include "engine/FileSystem.h"
#include "engine/FrameHeader.h"
#include "engine/OutputPlan.h"
#include "engine/Reporter.h"
#include "engine/SplitRequest.h"
#include "engine/TagEditor.h"

namespace quorvel {

// A split in two at a minute and second as the user typed them: `request` with the time read
// by the rule it asks for, or the report of the first check that refuses it. `seconds` is how
// long the analysis found the source to play, 0 where it found nothing; a time at or past its
// last whole second is refused.
std::variant<SplitRequest, SplitReport> SplitInTwoAt(SplitRequest request, std::string_view minute,
                                                     std::string_view second, double seconds,
                                                     const FileSystem& files);

// The whole split: checks, search, the parts, the seam check by `decoder`, the report. The
// parts take their names only once all are complete, so that any run that does not complete
// leaves the destination as it was.
SplitReport Split(const SplitRequest& request, FileSystem& files, TagEditor& tags,
                  AudioDecoder& decoder, Reporter& reporter);

// Both outputs of a split in two, planned as Split writes them but not written; or why the
// time cannot be cut at.
struct PlannedParts {
    std::optional<Message> Refusal;  // none where the plans hold the parts
    OutputPlan First;
    OutputPlan Second;
};

// The split in two at `milliseconds` into the source's playing time, by the frame rule or
// at a sample, taken as given (the window's split cuts by the frame rule at whole seconds).
// The refusal writes its times with `separator`. Throws FileError as the source's reads do.
PlannedParts PlanSplitAt(ByteSource& source, std::int64_t milliseconds, bool exact, TagEditor& tags,
                         const std::string& separator);

}  // namespace quorvel
