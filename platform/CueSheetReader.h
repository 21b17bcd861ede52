#pragma once

#include <string>
#include <variant>

#include "engine/CueSheet.h"
#include "engine/Message.h"

namespace quorvel::platform {

// The cue sheet at `path`, read by libcue in the desktop module: its tracks, each with the
// line of its INDEX 01, and its texts in UTF-8 (a sheet that is not UTF-8 is read as
// Windows' Latin-1, which Latin-1 text is too). The refusal where the file cannot be read,
// is no cue sheet, lists no tracks or more than 99 (the format's limit), has a track without
// an INDEX 01 or one in another audio file than the first track's, or where a line is too
// long or an INDEX 01 time is not mm:ss:ff; it names the line where there is one.
std::variant<CueSheet, Message> ReadCueSheet(const std::string& path);

}  // namespace quorvel::platform
