#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "engine/FileSystem.h"
#include "engine/Reporter.h"

namespace quorvel {

// The files as long work reaches them: every read and write first looks whether the work
// is to stop (and throws WorkStopped if so), then is counted against the source's size
// for the progress shown. Copies go in slices, so that a stop never waits long. Sources
// may be opened and read on several threads at once, each source on one; the progress is
// then told by one thread at a time, each source telling how far it has read.
class WatchedFiles final : public FileSystemWrapper {
  public:
    // Told the bytes read or written so far and the source's size, once a percent.
    using Progress = std::function<void(std::int64_t done, std::int64_t total)>;

    WatchedFiles(FileSystem& files, const std::atomic<bool>& stopping, Progress progress = {})
        : FileSystemWrapper(files), stopping_(&stopping), progress_(std::move(progress)) {}
    // Stopped and told the progress through the work's reporter.
    WatchedFiles(FileSystem& files, Reporter& reporter)
        : FileSystemWrapper(files),
          reporter_(&reporter),
          progress_([&reporter](std::int64_t done, std::int64_t total) {
              reporter.Progress(done, total);
          }) {}

    std::unique_ptr<SourceFile> OpenSource(const std::string& path) override;
    // Stopped with the work, counted in no progress.
    std::unique_ptr<SourceFile> OpenBeside(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override;
    std::int64_t SharedBlockSize(SourceFile& source, const std::string& folder) override;
    // Waits while the work is held, then ends it here if it is to stop.
    void BeforeNaming() override;

    // While held, the work waits before it names anything, so that a user deciding whether
    // to stop it finds nothing changed meanwhile.
    void Hold(bool held);
    // Whether the work waits to name its outputs.
    bool Waiting() const;

  private:
    class Source;
    class Output;

    void Check() const {
        if (stopping_ ? stopping_->load() : reporter_->Stopped()) throw WorkStopped();
    }
    // Where a source's reading has come to, out of its size; `reported` is the percent it
    // told last.
    void Reached(std::int64_t done, std::int64_t size, std::int64_t& reported);
    // Bytes written to the outputs since the source was opened.
    void Wrote(std::int64_t bytes);
    void Report(std::int64_t done, std::int64_t total, std::int64_t& reported);
    static std::int64_t Percent(std::int64_t done, std::int64_t total);

    // The work's stop flag, or where it has none, its reporter's: looked at before every read,
    // which a decoder makes a few times a frame.
    const std::atomic<bool>* const stopping_ = nullptr;
    const Reporter* const reporter_ = nullptr;
    const Progress progress_;
    // Whether the folder written to last shares the source's blocks: its copies are
    // cloned, which takes no longer for a long slice than for a short one.
    std::atomic<bool> sharing_ = false;
    std::mutex reporting_;  // guards what follows, and the calls of progress_
    std::int64_t total_ = 0;
    std::int64_t written_ = 0;
    std::int64_t reported_ = -1;  // the outputs' percent told last
    mutable std::mutex holding_;  // guards what follows
    std::condition_variable released_;
    bool held_ = false;
    bool waiting_ = false;
};

}  // namespace quorvel
