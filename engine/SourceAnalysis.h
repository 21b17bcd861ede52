#pragma once

#include <cstdint>
#include <vector>

#include "engine/FileSystem.h"
#include "engine/FrameChain.h"
#include "engine/SplitForm.h"

namespace quorvel {

enum class AnalysisOutcome {
    FramesFound,
    NoFrames,    // the invalid-file message was shown
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

// Measures and scans the file named by txtMP3 and fills the File Information fields,
// reporting the start and the end in the message log; `seconds`, where given, takes how
// long its frames play, which the Duration field shows to the second, and `levels` its
// frames' levels.
AnalysisOutcome AnalyseSourceFile(SplitForm& form, FileSystem& files, FileInformation& info,
                                  double* seconds = nullptr, FrameLevels* levels = nullptr);

}  // namespace quorvel
