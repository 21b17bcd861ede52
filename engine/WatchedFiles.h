#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "engine/FileSystem.h"

namespace quorvel {

// The files as long work reaches them: every read and write first looks whether the work
// is to stop (and throws WorkStopped if so), then is counted against the source's size
// for the progress shown. Copies go in slices, so that a stop never waits long.
class WatchedFiles final : public FileSystemWrapper {
  public:
    // Told the bytes read or written so far and the source's size, once a percent.
    using Progress = std::function<void(std::int64_t done, std::int64_t total)>;

    WatchedFiles(FileSystem& files, const std::atomic<bool>& stopping, Progress progress = {})
        : FileSystemWrapper(files), stopping_(stopping), progress_(std::move(progress)) {}

    std::unique_ptr<SourceFile> OpenSource(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override;

  private:
    class Source;
    class Output;

    void Check() const {
        if (stopping_) throw WorkStopped();
    }
    void Report(std::int64_t done);

    const std::atomic<bool>& stopping_;
    Progress progress_;
    std::int64_t total_ = 0;
    std::int64_t written_ = 0;
    std::int64_t reported_ = -1;
};

}  // namespace quorvel
