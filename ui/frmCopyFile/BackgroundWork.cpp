#include "ui/frmCopyFile/BackgroundWork.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <future>

namespace quorvel::ui {

// The form as the work's thread sees it: each call is carried out on the window's thread
// while the work waits. Once the work is stopping, a call that has not begun is dropped
// and answers as a cancelled box would.
class BackgroundWork::ThreadForm final : public SplitForm {
  public:
    ThreadForm(QObject* window, SplitForm& form, const std::atomic<bool>& stopping)
        : window_(window), form_(form), stopping_(stopping) {}

    std::string Text(Control control) const override {
        return Call<std::string>([&] { return form_.Text(control); }, {});
    }
    void SetText(Control control, const std::string& text) override {
        Do([&] { form_.SetText(control, text); });
    }
    void SetFocus(Control control) override {
        Do([&] { form_.SetFocus(control); });
    }
    void LogReset(const std::string& message) override {
        Do([&] { form_.LogReset(message); });
    }
    void LogAppend(const std::string& message) override {
        Do([&] { form_.LogAppend(message); });
    }
    void LogRepaint() override {
        Do([&] { form_.LogRepaint(); });
    }
    void LogScroll() override {
        Do([&] { form_.LogScroll(); });
    }
    void MessageBox(const std::string& text) override {
        Do([&] { form_.MessageBox(text); });
    }
    bool Question(const std::string& text) override {
        return Call<bool>([&] { return form_.Question(text); }, false);
    }
    std::string DecimalSeparator() const override {
        return Call<std::string>([&] { return form_.DecimalSeparator(); }, ".");
    }
    bool ExactSplit() const override {
        return Call<bool>([&] { return form_.ExactSplit(); }, false);
    }
    std::string ExactSplitHint() const override {
        return Call<std::string>([&] { return form_.ExactSplitHint(); }, {});
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
        if (stopping_) return dropped;
        auto pending = std::make_shared<Pending<T>>();
        std::future<T> result = pending->result.get_future();
        const std::atomic<bool>* stopping = &stopping_;
        // The call refers to the work's own variables: it runs only while the work waits.
        QMetaObject::invokeMethod(
            window_,
            [pending, &call, stopping] {
                int waiting = Pending<T>::Waiting;
                if (*stopping) {
                    pending->phase.compare_exchange_strong(waiting, Pending<T>::Dropped);
                    return;
                }
                if (!pending->phase.compare_exchange_strong(waiting, Pending<T>::Begun)) return;
                pending->result.set_value(call());
            },
            Qt::QueuedConnection);
        while (result.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
            int waiting = Pending<T>::Waiting;
            if (stopping_) pending->phase.compare_exchange_strong(waiting, Pending<T>::Dropped);
            if (pending->phase == Pending<T>::Dropped) return dropped;
        }
        return result.get();
    }

    QObject* window_;
    SplitForm& form_;
    const std::atomic<bool>& stopping_;
};

// The files as the work reaches them: each read and write is counted against the
// source's size for the progress shown, and fails once the work is stopping.
class BackgroundWork::WatchedFiles final : public FileSystem {
  public:
    WatchedFiles(FileSystem& files, BackgroundWork& owner) : files_(files), owner_(owner) {}

    bool OrdinaryFileExists(const std::string& path) const override {
        return files_.OrdinaryFileExists(path);
    }
    bool EntryExists(const std::string& path) const override { return files_.EntryExists(path); }
    bool IsDirectory(const std::string& path) const override { return files_.IsDirectory(path); }
    std::optional<std::int64_t> FileLength(const std::string& path) const override {
        return files_.FileLength(path);
    }
    bool NameTaken(const std::string& path) const override { return files_.NameTaken(path); }
    bool SameFile(const std::string& one, const std::string& other) const override {
        return files_.SameFile(one, other);
    }
    Removal MoveToTrash(const std::string& path) override { return files_.MoveToTrash(path); }

    std::unique_ptr<SourceFile> OpenSource(const std::string& path) override {
        auto source = std::make_unique<Source>(files_.OpenSource(path), *this);
        total_ = source->Size();
        written_ = 0;
        return source;
    }
    std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override {
        return std::make_unique<Output>(files_.CreateOutput(path), path, *this);
    }

  private:
    class Source final : public SourceFile {
      public:
        Source(std::unique_ptr<SourceFile> source, WatchedFiles& files)
            : source_(std::move(source)), files_(files) {}
        const std::string& Path() const override { return source_->Path(); }
        std::int64_t Size() const override { return source_->Size(); }
        std::size_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::size_t count) override {
            files_.Check(FileError::Operation::Read, Path());
            const std::size_t read = source_->ReadAt(offset, buffer, count);
            files_.Report(offset + static_cast<std::int64_t>(read));
            return read;
        }
        std::span<const std::uint8_t> View(std::int64_t offset, std::size_t count) override {
            files_.Check(FileError::Operation::Read, Path());
            const auto shown = source_->View(offset, count);
            files_.Report(offset + static_cast<std::int64_t>(shown.size()));
            return shown;
        }
        void ConfirmViews() override { source_->ConfirmViews(); }
        SourceFile& Inner() { return *source_; }

      private:
        std::unique_ptr<SourceFile> source_;
        WatchedFiles& files_;
    };

    class Output final : public OutputFile {
      public:
        Output(std::unique_ptr<OutputFile> output, std::string path, WatchedFiles& files)
            : output_(std::move(output)), path_(std::move(path)), files_(files) {}
        void Write(std::span<const std::uint8_t> bytes) override {
            files_.Check(FileError::Operation::Write, path_);
            output_->Write(bytes);
            files_.Report(files_.written_ += static_cast<std::int64_t>(bytes.size()));
        }
        void CopyFrom(SourceFile& source, std::int64_t offset, std::int64_t length) override {
            // The copy goes from the source itself, so that the kernel can do it, in
            // slices that show progress and let a stop end it.
            auto* watched = dynamic_cast<Source*>(&source);
            SourceFile& real = watched ? watched->Inner() : source;
            constexpr std::int64_t kSlice = 16 << 20;
            for (std::int64_t done = 0; done < length;) {
                files_.Check(FileError::Operation::Write, path_);
                const std::int64_t slice = std::min(kSlice, length - done);
                output_->CopyFrom(real, offset + done, slice);
                done += slice;
                files_.Report(files_.written_ += slice);
            }
        }
        void Commit(bool replace) override { output_->Commit(replace); }

      private:
        std::unique_ptr<OutputFile> output_;
        std::string path_;
        WatchedFiles& files_;
    };

    void Check(FileError::Operation operation, const std::string& path) const {
        if (owner_.stopping_) throw FileError(operation, path, "the work was stopped");
    }

    // Passes the progress on to the window's thread, once a percent.
    void Report(std::int64_t done) {
        const std::int64_t total = std::max<std::int64_t>(total_, 1);
        const std::int64_t percent = std::min<std::int64_t>(done, total) * 100 / total;
        if (percent == reported_) return;
        reported_ = percent;
        BackgroundWork* owner = &owner_;
        QMetaObject::invokeMethod(
            owner, [owner, done, total] { emit owner->Progress(done, total); },
            Qt::QueuedConnection);
    }

    FileSystem& files_;
    BackgroundWork& owner_;
    std::int64_t total_ = 0;
    std::int64_t written_ = 0;
    std::int64_t reported_ = -1;
};

BackgroundWork::BackgroundWork(QObject* window, SplitForm& form, FileSystem& files)
    : form_(std::make_unique<ThreadForm>(window, form, stopping_)),
      files_(std::make_unique<WatchedFiles>(files, *this)) {}

BackgroundWork::~BackgroundWork() {
    Stop();
    if (thread_.joinable()) thread_.join();
}

void BackgroundWork::Start(Work work) {
    stopping_ = false;
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

}  // namespace quorvel::ui
