#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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

// The seam check of a split's parts as they are written: on a thread of its own, each seam
// is checked as soon as the part after it is complete, while the later parts are written.
// The source is read beside the split (FileSystem::OpenBeside), the parts as written
// (OutputFile::ReadBack), neither counted in the split's progress.
class SeamCheckAlongside {
  public:
    // `walked` gives the source's frames where the walk knows them, on the check's thread.
    SeamCheckAlongside(AudioDecoder& decoder, FileSystem& files, std::string source,
                       std::size_t parts, std::function<WalkedFrames()> walked);
    // A check not waited for, as that of a split that failed or was stopped, is ended.
    ~SeamCheckAlongside();
    SeamCheckAlongside(const SeamCheckAlongside&) = delete;
    SeamCheckAlongside& operator=(const SeamCheckAlongside&) = delete;

    // The next part, complete, with its frames where the walk knows them (`walked` gives
    // them on the check's thread; none: unknown). Waits while a few written parts are still
    // to be checked, so that none holds a descriptor for long.
    void Written(std::unique_ptr<SourceFile> part, std::function<WalkedFrames()> walked);
    // Waits for the check: its reports, as CheckSeams gives them, or what it threw.
    std::vector<SeamReport> Reports();

  private:
    struct Part {
        std::unique_ptr<SourceFile> File;
        std::function<WalkedFrames()> Walked;
    };
    Part Next();
    void Run(const std::string& source, std::size_t parts,
             const std::function<WalkedFrames()>& walked);

    AudioDecoder& decoder_;
    FileSystem& files_;
    std::mutex mutex_;  // guards what follows
    std::condition_variable changed_;
    std::deque<Part> written_;
    bool ended_ = false;  // the check is no longer waited for
    bool done_ = false;   // the check has ended
    std::vector<SeamReport> reports_;
    std::exception_ptr failure_;
    std::jthread thread_;
};

// The check after a split, in the log; a check that cannot be made says why, and one the
// user stops is skipped: the split is complete by then. Returns the reports of a check made.
std::vector<SeamReport> LogSeamCheck(Reporter& reporter,
                                     const std::function<std::vector<SeamReport>()>& check);

}  // namespace quorvel
