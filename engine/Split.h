#pragma once

#include <cstdint>
#include <optional>

#include "engine/FileSystem.h"
#include "engine/FrameHeader.h"
#include "engine/SeamCheck.h"
#include "engine/SplitForm.h"
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

// The whole split command: validation, search, both outputs, the seam check by `decoder`,
// the report. Both outputs take their names only once both are complete, so that any run
// that does not complete leaves the destination as it was.
SplitOutcome SplitFile(SplitForm& form, FileSystem& files, TagEditor& tags, AudioDecoder& decoder,
                       FileInformation& info);

}  // namespace quorvel
