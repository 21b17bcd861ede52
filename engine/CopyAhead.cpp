#include "engine/CopyAhead.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "engine/OutputNames.h"
#include "engine/SplitPlan.h"
#include "engine/SplitSearch.h"

namespace quorvel {

// The output copied ahead, as the split writes it from the start: a copy of source bytes that
// lie there already, at the place the split asks for them, only moves on past them; every
// other write goes in as asked, so that every byte before the place the split has reached
// is its own.
class CopyAhead::Claimed final : public OutputFile {
  public:
    explicit Claimed(Copied copied)
        : copied_(std::move(copied)), end_(copied_.At + copied_.Length) {
        copied_.Output->MoveTo(0);
    }

    void Write(std::span<const std::uint8_t> bytes) override {
        copied_.Output->Write(bytes);
        Advance(static_cast<std::int64_t>(bytes.size()));
    }
    void CopyFrom(SourceFile& source, std::int64_t offset, std::int64_t length) override {
        if (Holds(source, offset, length)) {
            copied_.Output->MoveTo(at_ + length);
        } else {
            copied_.Output->CopyFrom(source, offset, length);
        }
        Advance(length);
    }
    // Bytes put out of order leave no telling which bytes copied ahead are still in place.
    void MoveTo(std::int64_t at) override {
        copied_.Length = 0;
        copied_.Output->MoveTo(at);
        at_ = at;
    }
    void EndHere() override {
        copied_.Output->EndHere();
        end_ = reached_ = at_;
    }
    std::unique_ptr<SourceFile> ReadBack() override {
        EndWhereWritten();
        return copied_.Output->ReadBack();
    }
    std::string Stage() override {
        EndWhereWritten();
        return copied_.Output->Stage();
    }
    void Release() override { copied_.Output->Release(); }

  private:
    void Advance(std::int64_t length) {
        at_ += length;
        reached_ = std::max(reached_, at_);
    }
    // Whether the source's bytes asked for lie at the place reached, copied ahead from the
    // same file as it stood when the split opened it.
    bool Holds(const SourceFile& source, std::int64_t offset, std::int64_t length) const {
        return copied_.Length > 0 && source.Path() == copied_.Source &&
               source.Stamp() == copied_.Stamp && offset >= copied_.From &&
               offset + length <= copied_.From + copied_.Length &&
               at_ - copied_.At == offset - copied_.From;
    }
    // The copy ahead may reach past the split's end: the output ends where the split's does.
    void EndWhereWritten() {
        if (reached_ >= end_) return;
        copied_.Output->MoveTo(reached_);
        copied_.Output->EndHere();
        copied_.Output->MoveTo(at_);
        end_ = reached_;
    }

    Copied copied_;
    std::int64_t end_;          // where the file ends, copied ahead or written
    std::int64_t at_ = 0;       // where the next bytes go
    std::int64_t reached_ = 0;  // the furthest the split's bytes reach
};

void CopyAhead::Start(SplitRequest request, TagEditor& tags) {
    thread_ = std::thread([this, request = std::move(request), &tags] { Copy(request, tags); });
}

namespace {

// Where the copy ahead goes: the last part's name, and where its plan puts the source's bytes
// from the cut to the end.
struct Planned {
    std::string Path;
    std::int64_t From = 0;
    std::int64_t Length = 0;
    std::int64_t At = 0;
};

// The last part `request` makes, planned from a walk as far as its cut; none where its plan
// does not end with the source's bytes from the cut to its end.
std::optional<Planned> PlanLastPart(SourceFile& source, const SplitRequest& request,
                                    TagEditor& tags) {
    FileInformation info;
    const SourceCuts cuts =
        FindCuts(source, request.Parts.Times, request.Exact, info, nullptr, WalkTo::LastCut);
    if (cuts.Problem != CutProblem::None || cuts.Cuts.empty()) return std::nullopt;
    const std::size_t count = cuts.Parts.size();
    const PartPlan part = PlanPart(cuts, count - 1, source, tags, request.Parts.Labels);
    const OutputPiece& audio = part.Plan.back();
    if (!audio.Bytes.empty() || audio.SourceOffset + audio.Length != source.Size()) {
        return std::nullopt;
    }
    Planned planned{PartPaths(request.Folder, request.Source, count, request.Parts.NamePattern,
                              request.Parts.Labels.Titles)
                        .back(),
                    audio.SourceOffset, audio.Length, 0};
    for (std::size_t i = 0; i + 1 < part.Plan.size(); ++i) planned.At += part.Plan[i].Length;
    return planned;
}

}  // namespace

void CopyAhead::Copy(const SplitRequest& request, TagEditor& tags) {
    try {
        const auto source = files_.OpenSource(request.Source);
        const auto stamp = source->Stamp();
        // Where the parts share the source's blocks there is nothing to copy: asked first,
        // so that the walk and the plan do not take a core from the analysis for nothing.
        if (!stamp || files_.SharedBlockSize(*source, request.Folder) > 0) return Decide({});
        // The frames walked are let go before the copy: only where it goes is kept.
        const auto planned = PlanLastPart(*source, request, tags);
        if (!planned) return Decide({});
        Copied copied{files_.CreateOutput(planned->Path),
                      source->Path(),
                      *stamp,
                      planned->From,
                      planned->Length,
                      planned->At};
        Decide(planned->Path);
        copied.Output->MoveTo(copied.At);
        // In slices, so that a stop or the split's own end never waits long.
        constexpr std::int64_t kSlice = 16 << 20;
        for (std::int64_t done = 0; done < copied.Length;) {
            if (abandoned_ || stopping_()) return;
            const std::int64_t slice = std::min(kSlice, copied.Length - done);
            copied.Output->CopyFrom(*source, copied.From + done, slice);
            done += slice;
        }
        copied_ = std::move(copied);
    } catch (const std::exception&) {
        // The split copies it all, and tells of what fails then.
        Decide({});
    }
}

void CopyAhead::Decide(const std::string& path) {
    {
        const std::lock_guard lock(deciding_);
        if (decided_) return;
        decided_ = true;
        path_ = path;
    }
    decision_.notify_all();
}

void CopyAhead::Abandon() {
    abandoned_ = true;
    if (thread_.joinable()) thread_.join();
    copied_.reset();
}

std::unique_ptr<OutputFile> CopyAhead::CreateOutput(const std::string& path) {
    bool planned = false;
    if (thread_.joinable()) {
        std::unique_lock lock(deciding_);
        decision_.wait(lock, [this] { return decided_; });
        planned = path == path_;
    }
    if (planned) thread_.join();
    if (planned && copied_) {
        auto claimed = std::make_unique<Claimed>(std::move(*copied_));
        copied_.reset();
        return claimed;
    }
    return files_.CreateOutput(path);
}

}  // namespace quorvel
