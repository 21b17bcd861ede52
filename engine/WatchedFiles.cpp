#include "engine/WatchedFiles.h"

#include <algorithm>

namespace quorvel {

class WatchedFiles::Source final : public SourceFile {
  public:
    // `counted`: its reads count toward the progress.
    Source(std::unique_ptr<SourceFile> source, WatchedFiles& files, bool counted = true)
        : source_(std::move(source)), files_(files), counted_(counted) {}
    const std::string& Path() const override { return source_->Path(); }
    std::int64_t Size() const override { return source_->Size(); }
    std::size_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::size_t count) override {
        files_.Check();
        const std::size_t read = source_->ReadAt(offset, buffer, count);
        if (counted_) files_.Reached(offset + static_cast<std::int64_t>(read), Size(), reported_);
        return read;
    }
    std::span<const std::uint8_t> View(std::int64_t offset, std::size_t count) override {
        files_.Check();
        const auto shown = source_->View(offset, count);
        if (counted_) {
            files_.Reached(offset + static_cast<std::int64_t>(shown.size()), Size(), reported_);
        }
        return shown;
    }
    void ConfirmViews() override { source_->ConfirmViews(); }
    std::optional<FileStamp> Stamp() const override { return source_->Stamp(); }
    SourceFile& Inner() { return *source_; }
    // The source itself, where it is one of these.
    static SourceFile& Unwrapped(SourceFile& source) {
        auto* watched = dynamic_cast<Source*>(&source);
        return watched ? watched->Inner() : source;
    }

  private:
    std::unique_ptr<SourceFile> source_;
    WatchedFiles& files_;
    const bool counted_;
    std::int64_t reported_ = -1;
};

class WatchedFiles::Output final : public OutputFile {
  public:
    Output(std::unique_ptr<OutputFile> output, WatchedFiles& files)
        : output_(std::move(output)), files_(files) {}
    void Write(std::span<const std::uint8_t> bytes) override {
        files_.Check();
        output_->Write(bytes);
        files_.Wrote(static_cast<std::int64_t>(bytes.size()));
    }
    void CopyFrom(SourceFile& source, std::int64_t offset, std::int64_t length) override {
        // The copy goes from the source itself, so that the kernel can do it.
        SourceFile& real = Source::Unwrapped(source);
        // The slices end where the source's 16 MiB (256 MiB where the blocks are shared) do:
        // no shared block is split between two slices and copied for it.
        const std::int64_t every = files_.sharing_ ? std::int64_t{256} << 20 : 16 << 20;
        for (std::int64_t done = 0; done < length;) {
            files_.Check();
            const std::int64_t slice = std::min(every - (offset + done) % every, length - done);
            output_->CopyFrom(real, offset + done, slice);
            done += slice;
            files_.Wrote(slice);
        }
    }
    void MoveTo(std::int64_t at) override { output_->MoveTo(at); }
    void EndHere() override { output_->EndHere(); }
    std::unique_ptr<SourceFile> ReadBack() override {
        return std::make_unique<Source>(output_->ReadBack(), files_, false);
    }
    // Once an output is complete, nothing of its naming is stopped halfway.
    std::string Stage() override { return output_->Stage(); }
    void Release() override { output_->Release(); }

  private:
    std::unique_ptr<OutputFile> output_;
    WatchedFiles& files_;
};

std::unique_ptr<SourceFile> WatchedFiles::OpenSource(const std::string& path) {
    Check();
    auto source = std::make_unique<Source>(files_.OpenSource(path), *this);
    const std::lock_guard lock(reporting_);
    total_ = source->Size();
    written_ = 0;
    reported_ = -1;
    return source;
}

std::unique_ptr<SourceFile> WatchedFiles::OpenBeside(const std::string& path) {
    Check();
    return std::make_unique<Source>(files_.OpenSource(path), *this, false);
}

std::unique_ptr<OutputFile> WatchedFiles::CreateOutput(const std::string& path) {
    Check();
    return std::make_unique<Output>(files_.CreateOutput(path), *this);
}

std::int64_t WatchedFiles::SharedBlockSize(SourceFile& source, const std::string& folder) {
    Check();
    const std::int64_t block = files_.SharedBlockSize(Source::Unwrapped(source), folder);
    sharing_ = block > 0;
    return block;
}

void WatchedFiles::BeforeNaming() {
    std::unique_lock lock(holding_);
    waiting_ = true;
    released_.wait(lock, [this] { return !held_; });
    waiting_ = false;
    lock.unlock();
    Check();
}

void WatchedFiles::Hold(bool held) {
    {
        const std::lock_guard lock(holding_);
        held_ = held;
    }
    released_.notify_all();
}

bool WatchedFiles::Waiting() const {
    const std::lock_guard lock(holding_);
    return waiting_;
}

void WatchedFiles::Reached(std::int64_t done, std::int64_t size, std::int64_t& reported) {
    // Most reads stay within the percent told last, which only this source's thread sets:
    // they take no lock.
    if (!progress_ || Percent(done, size) == reported) return;
    const std::lock_guard lock(reporting_);
    // Once outputs are being written, the bytes written tell how far the work has come: a
    // read of the source meanwhile (a part's plan) would take the count back.
    if (written_ > 0) return;
    Report(done, size, reported);
}

void WatchedFiles::Wrote(std::int64_t bytes) {
    const std::lock_guard lock(reporting_);
    written_ += bytes;
    if (progress_) Report(written_, total_, reported_);
}

std::int64_t WatchedFiles::Percent(std::int64_t done, std::int64_t total) {
    total = std::max<std::int64_t>(total, 1);
    return std::min<std::int64_t>(done, total) * 100 / total;
}

void WatchedFiles::Report(std::int64_t done, std::int64_t total, std::int64_t& reported) {
    const std::int64_t percent = Percent(done, total);
    if (percent == reported) return;
    reported = percent;
    progress_(done, total);
}

}  // namespace quorvel
