#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

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

// What a split found and made, for a caller that reports it otherwise than by the log;
// filled as far as the run got: the cut once found, the rest once both parts have their
// names.
struct SplitResult {
    std::int64_t CutByte = 0;             // where the cut frame starts in the source; 0: no cut
    std::int64_t CutFrame = 0;            // the source's frames before the cut, a header frame too
    double CutSeconds = 0;                // when the cut plays in the source
    std::array<std::string, 2> Paths;     // the parts
    std::array<std::int64_t, 2> Bytes{};  // written to each
    std::optional<SeamReport> Seam;       // none where the check was left out or could not be made
};

// The whole split command: validation, search, both outputs, the seam check by `decoder`,
// the report. Both outputs take their names only once both are complete, so that any run
// that does not complete leaves the destination as it was.
SplitOutcome SplitFile(SplitForm& form, FileSystem& files, TagEditor& tags, AudioDecoder& decoder,
                       FileInformation& info, SplitResult* result = nullptr);

}  // namespace quorvel
