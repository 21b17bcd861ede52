#include "engine/CueSheet.h"

#include <algorithm>

namespace quorvel {
namespace {

// A time as the sheet writes it: mm:ss:ff.
std::string CueTime(std::int64_t frames) {
    const auto two = [](std::int64_t value) {
        return (value < 10 ? "0" : "") + std::to_string(value);
    };
    return two(frames / (60 * kCueFramesPerSecond)) + ":" + two(frames / kCueFramesPerSecond % 60) +
           ":" + two(frames % kCueFramesPerSecond);
}

std::string_view BaseName(std::string_view path, std::string_view separators) {
    const auto slash = path.find_last_of(separators);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::optional<Message> CheckCueTracks(const CueSheet& sheet, std::int64_t durationMs) {
    const CueTrack* previous = nullptr;
    for (const CueTrack& track : sheet.Tracks) {
        if (previous && track.StartFrames == previous->StartFrames) {
            return Tr("CueSheet",
                      "Line %1 of the cue sheet: %2 is also the start on line %3; each track "
                      "needs a start of its own.")
                .Arg(track.Line)
                .Arg(CueTime(track.StartFrames))
                .Arg(previous->Line);
        }
        if (previous && track.StartFrames < previous->StartFrames) {
            return Tr("CueSheet",
                      "Line %1 of the cue sheet: %2 comes before %3 on line %4; the tracks must "
                      "follow in time.")
                .Arg(track.Line)
                .Arg(CueTime(track.StartFrames))
                .Arg(CueTime(previous->StartFrames))
                .Arg(previous->Line);
        }
        // Compared in 1/75000 s, so that neither side is rounded.
        if (track.StartFrames * 1000 >= durationMs * kCueFramesPerSecond) {
            return Tr("CueSheet",
                      "Line %1 of the cue sheet: %2 is at or past the end of the MP3 file, "
                      "which is %3 long.")
                .Arg(track.Line)
                .Arg(CueTime(track.StartFrames))
                .Arg(CueTime(durationMs * kCueFramesPerSecond / 1000));
        }
        previous = &track;
    }
    return std::nullopt;
}

std::optional<Message> CheckCueAudioFile(const CueSheet& sheet, std::string_view sourcePath) {
    if (sheet.AudioFile.empty()) return std::nullopt;
    const std::string_view named = BaseName(sheet.AudioFile, "/\\");
    const std::string_view source = BaseName(sourcePath, "/");
    // ASCII's letters only, whatever the locale.
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    const auto same = [&](char a, char b) { return lower(a) == lower(b); };
    if (std::ranges::equal(named, source, same)) return std::nullopt;
    return Tr("CueSheet", "The cue sheet is for %1, not for %2: its times may not fit this file.")
        .Arg(std::string(named))
        .Arg(std::string(source));
}

}  // namespace quorvel
