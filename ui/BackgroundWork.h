#pragma once

#include <QObject>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/FileSystem.h"
#include "engine/Reporter.h"
#include "engine/WatchedFiles.h"

namespace quorvel::ui {

// What a window shows of its work's reports, on its own thread.
class WorkWindow {
  public:
    virtual ~WorkWindow() = default;

    // A line of the log; `first`: the log starts anew with it.
    virtual void ShowLine(const Message& line, bool first) = 0;
    // The work's one question: whether it may go on.
    virtual bool AskToGoOn(const Message& question, const std::vector<std::string>& names) = 0;
};

// Runs the analysis or the split on a thread of its own, so that the window stays
// responsive. The work's log lines go to the window's thread as they come, without waiting;
// its question waits for the window's answer; its files report how far it has read or
// written and end the work at its next read or write once stopped. What the work returns is
// carried out on the window's thread once it has ended.
class BackgroundWork final : public QObject {
    Q_OBJECT

  public:
    using Done = std::function<void()>;
    using Work = std::function<Done(Reporter& reporter, FileSystem& files)>;

    BackgroundWork(WorkWindow& shown, FileSystem& files);
    // Stops the work and waits for it to end.
    ~BackgroundWork() override;

    bool Running() const { return thread_.joinable(); }
    // Starts the work, which reads or writes its files in `phases` passes one after
    // another (an analysis, the walk to the cuts, the writing, the seam check).
    void Start(Work work, int phases = 1);
    // Ends the work as soon as it next reads or writes: a stopped run that changes
    // nothing and says so in the log.
    void Stop() { stopping_ = true; }
    // What the work under way writes, for the question before it is stopped.
    enum class Writes { Nothing, Parts, Output };
    // The work's window is asked to close while the work runs: stops it, a split or an
    // edit only once the user agrees, and says whether the window is to close when the work
    // has ended. Such work waits before naming anything while the user is asked, so that
    // agreeing always leaves the folder as it was, unless it had named its outputs before.
    bool StopToClose(QWidget* window, Writes writes);
    // Whether the work waits to name its outputs while the user decides whether to stop it.
    bool WaitingToName() const { return files_->Waiting(); }

  signals:
    // How far the whole work has come, in percent: each pass its share, never going back.
    void Progress(int percent);
    void Finished();

  private:
    class ThreadReporter;

    // Where a pass has come to, on the window's thread: a pass that starts again from a
    // lower share than the last told is the next one.
    void Reached(std::int64_t done, std::int64_t total);

    std::atomic<bool> stopping_ = false;
    std::atomic<bool> abandoned_ = false;  // the window is going; the work may not wait for it
    std::unique_ptr<ThreadReporter> reporter_;
    std::unique_ptr<WatchedFiles> files_;
    std::thread thread_;
    int phases_ = 1, phase_ = 0;
    int phasePercent_ = 0;  // the share of the pass under way told last
    int percent_ = 0;       // the whole work's, told last
};

}  // namespace quorvel::ui
