#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "engine/AudioDecoder.h"
#include "engine/Edit.h"
#include "engine/FileSystem.h"
#include "engine/Gain.h"
#include "engine/OutputPlan.h"
#include "engine/Reporter.h"
#include "engine/Silences.h"
#include "engine/TagEditor.h"

namespace quorvel {

// A stretch of a source's playing time to remove, as the user gave it.
struct RemovedSpan {
    std::chrono::microseconds From{0};
    std::chrono::microseconds To{0};
};

// A source written without some spans of its audio.
struct CutOutRequest {
    EditFiles Files;  // one source
    std::vector<RemovedSpan> Remove;
    // Each end of a span moved to the middle of the nearest silence within a second, where
    // there is one.
    bool Snap = false;
    SilenceRule Silence;
    // Faded in over the output's first seconds and out over its last, as a gain fades.
    double FadeInSeconds = 0;
    double FadeOutSeconds = 0;
    // The source's level changed over stretches of its playing time before it is cut.
    std::vector<LevelChange> Levels;
};

// A seam of a cut's output, in played samples: where the audio kept before it ends in the
// source and where the audio kept after it starts, and where each lies in the output (apart
// by a silent frame added there).
struct CutSeam {
    std::int64_t SourceBefore = 0;
    std::int64_t SourceAfter = 0;
    std::int64_t OutputBefore = 0;
    std::int64_t OutputAfter = 0;
};

// A cut planned, not written: its output's pieces and its seams. Where levels change, the
// pieces are read from `Leveled`, the source with its levels changed, not from the source.
struct PlannedCutOut {
    OutputPlan Plan;
    std::vector<CutSeam> Seams;
    std::shared_ptr<SourceFile> Leveled;
};

// What CutOut writes, planned from the source as opened, so that it can be heard before it
// is written; the report of a refusal where it cannot be cut.
std::variant<PlannedCutOut, EditReport> PlanCutOut(const CutOutRequest& request, SourceFile& file,
                                                   TagEditor& tags, AudioDecoder& decoder,
                                                   FileSystem& files, Reporter& reporter);

// The whole cut: each end of a span on the frame boundary nearest it (or in the middle of
// the nearest silence), the frames between left out, the frame before each seam made to
// carry what the first kept frame after it borrows of the frames removed, one length
// header with the source's delay and padding, its tags with the chapters re-timed and
// those within a span dropped; then the output's samples compared with the source's on
// either side of each seam. Nothing is written where a span is empty, reaches past the
// end, or where nothing would be left.
EditReport CutOut(const CutOutRequest& request, FileSystem& files, TagEditor& tags,
                  AudioDecoder& decoder, Reporter& reporter);

// Played samples [From, End) of a source.
struct PlayedSpan {
    std::int64_t From = 0;
    std::int64_t End = 0;
};

// Where the sound of a source whose silences are `silences` plays: from where its leading
// silence ends to where its trailing one starts; none where it is silence alone.
std::optional<PlayedSpan> SoundOf(const FileSilences& silences);
// What a trim keeps of it: the sound and `keepSeconds` of the silence on either side.
PlayedSpan KeptAround(const PlayedSpan& sound, double keepSeconds, const FileSilences& silences);

// A source written without its leading and trailing silence.
struct TrimRequest {
    EditFiles Files;  // one source
    SilenceRule Silence;
    double KeepSeconds = 0.25;  // of the silence kept on either side of the sound
};

// The whole trim: where the sound starts and ends (FindSilences), less `KeepSeconds`, cut to
// the sample through whole frames and the length header's start delay and end padding, a
// silent frame carrying what the first frame kept borrows where frames go at the start; the
// tags kept, the chapters re-timed. Nothing is written where the source is silence alone.
EditReport Trim(const TrimRequest& request, FileSystem& files, TagEditor& tags,
                AudioDecoder& decoder, Reporter& reporter);

}  // namespace quorvel
