#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/AudioDecoder.h"
#include "engine/FileSystem.h"
#include "engine/Reporter.h"
#include "engine/SeamReport.h"

namespace quorvel {

// The frames a walk just counted of a source and of each of its parts, where known, for
// those without a length header (AudioDecoder::Open).
struct WalkedFrames {
    std::optional<std::int64_t> Source;
    std::vector<std::optional<std::int64_t>> Parts;
};

// Decodes the source and its parts named, in order, read through `files`, and compares them
// at each seam; one report a seam, the last one's lines telling of the lengths too. Throws
// FileError where a file cannot be read or decoded, and WorkStopped as `files` does.
std::vector<SeamReport> CheckSeams(AudioDecoder& decoder, FileSystem& files,
                                   const std::string& source, const std::vector<std::string>& parts,
                                   const WalkedFrames& walked = {});

// The seam of a source split in two.
SeamReport CheckSeam(AudioDecoder& decoder, FileSystem& files, const std::string& source,
                     const std::string& first, const std::string& second);

// The check after a split, in the log; a check that cannot be made says why, and one the
// user stops is skipped: the split is complete by then. Returns the reports of a check made.
std::vector<SeamReport> LogSeamCheck(Reporter& reporter, AudioDecoder& decoder, FileSystem& files,
                                     const std::string& source,
                                     const std::vector<std::string>& parts,
                                     const WalkedFrames& walked = {});

}  // namespace quorvel
