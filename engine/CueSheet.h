#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Message.h"

namespace quorvel {

// A cue sheet gives its times as mm:ss:ff, in frames of a CD's, 75 a second.
inline constexpr std::int64_t kCueFramesPerSecond = 75;

// One track of a cue sheet.
struct CueTrack {
    // Where it starts in the audio file: its INDEX 01 (an INDEX 00 before it marks a pregap
    // that plays at the end of the track before), in frames, as the sheet gives it, so that a
    // cut rounds it only once.
    std::int64_t StartFrames = 0;
    std::string Title;      // UTF-8, as are all the sheet's texts; empty where none
    std::string Performer;  // the sheet's own where the track names none
    int Line = 0;           // the line of its INDEX 01, the first being 1

    // The start to the nearest millisecond (a frame is 13 1/3 ms: never a half).
    std::int64_t StartMs() const {
        return (StartFrames * 1000 + kCueFramesPerSecond / 2) / kCueFramesPerSecond;
    }
};

// The tracks of a cue sheet for one audio file, in the sheet's order.
struct CueSheet {
    std::vector<CueTrack> Tracks;
    std::string AudioFile;  // as its FILE line names it; empty where it names none
};

// Why the sheet's tracks cannot be cut from a source `durationMs` long: a track that starts
// at or past its end, before the track above it or at the same time. The refusal names the
// track's line; none where every track can be cut.
std::optional<Message> CheckCueTracks(const CueSheet& sheet, std::int64_t durationMs);

// A warning for the log where the sheet is for an audio file other than the source at
// `sourcePath`, whose times may then not fit it; none where the names match or the sheet
// names none. The names are compared without their folders (the sheet's may be a Windows
// path) and without the case of their ASCII letters.
std::optional<Message> CheckCueAudioFile(const CueSheet& sheet, std::string_view sourcePath);

}  // namespace quorvel
