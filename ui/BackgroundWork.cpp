#include "ui/BackgroundWork.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <future>

#include "platform/Dialogs.h"

namespace quorvel::ui {

// The form as the work's thread sees it: each call is carried out on the window's thread
// while the work waits. Once the window has given the work up, a call that has not begun
// is dropped and answers as a cancelled box would.
class BackgroundWork::ThreadForm final : public SplitForm {
  public:
    ThreadForm(QObject* window, SplitForm& form, const std::atomic<bool>& abandoned)
        : window_(window), form_(form), abandoned_(abandoned) {}

    std::string Text(Control control) const override {
        return Call<std::string>([&] { return form_.Text(control); }, {});
    }
    void SetText(Control control, const Message& text) override {
        Do([&] { form_.SetText(control, text); });
    }
    void SetFocus(Control control) override {
        Do([&] { form_.SetFocus(control); });
    }
    void LogReset(const Message& message) override {
        Do([&] { form_.LogReset(message); });
    }
    void LogAppend(const Message& message) override {
        Do([&] { form_.LogAppend(message); });
    }
    void LogRepaint() override {
        Do([&] { form_.LogRepaint(); });
    }
    void LogScroll() override {
        Do([&] { form_.LogScroll(); });
    }
    void MessageBox(const Message& text) override {
        Do([&] { form_.MessageBox(text); });
    }
    bool Question(const Message& text) override {
        return Call<bool>([&] { return form_.Question(text); }, false);
    }
    std::string DecimalSeparator() const override {
        return Call<std::string>([&] { return form_.DecimalSeparator(); }, ".");
    }
    bool ExactSplit() const override {
        return Call<bool>([&] { return form_.ExactSplit(); }, false);
    }
    Message ExactSplitHint() const override {
        return Call<Message>([&] { return form_.ExactSplitHint(); }, std::string());
    }

  private:
    // A call handed to the window's thread: waiting, begun there, done, or dropped.
    template <typename T>
    struct Pending {
        enum Phase { Waiting, Begun, Dropped };
        std::atomic<int> phase = Waiting;
        std::promise<T> result;
    };

    template <typename F>
    void Do(F&& call) {
        Call<bool>(
            [&] {
                call();
                return true;
            },
            false);
    }

    template <typename T, typename F>
    T Call(F&& call, T dropped) const {
        if (abandoned_) return dropped;
        auto pending = std::make_shared<Pending<T>>();
        std::future<T> result = pending->result.get_future();
        const std::atomic<bool>* abandoned = &abandoned_;
        // The call refers to the work's own variables: it runs only while the work waits.
        QMetaObject::invokeMethod(
            window_,
            [pending, &call, abandoned] {
                int waiting = Pending<T>::Waiting;
                if (*abandoned) {
                    pending->phase.compare_exchange_strong(waiting, Pending<T>::Dropped);
                    return;
                }
                if (!pending->phase.compare_exchange_strong(waiting, Pending<T>::Begun)) return;
                pending->result.set_value(call());
            },
            Qt::QueuedConnection);
        while (result.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
            int waiting = Pending<T>::Waiting;
            if (abandoned_) pending->phase.compare_exchange_strong(waiting, Pending<T>::Dropped);
            if (pending->phase == Pending<T>::Dropped) return dropped;
        }
        return result.get();
    }

    QObject* window_;
    SplitForm& form_;
    const std::atomic<bool>& abandoned_;
};

BackgroundWork::BackgroundWork(QObject* window, SplitForm& form, FileSystem& files)
    : form_(std::make_unique<ThreadForm>(window, form, abandoned_)),
      // The progress goes on to the window's thread.
      files_(std::make_unique<WatchedFiles>(
          files, stopping_, [this](std::int64_t done, std::int64_t total) {
              QMetaObject::invokeMethod(
                  this, [this, done, total] { emit Progress(done, total); }, Qt::QueuedConnection);
          })) {}

BackgroundWork::~BackgroundWork() {
    // The window is going: the work may no longer wait for it.
    abandoned_ = true;
    Stop();
    if (thread_.joinable()) thread_.join();
}

void BackgroundWork::Start(Work work) {
    stopping_ = false;
    abandoned_ = false;
    thread_ = std::thread([this, work = std::move(work)] {
        work(*form_, *files_);
        QMetaObject::invokeMethod(
            this,
            [this] {
                thread_.join();
                emit Finished();
            },
            Qt::QueuedConnection);
    });
}

bool BackgroundWork::StopToClose(QWidget* window, bool split) {
    if (split &&
        !platform::Dialogs::Current().Question(window, tr("A split is running. Stop it and close?"),
                                               platform::kApplicationTitle)) {
        return false;
    }
    Stop();
    return true;
}

}  // namespace quorvel::ui
