#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "engine/AudioDecoder.h"
#include "engine/Edit.h"
#include "engine/FileSystem.h"
#include "engine/LoudnessMeter.h"
#include "engine/OutputPlan.h"
#include "engine/Reporter.h"

namespace quorvel {

// A source made louder or quieter without re-encoding: every granule's global gain changed
// by whole steps of 1.5 dB.
struct GainRequest {
    EditFiles Files;  // one source
    int Steps = 0;
    // The steps that bring the source's integrated loudness nearest this, in LUFS, in place
    // of `Steps`.
    std::optional<double> ToLufs;
    // Fewer steps louder where the decoded peak would otherwise reach full scale.
    bool NoClip = false;
    // Faded in from silence over the first seconds, out to silence over the last, a step
    // of 1.5 dB a granule.
    double FadeInSeconds = 0;
    double FadeOutSeconds = 0;
    // The source made the file it was before the gain its tag records.
    bool Undo = false;
};

// The whole steps of 1.5 dB nearest a change in decibels.
int GainSteps(double db);

// The granules each fade of an output took.
struct Fades {
    std::int64_t In = 0;
    std::int64_t Out = 0;
};

// `plan`, an output read from `source`, faded in over its first `inSeconds` and out over its
// last `outSeconds` as a gain fades (a step of 1.5 dB a granule, from silence and to it):
// the first bytes of the frames the fades reach become pieces of their own. None where the
// plan holds no MP3 audio.
Fades FadePlan(OutputPlan& plan, SourceFile& source, double inSeconds, double outSeconds);
// A change of the level of a stretch of a source's playing time, as a gain makes it: whole
// steps of 1.5 dB louder or quieter, or a fade in from silence at its start to the level
// at its end, or out the other way.
struct LevelChange {
    enum class Shape { Level, FadeIn, FadeOut };
    std::chrono::microseconds From{0};
    std::chrono::microseconds To{0};
    int Steps = 0;
    Shape Fade = Shape::Level;
    bool operator==(const LevelChange&) const = default;
};

// `source` read with its levels changed as `levels` say, one after the other, granule by
// granule; granules a fade takes below the smallest gain set to it, and those a change
// would take past the largest left. Throws FileError as the source's reads do.
std::unique_ptr<SourceFile> LeveledSource(std::shared_ptr<SourceFile> source,
                                          std::span<const LevelChange> levels);

// Tells the log how many granules each fade took, where one did.
void TellFades(Reporter& reporter, const Fades& fades);

// The whole gain: every audio frame's granules (the header frame's aside) changed by the
// steps and the fades (a granule a fade takes below the smallest gain set to it), a granule
// whose gain would otherwise leave its range (0 to 255) left as it was and counted,
// each protected frame's CRC made anew where it held; the rest of the source byte for byte.
// The output's ID3v2 tag records the change (GainRecord), so that an undo makes it the
// source again byte for byte; a source that records a gain already is gained from the file
// it was, by both changes together (its fades kept where none are given). Nothing is
// written where the steps and fades come to none, the
// source has no audio, or its tag cannot hold the record.
EditReport Gain(const GainRequest& request, FileSystem& files, AudioDecoder& decoder,
                LoudnessMeter& meter, Reporter& reporter);

}  // namespace quorvel
