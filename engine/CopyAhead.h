#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "engine/FileSystem.h"
#include "engine/SplitRequest.h"
#include "engine/TagEditor.h"

namespace quorvel {

// The files of a split whose last part's audio is copied into its output while the source is
// still being analysed, so that the split's longest step, that copy, overlaps the analysis's
// walk instead of following it. The split that comes after finds those bytes where its own
// plan puts them and does not copy them again; whatever its plan puts elsewhere is written
// over them, and an output its plan ends sooner is cut where it ends, so the outputs are the
// same either way. Nothing is named here: an output the split never asks for is dropped, as
// any unfinished output is.
class CopyAhead final : public FileSystemWrapper {
  public:
    // `stopping` ends the copy between its slices.
    CopyAhead(FileSystem& files, std::function<bool()> stopping)
        : FileSystemWrapper(files), stopping_(std::move(stopping)) {}
    ~CopyAhead() override { Abandon(); }
    CopyAhead(const CopyAhead&) = delete;
    CopyAhead& operator=(const CopyAhead&) = delete;

    // Starts, once, on a thread of its own, copying the audio of the last part `request` makes:
    // a walk as far as its cut, the part planned with the tags `tags` gives (used on that
    // thread alone until Abandon), then the source from the cut to its end, written where
    // that plan puts it. Nothing is copied where the folder shares the source's blocks (a
    // shared block costs nothing to copy), where the plan does not end with that audio, or
    // where anything fails: the split then copies it all.
    void Start(SplitRequest request, TagEditor& tags);
    // Ends the copy, and drops what it wrote where the split has not asked for it.
    void Abandon();

    // The output at `path`, once the copy ahead knows which output it is for (after its walk
    // to the cut); where it is this one, that output once the copy has ended, in which the
    // bytes copied ahead are not copied again.
    std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override;

  private:
    // What the copy ahead wrote: source bytes [From, From + Length) at `At` of the output.
    struct Copied {
        std::unique_ptr<OutputFile> Output;
        std::string Source;
        FileStamp Stamp;
        std::int64_t From = 0;
        std::int64_t Length = 0;
        std::int64_t At = 0;
    };
    class Claimed;

    void Copy(const SplitRequest& request, TagEditor& tags);
    // The output the copy is for, once known, or none: the split's outputs wait for it.
    void Decide(const std::string& path);

    std::function<bool()> stopping_;
    std::atomic<bool> abandoned_ = false;
    std::mutex deciding_;  // guards what follows
    std::condition_variable decision_;
    bool decided_ = false;
    std::string path_;              // empty: none
    std::optional<Copied> copied_;  // the thread's until it has ended
    std::thread thread_;
};

}  // namespace quorvel
