#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/AudioDecoder.h"
#include "engine/Cuts.h"
#include "engine/FileSystem.h"
#include "engine/Reporter.h"
#include "engine/SeamReport.h"

namespace quorvel {

// The frames a split's walk just found of its source and of each of its parts, where
// known, so that the check reads only what each seam needs (AudioDecoder::Open).
struct WalkedFiles {
    WalkedFrames Source;
    std::vector<WalkedFrames> Parts;
};

// The source's frames as the walk found them, where they are one unbroken run (SourceCuts::
// RunFrames); none otherwise.
WalkedFrames WalkedSource(const SourceCuts& cuts);

// The frames of a part whose audio holds `frames` of the source's, where those are one
// unbroken run, after `lead` frames of its own of `leadBytes` bytes in all and before
// `trail` more of its own.
WalkedFrames WalkedPart(const PartFrames& frames, std::int64_t lead, std::int64_t leadBytes,
                        std::int64_t trail);

// Decodes the source and its parts named, in order, read through `files`, and compares them
// at each seam; one report a seam, the last one's lines telling of the lengths too. Throws
// FileError where a file cannot be read or decoded, and WorkStopped as `files` does.
std::vector<SeamReport> CheckSeams(AudioDecoder& decoder, FileSystem& files,
                                   const std::string& source, const std::vector<std::string>& parts,
                                   const WalkedFiles& walked = {});

// The seam of a source split in two.
SeamReport CheckSeam(AudioDecoder& decoder, FileSystem& files, const std::string& source,
                     const std::string& first, const std::string& second);

// The check after a split, in the log; a check that cannot be made says why, and one the
// user stops is skipped: the split is complete by then. Returns the reports of a check made.
std::vector<SeamReport> LogSeamCheck(Reporter& reporter, AudioDecoder& decoder, FileSystem& files,
                                     const std::string& source,
                                     const std::vector<std::string>& parts,
                                     const WalkedFiles& walked = {});

}  // namespace quorvel
