#pragma once

#include <QObject>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "engine/FileSystem.h"
#include "engine/SplitForm.h"
#include "engine/WatchedFiles.h"

namespace quorvel::ui {

// Runs the analysis or the split on a thread of its own, so that the window stays
// responsive. The work reaches the window's form through calls carried out on the
// window's thread, one at a time, and its files through a watch that reports how far it
// has read or written and ends the work at its next read or write once stopped.
class BackgroundWork final : public QObject {
    Q_OBJECT

  public:
    using Work = std::function<void(SplitForm& form, FileSystem& files)>;

    BackgroundWork(QObject* window, SplitForm& form, FileSystem& files);
    // Stops the work and waits for it to end.
    ~BackgroundWork() override;

    bool Running() const { return thread_.joinable(); }
    void Start(Work work);
    // Ends the work as soon as it next reads or writes: a stopped run that changes
    // nothing and says so in the log.
    void Stop() { stopping_ = true; }
    // The work's window is asked to close while the work runs: stops it, a split only once
    // the user agrees, and says whether the window is to close when the work has ended.
    bool StopToClose(QWidget* window, bool split);

  signals:
    void Progress(qint64 done, qint64 total);
    void Finished();

  private:
    class ThreadForm;

    std::atomic<bool> stopping_ = false;
    std::atomic<bool> abandoned_ = false;  // the window is going; the work may not wait for it
    std::unique_ptr<ThreadForm> form_;
    std::unique_ptr<WatchedFiles> files_;
    std::thread thread_;
};

}  // namespace quorvel::ui
