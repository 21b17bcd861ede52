#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/AudioDecoder.h"
#include "engine/FileSystem.h"
#include "engine/Gain.h"
#include "engine/LoudnessMeter.h"
#include "engine/Message.h"
#include "engine/Reporter.h"
#include "engine/TagEditor.h"

namespace quorvel {

// One file's loudness, or why it could not be measured.
struct FileLoudness {
    std::string Path;
    std::optional<Loudness> Measured;
    std::optional<Message> Problem;
};

// The loudness of each file, and of all of them as one album.
struct LoudnessReport {
    std::vector<FileLoudness> Files;  // in the order given
    // With several files, every one of them measured: their loudness taken together, the
    // gates applied to all their audio at once, its peak the largest of theirs.
    std::optional<Loudness> Album;
};

// Measures the files at `paths`, read through `files` and decoded by `decoder` as players
// decode them, each through a measure of `meter`'s, its peak a true peak where `truePeak`.
// Two threads share the work, a file each; a single long file is measured in two halves at
// once, taken together as one programme. A file that cannot be read or decoded is told of
// in its FileLoudness and the others are measured on. Throws WorkStopped as `files` does.
LoudnessReport MeasureLoudness(AudioDecoder& decoder, LoudnessMeter& meter, FileSystem& files,
                               const std::vector<std::string>& paths, bool truePeak);

// The loudness of the played sample frames [from, to) of the file at `path` with its levels
// changed as `levels` say, taken as one programme, its peak a true peak where `truePeak`.
// Throws FileError as the file's reads do, WorkStopped as `files` does, and
// std::runtime_error where the meter cannot measure.
Loudness MeasureStretch(AudioDecoder& decoder, LoudnessMeter& meter, FileSystem& files,
                        const std::string& path, std::int64_t from, std::int64_t to, bool truePeak,
                        std::span<const LevelChange> levels);

// ReplayGain 2.0's reference loudness, in LUFS: a gain brings the audio to it.
inline constexpr double kReplayGainReference = -18;

// The ReplayGain 2.0 values a file's measure gives, as ID3v2 user texts (TXXX): its track
// gain ("-6.20 dB", the reference less its integrated loudness) and peak ("0.988553", 1
// being full scale), and with an album's measure the album's too. None for audio that is
// silent throughout, which no gain brings to any loudness.
std::optional<std::vector<UserText>> ReplayGainTexts(const Loudness& track,
                                                     const std::optional<Loudness>& album);

// Gives the file at `path` the user texts in its ID3v2 tag, each replacing any of its
// description (in any case), the rest of the tag and the audio untouched; a file without a
// tag gets one. The file is written anew beside itself and takes its place through
// OutputCommit, all or nothing, the older one then removed. Throws FileError where the
// file cannot be read or written or its tag cannot be read, and WorkStopped as `files` does.
void WriteUserTexts(FileSystem& files, TagEditor& tags, Reporter& reporter, const std::string& path,
                    const std::vector<UserText>& texts);

}  // namespace quorvel
