#pragma once

#include <cstdint>

#include "engine/ByteSource.h"
#include "engine/FrameHeader.h"
#include "engine/MainWindow.h"

namespace quorvel {

// What the frame chain scan of a whole source found.
struct ScanResult {
    std::int64_t Frames = 0;
    double TotalSeconds = 0;
};

// Counts the frames of a source by the chain rule and sums their playing times;
// `info` is left as the last decoded header left it.
ScanResult ScanFrameChain(ByteSource& source, FileInformation& info);

enum class AnalysisOutcome {
    FramesFound,
    NoFrames,    // the invalid-file message was shown
    Unreadable,  // the file could not be opened or read; nothing is claimed
};

// Measures and scans the file named by txtMP3 and fills the File Information fields,
// reporting the start and the end in the message log.
AnalysisOutcome AnalyseSourceFile(MainWindow& window, FileInformation& info);

}  // namespace quorvel
