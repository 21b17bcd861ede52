#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/FileSystem.h"

namespace quorvel {

// The files as long work reaches them: every read and write first looks whether the work
// is to stop (and throws WorkStopped if so), then is counted against the source's size
// for the progress shown. Copies go in slices, so that a stop never waits long.
class WatchedFiles final : public FileSystem {
  public:
    // Told the bytes read or written so far and the source's size, once a percent.
    using Progress = std::function<void(std::int64_t done, std::int64_t total)>;

    WatchedFiles(FileSystem& files, const std::atomic<bool>& stopping, Progress progress = {})
        : files_(files), stopping_(stopping), progress_(std::move(progress)) {}

    bool RegularFileExists(const std::string& path) const override {
        return files_.RegularFileExists(path);
    }
    bool EntryExists(const std::string& path) const override { return files_.EntryExists(path); }
    std::optional<std::string> LookupProblem(const std::string& path) const override {
        return files_.LookupProblem(path);
    }
    bool IsDirectory(const std::string& path) const override { return files_.IsDirectory(path); }
    Entry EntryAt(const std::string& path) const override { return files_.EntryAt(path); }
    bool SameFile(const std::string& one, const std::string& other) const override {
        return files_.SameFile(one, other);
    }
    std::optional<std::string> MoveToTrash(const std::string& path) override {
        return files_.MoveToTrash(path);
    }
    void RemoveLeftovers(const std::string& folder) override { files_.RemoveLeftovers(folder); }

    std::unique_ptr<SourceFile> OpenSource(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override;

  private:
    class Source;
    class Output;

    void Check() const {
        if (stopping_) throw WorkStopped();
    }
    void Report(std::int64_t done);

    FileSystem& files_;
    const std::atomic<bool>& stopping_;
    Progress progress_;
    std::int64_t total_ = 0;
    std::int64_t written_ = 0;
    std::int64_t reported_ = -1;
};

}  // namespace quorvel
