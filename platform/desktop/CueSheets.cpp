// The module's cue sheets, through libcue.

#include <libcue.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/desktop/Module.h"

namespace quorvel::desktop {
namespace {

// libcue complains of what it cannot read on the standard error, a line for each stray
// character, which is the companion's error output to its user; the reader's refusal says
// it once. So the stream discards while libcue parses, for a moment in which another
// thread's message there would be lost too.
Cd* ParseQuietly(const char* text) {
    static constexpr cookie_io_functions_t discard{
        nullptr, [](void*, const char*, std::size_t size) { return ssize_t(size); }, nullptr,
        nullptr};
    FILE* const quiet = ::fopencookie(nullptr, "w", discard);
    FILE* const error = stderr;
    if (quiet) stderr = quiet;
    Cd* const cd = cue_parse_string(text);
    stderr = error;
    if (quiet) std::fclose(quiet);
    return cd;
}

}  // namespace

QuorvelCueTrack* ParseCueSheet(const char* text, std::size_t* count) {
    try {
        // libcue keeps its parser's state in globals.
        static std::mutex parsing;
        const std::lock_guard lock(parsing);
        const std::unique_ptr<Cd, decltype(&cd_delete)> cd(ParseQuietly(text), &cd_delete);
        if (!cd) return nullptr;
        const int tracks = cd_get_ntrack(cd.get());
        auto* out = static_cast<QuorvelCueTrack*>(
            std::calloc(std::size_t(tracks), sizeof(QuorvelCueTrack)));
        if (!out) return nullptr;
        const char* const performer = cdtext_get(PTI_PERFORMER, cd_get_cdtext(cd.get()));
        for (int i = 0; i < tracks; ++i) {
            const Track* track = cd_get_track(cd.get(), i + 1);
            const Cdtext* texts = track_get_cdtext(track);
            const char* const own = cdtext_get(PTI_PERFORMER, texts);
            out[i] = {track_get_index(track, 1), Copy(cdtext_get(PTI_TITLE, texts)),
                      Copy(own ? own : performer), Copy(track_get_filename(track))};
        }
        *count = std::size_t(tracks);
        return out;
    } catch (...) {
        return nullptr;
    }
}

}  // namespace quorvel::desktop
