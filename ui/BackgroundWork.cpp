#include "ui/BackgroundWork.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <future>

#include "platform/Dialogs.h"

namespace quorvel::ui {

// The reports as the work's thread gives them: a line goes to the window's thread and the
// work goes on; the question waits for the window's answer. Once the window has given the
// work up, a question not yet begun is dropped and answered no, as a cancelled box would.
class BackgroundWork::ThreadReporter final : public Reporter {
  public:
    ThreadReporter(BackgroundWork& work, WorkWindow& shown)
        : work_(work), shown_(shown), abandoned_(work.abandoned_) {}

    void Begin(const Message& line) override { Show(line, true); }
    void Log(const Message& line) override { Show(line, false); }

    bool Ask(const Message& question, const std::vector<std::string>& names) override {
        if (abandoned_) return false;
        auto pending = std::make_shared<Pending>();
        std::future<bool> answer = pending->answer.get_future();
        const std::atomic<bool>* abandoned = &abandoned_;
        WorkWindow* shown = &shown_;
        // The question refers to the work's own variables: it runs only while the work waits.
        QMetaObject::invokeMethod(
            &work_,
            [pending, shown, &question, &names, abandoned] {
                int waiting = Pending::Waiting;
                if (*abandoned) {
                    pending->phase.compare_exchange_strong(waiting, Pending::Dropped);
                    return;
                }
                if (!pending->phase.compare_exchange_strong(waiting, Pending::Begun)) return;
                pending->answer.set_value(shown->AskToGoOn(question, names));
            },
            Qt::QueuedConnection);
        while (answer.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
            int waiting = Pending::Waiting;
            if (abandoned_) pending->phase.compare_exchange_strong(waiting, Pending::Dropped);
            if (pending->phase == Pending::Dropped) return false;
        }
        return answer.get();
    }

    void Progress(std::int64_t done, std::int64_t total) override {
        BackgroundWork* work = &work_;
        QMetaObject::invokeMethod(
            work, [work, done, total] { work->Reached(done, total); }, Qt::QueuedConnection);
    }
    bool Stopped() const override { return work_.stopping_; }

  private:
    // A question handed to the window's thread: waiting, begun there, or dropped.
    struct Pending {
        enum Phase { Waiting, Begun, Dropped };
        std::atomic<int> phase = Waiting;
        std::promise<bool> answer;
    };

    void Show(const Message& line, bool first) {
        WorkWindow* shown = &shown_;
        QMetaObject::invokeMethod(
            &work_, [shown, line, first] { shown->ShowLine(line, first); }, Qt::QueuedConnection);
    }

    // Lines still queued when the work goes are dropped with it: the window goes too.
    BackgroundWork& work_;
    WorkWindow& shown_;
    const std::atomic<bool>& abandoned_;
};

BackgroundWork::BackgroundWork(WorkWindow& shown, FileSystem& files)
    : reporter_(std::make_unique<ThreadReporter>(*this, shown)),
      files_(std::make_unique<WatchedFiles>(files, *reporter_)) {}

BackgroundWork::~BackgroundWork() {
    // The window is going: the work may no longer wait for it.
    abandoned_ = true;
    Stop();
    files_->Hold(false);
    if (thread_.joinable()) thread_.join();
}

void BackgroundWork::Start(Work work, int phases) {
    stopping_ = false;
    abandoned_ = false;
    phases_ = std::max(phases, 1);
    phase_ = 0;
    phasePercent_ = 0;
    percent_ = 0;
    thread_ = std::thread([this, work = std::move(work)] {
        Done done = work(*reporter_, *files_);
        QMetaObject::invokeMethod(
            this,
            [this, done = std::move(done)] {
                thread_.join();
                if (done) done();
                emit Finished();
            },
            Qt::QueuedConnection);
    });
}

void BackgroundWork::Reached(std::int64_t done, std::int64_t total) {
    const auto percent = static_cast<int>(std::clamp<std::int64_t>(done, 0, total) * 100 /
                                          std::max<std::int64_t>(total, 1));
    if (percent < phasePercent_) phase_ = std::min(phase_ + 1, phases_ - 1);
    phasePercent_ = percent;
    const int whole = (phase_ * 100 + percent) / phases_;
    if (whole <= percent_) return;
    percent_ = whole;
    emit Progress(whole);
}

bool BackgroundWork::StopToClose(QWidget* window, Writes writes) {
    if (writes != Writes::Nothing) {
        files_->Hold(true);
        const bool agreed = platform::Dialogs::Current().Question(
            window,
            writes == Writes::Parts ? tr("A split is running. Stop it and close?")
                                    : tr("An edit is running. Stop it and close?"),
            platform::kApplicationTitle);
        if (agreed) Stop();
        files_->Hold(false);
        // A split that ended while the user was asked leaves nothing to wait for.
        if (agreed && !Running()) {
            QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
        }
        return agreed;
    }
    Stop();
    return true;
}

}  // namespace quorvel::ui
