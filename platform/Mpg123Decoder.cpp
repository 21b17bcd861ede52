#include "platform/Mpg123Decoder.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <utility>

#include "engine/FrameChain.h"
#include "engine/LengthHeader.h"
#include "engine/SourceLayout.h"
#include "platform/DesktopServices.h"

namespace quorvel::platform {
namespace {

using Freed = std::unique_ptr<char, decltype(&std::free)>;

// What the decoder is told of the file's frames. The frame count the file's Xing header
// states, where the header's byte count is that of the file's frames, from the header frame
// to the tags after the audio; -1 otherwise. The decoder need then not read every frame to
// count them; a file cut short or grown since its header was written holds other bytes than
// it states, and has its frames counted. Where the file has no length header at all, the
// count a walk over it just found does as well; the walk's frame starts, from where its
// audio starts, become the file's offsets. None of it where every frame is to be counted.
struct KnownFrames {
    long long Frames = -1;
    bool Walked = false;  // the walk's count, not a header's
    std::vector<long long> Index;
    SourceLayout Layout;
};

// Where a file is read rather than shown in place, its layout takes a few kilobytes: a block
// of the size a walk over the whole file reads, read and cleared for each file, took longer
// than the decoding about a seam.
constexpr std::size_t kLayoutBlock = 16 * 1024;
// Room for the frame after a stretch, which the walk looks at: the longest of a bit rate.
constexpr std::size_t kFrameAfterStretches = 4 * 1024;

KnownFrames FramesOf(SourceFile& file, AudioDecoder::Length measure, const WalkedFrames& walked) {
    KnownFrames known;
    if (measure == AudioDecoder::Length::Counted) return known;
    BlockReader reader(file, kLayoutBlock);
    known.Layout = ReadLayout(file, reader);
    const SourceLayout& layout = known.Layout;
    for (const std::int64_t start : walked.Starts) known.Index.push_back(layout.AudioStart + start);
    if (!layout.Header) {
        known.Frames = walked.Count;
        known.Walked = walked.Count >= 0;
        return known;
    }
    const auto stated = ReadStatedLength(layout.HeaderFrame, *layout.Header);
    if (stated && stated->Bytes == layout.Tags.TrailerAt - layout.HeaderStart) {
        known.Frames = stated->Frames;
    }
    return known;
}

// A file's audio frames as the module keeps them for its lead-ins, and where they start.
struct LeadInFrames {
    std::vector<QuorvelFrame> Frames;
    std::int64_t AudioStart = 0;
    std::vector<std::uint8_t> Sample;  // bytes of the file as walked (SampleOf)
};

// Some bytes from the start, the middle and the end of the file: a file of the same path
// and size rewritten since it was walked holds others there.
std::vector<std::uint8_t> SampleOf(SourceFile& file) {
    constexpr std::int64_t kBytes = 512;
    std::vector<std::uint8_t> sample;
    for (const std::int64_t at : {std::int64_t{0}, file.Size() / 2, file.Size() - kBytes}) {
        const auto from = std::max<std::int64_t>(0, at);
        const std::vector<std::uint8_t> bytes =
            ReadBytes(file, from, std::min(file.Size(), from + kBytes));
        sample.insert(sample.end(), bytes.begin(), bytes.end());
    }
    return sample;
}

// A walked frame as the module keeps it, and whether its room fits the count it keeps.
std::pair<QuorvelFrame, bool> Told(const ChainFrame& chained, const FrameStartBytes& start) {
    const FrameValues& frame = chained.Frame;
    QuorvelFrame known{};
    known.mainDataBegin = unsigned(frame.MainDataBegin) & 0x1FF;
    known.mainDataRoom = unsigned(MainDataRoom(frame)) & 0xFFF;
    known.mainDataStart = unsigned(MainDataStart(frame)) & 0x3F;
    known.protectedByCrc = frame.Protected;
    known.codesNothing = CodesNothing(start);
    known.walked = 1;
    return {known, known.mainDataRoom == unsigned(MainDataRoom(frame))};
}

// Every audio frame of the file, where they follow one another unbroken from the first after
// the length header's frame to the tags after them, none of them with more room than the
// module keeps count of; none otherwise.
LeadInFrames FramesForLeadIns(SourceFile& file) {
    BlockReader reader(file);
    const SourceLayout layout = ReadLayout(file, reader);
    LeadInFrames walked{{}, layout.AudioStart, SampleOf(file)};
    bool fits = true;
    const bool unbroken = WalkAudioFrames(
        reader, layout, [&](const ChainFrame& chained, const FrameStartBytes& start) {
            const auto [known, fit] = Told(chained, start);
            fits = fits && fit;
            walked.Frames.push_back(known);
        });
    if (!unbroken || !fits) walked.Frames.clear();
    return walked;
}

// A file read through ReadAt alone, never shown in place.
class ReadThrough final : public ByteSource {
  public:
    explicit ReadThrough(SourceFile& file) : file_(file) {}
    std::int64_t Size() const override { return file_.Size(); }
    std::size_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::size_t count) override {
        return file_.ReadAt(offset, buffer, count);
    }

  private:
    SourceFile& file_;
};

// The frames of a file whose walk the caller gave (their count, and where every `step`-th
// starts), each stretch of `step` of them walked once a read reaches it: the module's
// lead-ins look at the frames about a read's first alone, so that not even a long file is
// walked whole. A stretch that is not as the caller's walk found it stays unwalked.
class FramesAboutReads {
  public:
    FramesAboutReads(SourceFile& file, SourceLayout layout, std::vector<long long> index,
                     std::int64_t step, std::int64_t count)
        : file_(file),
          layout_(std::move(layout)),
          index_(std::move(index)),
          step_(step),
          count_(count),
          frames_(MapZeroed(count)),
          walked_(index_.size()) {}

    const QuorvelFrame* Frames() const { return frames_.get(); }
    std::int64_t Count() const { return count_; }
    std::int64_t AudioStart() const { return layout_.AudioStart; }

    // Walks the frames a read from sample frame `from` on may look at.
    void Reach(std::int64_t from) {
        // A frame either side for where the decoder's count of the frames before the first
        // played one differs from the LAME tag's.
        const std::int64_t frame =
            (from + PlayedLead(layout_.GaplessValues)) / layout_.SamplesPerFrame;
        const std::int64_t first = std::max<std::int64_t>(0, frame - kQuorvelFramesBefore - 1);
        const std::int64_t last = std::min<std::int64_t>(Count(), frame + kQuorvelFramesAfter + 1);
        const auto begin = std::size_t(first / step_);
        const std::size_t end = std::min(index_.size(), std::size_t((last + step_ - 1) / step_));
        if (begin >= end) return;
        // A reader of its own each time, whose block holds the stretches and the frame after
        // them: reads far apart would read more than they walk in blocks of a walk's size.
        const std::int64_t to = end < index_.size() ? index_[end] : file_.Size();
        BlockReader reader(file_, std::size_t(std::max<std::int64_t>(0, to - index_[begin])) +
                                      kFrameAfterStretches);
        for (std::size_t stretch = begin; stretch < end; ++stretch) Walk(reader, stretch);
    }

  private:
    void Walk(BlockReader& reader, std::size_t stretch) {
        if (walked_[stretch]) return;
        walked_[stretch] = true;
        const std::int64_t at = std::int64_t(stretch) * step_;
        const std::int64_t count = std::min(step_, Count() - at);
        std::vector<QuorvelFrame> found;
        bool fits = true;
        const bool unbroken =
            WalkAudioFramesFrom(reader, layout_, index_[stretch], count,
                                [&](const ChainFrame& chained, const FrameStartBytes& start) {
                                    const auto [known, fit] = Told(chained, start);
                                    fits = fits && fit;
                                    found.push_back(known);
                                });
        if (unbroken && fits && std::int64_t(found.size()) == count) {
            std::copy(found.begin(), found.end(), frames_.get() + at);
        }
    }

    ReadThrough file_;  // the frames about reads far apart, read rather than mapped
    const SourceLayout layout_;
    const std::vector<long long> index_;
    const std::int64_t step_;
    const std::int64_t count_;
    struct Unmap {
        std::size_t Bytes = 0;
        void operator()(QuorvelFrame* frames) const { ::munmap(frames, Bytes); }
    };
    using Mapped = std::unique_ptr<QuorvelFrame[], Unmap>;
    // Zeroed pages the system gives untouched, mapped of their own: memory only for the
    // stretches walked, not four bytes for every frame of a long file in each decoding of
    // it, which an allocation from memory used before clears whole.
    static Mapped MapZeroed(std::int64_t count) {
        const std::size_t bytes =
            std::max<std::size_t>(1, std::size_t(count)) * sizeof(QuorvelFrame);
        void* at =
            ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (at == MAP_FAILED) throw std::bad_alloc();
        return Mapped(static_cast<QuorvelFrame*>(at), Unmap{bytes});
    }
    Mapped frames_;             // those not walked (yet) zeroed
    std::vector<bool> walked_;  // the stretches walked or tried
};

}  // namespace

// The walks of the files open at once, by path and size, each kept while a decoding uses it
// and taken again where the file still holds the bytes it held.
class Mpg123Decoder::Walks {
  public:
    std::shared_ptr<const LeadInFrames> Of(SourceFile& file) {
        const std::lock_guard lock(mutex_);
        std::erase_if(walks_, [](const auto& walk) { return walk.second.expired(); });
        std::weak_ptr<const LeadInFrames>& known = walks_[{file.Path(), file.Size()}];
        if (auto walked = known.lock(); walked && walked->Sample == SampleOf(file)) return walked;
        auto walked = std::make_shared<const LeadInFrames>(FramesForLeadIns(file));
        known = walked;
        return walked;
    }

  private:
    std::mutex mutex_;
    std::map<std::pair<std::string, std::int64_t>, std::weak_ptr<const LeadInFrames>> walks_;
};

namespace {

// One file open in the module's decoder. The module reads it through ReadAt; what a read
// throws (a stop, a failed read) cannot pass through the module and libmpg123, so it
// waits here until the module has returned, and is thrown then.
class Mpg123Audio final : public DecodedAudio {
  public:
    Mpg123Audio(const QuorvelDesktopModule& module, std::unique_ptr<SourceFile> file,
                AudioDecoder::Length measure, const WalkedFrames& walked,
                Mpg123Decoder::Seeking seeking, std::shared_ptr<Mpg123Decoder::Walks> walks)
        : module_(module),
          walks_(std::move(walks)),
          file_(std::move(file)),
          reader_{this, file_->Size(), &ReadAt},
          endsEarly_(measure == AudioDecoder::Length::Decoded) {
        char* why = nullptr;
        long rate = 0;
        int channels = 0;
        long long length = 0;
        KnownFrames known = FramesOf(*file_, measure, walked);
        decoding_ = module_.DecoderOpen(
            &reader_, known.Walked ? -1 : known.Frames, known.Walked ? known.Frames : -1,
            known.Index.empty() ? nullptr : known.Index.data(), walked.Step, known.Index.size(),
            seeking == Mpg123Decoder::Seeking::Near, &rate, &channels, &length, &why);
        Settle(why, !decoding_);
        if (known.Index.size() > 1 && walked.Count > 0) {
            walkIndex_ = std::move(known.Index);
            walkLayout_ = std::move(known.Layout);
            walkStep_ = walked.Step;
            walkCount_ = walked.Count;
        }
        rate_ = std::int32_t(rate);
        channels_ = channels;
        length_ = length;
    }
    ~Mpg123Audio() override {
        if (decoding_) module_.DecoderClose(decoding_);
    }
    Mpg123Audio(const Mpg123Audio&) = delete;
    Mpg123Audio& operator=(const Mpg123Audio&) = delete;

    std::int32_t Rate() const override { return rate_; }
    std::int32_t Channels() const override { return channels_; }
    std::int64_t Length() const override { return length_; }

    std::vector<std::int16_t> Read(std::int64_t from, std::int64_t count) override {
        return Decoded(module_.DecoderRead, from, count);
    }
    std::vector<std::int16_t> Glance(std::int64_t from, std::int64_t count) override {
        GiveFrames();
        return Decoded(module_.DecoderGlance, from, count);
    }
    // Without the file's frames the module seeks in MPEG 2 and 2.5 (below 32 kHz) by decoding
    // from the start; in MPEG 1 its frame index takes it there with a lead-in of 16 frames,
    // less work than a walk over a long file, but more than walking the frames about each
    // read where the caller's walk tells where they start.
    void ExpectSeeks() override {
        apart_ = true;
        if (rate_ < 32000 || !walkIndex_.empty()) GiveFrames();
    }
    std::int64_t Damaged() const override { return module_.DecoderSilenced(decoding_) + missing_; }

  private:
    // The module is given the file's frames, once: of a file the caller walked, those about
    // each read as it comes.
    void GiveFrames() {
        if (frames_ || aboutReads_) return;
        if (!walkIndex_.empty()) {
            aboutReads_ = std::make_unique<FramesAboutReads>(
                *file_, std::move(walkLayout_), std::move(walkIndex_), walkStep_, walkCount_);
            module_.DecoderFrames(decoding_, aboutReads_->AudioStart(), aboutReads_->Frames(),
                                  static_cast<long long>(aboutReads_->Count()));
            return;
        }
        frames_ = walks_->Of(*file_);
        if (!frames_->Frames.empty()) {
            module_.DecoderFrames(decoding_, frames_->AudioStart, frames_->Frames.data(),
                                  static_cast<long long>(frames_->Frames.size()));
        }
    }
    // The sample frames [from, from + count) as `read` decodes them.
    std::vector<std::int16_t> Decoded(decltype(QuorvelDesktopModule::DecoderRead) read,
                                      std::int64_t from, std::int64_t count) {
        count = std::clamp<std::int64_t>(count, 0, std::max<std::int64_t>(length_ - from, 0));
        std::vector<std::int16_t> samples(std::size_t(count * channels_));
        if (aboutReads_) aboutReads_->Reach(from);
        char* why = nullptr;
        const long long done = read(decoding_, from, count, samples.data(), &why);
        Settle(why, done < 0);
        if (done != count && !endsEarly_) {
            throw FileError(FileError::Operation::Read, file_->Path(),
                            Tr("Files", "it decodes to fewer samples than its length"));
        }
        if (done != count) {
            missing_ += length_ - (from + done);
            length_ = from + done;
            samples.resize(std::size_t(done * channels_));
        }
        return samples;
    }

    static long long ReadAt(void* handle, long long offset, void* buffer, std::size_t count) {
        auto& audio = *static_cast<Mpg123Audio*>(handle);
        try {
            // In place where the file is mapped, as the analysis reads it, unless reads far
            // apart follow: a window mapped for each read, and unmapped after it, costs more
            // than reading its few frames.
            const auto shown =
                audio.apart_ ? std::span<const std::uint8_t>() : audio.file_->View(offset, count);
            if (!shown.empty()) {
                const std::size_t n = std::min(count, shown.size());
                std::memcpy(buffer, shown.data(), n);
                return static_cast<long long>(n);
            }
            return static_cast<long long>(
                audio.ReadAhead(offset, static_cast<std::uint8_t*>(buffer), count));
        } catch (...) {
            audio.failure_ = std::current_exception();
            return -1;
        }
    }

    // The module reads a frame's header and its body apart: a file not shown in place is read
    // a few frames ahead, each read of the module's then no call of the system's.
    std::size_t ReadAhead(std::int64_t offset, std::uint8_t* buffer, std::size_t count) {
        constexpr std::size_t kAhead = 8 * 1024;
        if (offset < aheadAt_ ||
            offset + std::int64_t(count) > aheadAt_ + std::int64_t(aheadFill_)) {
            if (count >= kAhead || offset >= file_->Size()) {
                return file_->ReadAt(offset, buffer, count);
            }
            ahead_.resize(kAhead);
            aheadFill_ = 0;
            aheadAt_ = offset;
            aheadFill_ =
                file_->ReadAt(offset, ahead_.data(),
                              std::size_t(std::min<std::int64_t>(kAhead, file_->Size() - offset)));
        }
        const std::size_t n = std::min(count, aheadFill_ - std::size_t(offset - aheadAt_));
        std::memcpy(buffer, ahead_.data() + (offset - aheadAt_), n);
        return n;
    }

    // After a call into the module: what a read threw, or else a failure the module
    // reported, becomes the exception here. The module may carry on past a failed read
    // (a scan takes it for the end), so a read's exception wins either way.
    void Settle(char* why, bool failed) {
        const Freed reason(why, &std::free);
        if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
        file_->ConfirmViews();
        if (failed) {
            throw FileError(FileError::Operation::Read, file_->Path(),
                            Tr("Files", "it does not decode (%1)")
                                .Arg(std::string(reason ? reason.get() : "out of memory")));
        }
    }

    const QuorvelDesktopModule& module_;
    std::shared_ptr<Mpg123Decoder::Walks> walks_;
    std::shared_ptr<const LeadInFrames> frames_;  // the module's for its lead-ins, once walked
    std::unique_ptr<SourceFile> file_;
    // The caller's walk of the file, where it gave one: where every `walkStep_`-th of its
    // `walkCount_` frames starts, the file's layout as read for it, and once the module has
    // them, those about the reads.
    std::vector<long long> walkIndex_;
    SourceLayout walkLayout_;
    std::int64_t walkStep_ = 0;
    std::int64_t walkCount_ = 0;
    std::unique_ptr<FramesAboutReads> aboutReads_;
    bool apart_ = false;               // reads far apart follow (ExpectSeeks)
    std::vector<std::uint8_t> ahead_;  // the bytes ReadAhead read from aheadAt_ on
    std::int64_t aheadAt_ = 0;
    std::size_t aheadFill_ = 0;
    QuorvelFileReader reader_;
    std::exception_ptr failure_;
    QuorvelDecoding* decoding_ = nullptr;
    std::int32_t rate_ = 0;
    std::int32_t channels_ = 0;
    std::int64_t length_ = 0;
    const bool endsEarly_;      // Length::Decoded: the decoding's end is the file's
    std::int64_t missing_ = 0;  // the sample frames it ended early by
};

// Where the module is loaded but libmpg123 is not to be had, why.
std::optional<std::string> LibraryUnavailable(const QuorvelDesktopModule& module) {
    const Freed why(module.DecoderUnavailable(), &std::free);
    if (!why) return std::nullopt;
    return std::string(why.get());
}

}  // namespace

Mpg123Decoder::Mpg123Decoder(Seeking seeking)
    : seeking_(seeking), walks_(std::make_shared<Walks>()) {}

std::optional<std::string> Mpg123Decoder::Unavailable() {
    std::string why;
    const QuorvelDesktopModule* module = DesktopModule(why);
    if (!module) return why;
    return LibraryUnavailable(*module);
}

std::unique_ptr<DecodedAudio> Mpg123Decoder::Open(std::unique_ptr<SourceFile> file, Length length,
                                                  const WalkedFrames& walked) {
    std::string why;
    const QuorvelDesktopModule* module = DesktopModule(why);
    if (!module) {
        throw FileError(FileError::Operation::Read, file->Path(),
                        Tr("Files", "the decoder could not be loaded (%1)").Arg(why));
    }
    return std::make_unique<Mpg123Audio>(*module, std::move(file), length, walked, seeking_,
                                         walks_);
}

}  // namespace quorvel::platform
