#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ChainRecord.h"
#include "engine/Cuts.h"
#include "engine/FileSystem.h"
#include "engine/FrameChain.h"
#include "engine/Refusal.h"
#include "engine/Reporter.h"
#include "engine/SourceLayout.h"

namespace quorvel {

enum class AnalysisOutcome {
    FramesFound,
    NoFrames,    // the invalid-file message is the problem to show
    Unreadable,  // the file could not be opened or read; nothing is claimed
    Stopped,     // the user or a signal stopped it; nothing is claimed
};

// How loud each frame of a source is, as its analysis found without decoding (FrameLevel),
// and how long its frames are.
struct FrameLevels {
    std::vector<std::uint8_t> Levels;
    std::int32_t SamplesPerFrame = 0;
    std::int32_t SamplingRate = 0;
};

// What the analysis of a file found.
struct Analysis {
    AnalysisOutcome Outcome = AnalysisOutcome::Unreadable;
    std::int64_t Bytes = -1;         // the file's size; -1 where it was not opened
    std::optional<FileStamp> Stamp;  // the file as it was opened, where that can be told
    ScanResult Scan;
    PlayedLength Played;  // how long the frames found play gaplessly
    FrameLevels Levels;   // where asked for
    // Its frames, for a split of the file that follows, unchanged; none where it found none.
    std::shared_ptr<const ChainRecord> Walked;
    // The cuts at the times it was told (AnalysisKeeps::CutsAt), where its walk met the
    // frames as the split's own would.
    std::shared_ptr<const FoundCuts> Cuts;
    // What the user is to be shown in a box of its own where the front end has boxes.
    std::optional<Refusal> Problem;
};

// What an analysis keeps beside the File Information fields.
struct AnalysisKeeps {
    bool Levels = false;  // each frame's level, for the waveform
    bool Frames = false;  // the frames, for a split that follows (Analysis::Walked)
    // The cuts at these times, by the exact rule or the frame rule, for a split whose times
    // are known before the analysis (Analysis::Cuts); the frames are then not kept.
    std::optional<CutTimes> CutsAt{};
    bool ExactCuts = false;
};

// Measures and scans the file at `path`, telling the start and the end in the log.
Analysis AnalyseSource(FileSystem& files, const std::string& path, Reporter& reporter,
                       AnalysisKeeps keeps = {});

// The File Information fields as they show an analysis.
struct InformationFields {
    Message Size = std::string();
    Message Type = std::string();
    Message BitRate = std::string();
    Message Sampling = std::string();
    Message Frames = std::string();
    Message Duration = std::string();  // whole minutes and seconds, never rounded up
};

// The fields an analysis leaves, their fractions written with `separator`; none where it was
// stopped before it opened the file, which leaves them as they were.
std::optional<InformationFields> Fields(const Analysis& analysis, const std::string& separator);

}  // namespace quorvel
