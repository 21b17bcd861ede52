#include "engine/SeamCheck.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "engine/Numbers.h"

namespace quorvel {
namespace {

Message Format(const DecodedAudio& audio) {
    return TrN("SeamCheck", "%1 Hz, %n channels", "%1 Hz, %n channel")
        .Count(audio.Channels())
        .Arg(FormatCount(audio.Rate(), "."));
}

// Where the differences lie, in whole milliseconds from the cut, rounded up.
Message Where(const SeamReport& report, std::int32_t rate) {
    const auto ms = [rate](std::int64_t frames) {
        return FormatCount((frames * 1000 + rate - 1) / rate, ".");
    };
    if (report.DifferingBefore > 0 && report.DifferingAfter > 0) {
        return Tr("SeamCheck", "from %1 ms before to %2 ms after the cut")
            .Arg(ms(report.DifferingBefore))
            .Arg(ms(report.DifferingAfter));
    }
    if (report.DifferingAfter > 0) {
        return Tr("SeamCheck", "up to %1 ms after the cut").Arg(ms(report.DifferingAfter));
    }
    return Tr("SeamCheck", "up to %1 ms before the cut").Arg(ms(report.DifferingBefore));
}

// The source's side of each seam, decoded on another core meanwhile, where there is a thread
// to be had: one thread for the whole check, as a thread started for each seam cost a tenth
// of the decoding it took over. Without one, each side is decoded when taken.
class SourceSide {
  public:
    explicit SourceSide(DecodedAudio& whole) : whole_(whole) {
        try {
            thread_ = std::jthread([this] { Serve(); });
        } catch (const std::system_error&) {
        }
    }
    ~SourceSide() {
        {
            const std::lock_guard lock(mutex_);
            ended_ = true;
        }
        changed_.notify_all();
    }
    SourceSide(const SourceSide&) = delete;
    SourceSide& operator=(const SourceSide&) = delete;

    DecodedAudio& Whole() { return whole_; }
    // Begins decoding the source's [from, from + count).
    void Ask(std::int64_t from, std::int64_t count) {
        {
            const std::lock_guard lock(mutex_);
            asked_ = {from, count};
            done_ = false;
        }
        changed_.notify_all();
    }
    // The samples asked for, or what their decoding threw.
    std::vector<std::int16_t> Take() {
        if (!thread_.joinable()) return whole_.Read(asked_->first, asked_->second);
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return done_; });
        if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
        return std::move(samples_);
    }

  private:
    void Serve() {
        std::unique_lock lock(mutex_);
        while (true) {
            changed_.wait(lock, [this] { return ended_ || asked_; });
            if (ended_) return;
            const auto [from, count] = *std::exchange(asked_, std::nullopt);
            lock.unlock();
            std::vector<std::int16_t> samples;
            std::exception_ptr failure;
            try {
                samples = whole_.Read(from, count);
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            samples_ = std::move(samples);
            failure_ = failure;
            done_ = true;
            changed_.notify_all();
        }
    }

    DecodedAudio& whole_;
    std::mutex mutex_;  // guards what follows
    std::condition_variable changed_;
    std::optional<std::pair<std::int64_t, std::int64_t>> asked_;
    bool done_ = false;
    bool ended_ = false;
    std::vector<std::int16_t> samples_;
    std::exception_ptr failure_;
    std::jthread thread_;  // last: ends, and is joined, first
};

// Compares the source's samples SeamWindow on either side of the cut, less where a part or
// the source ends first, with the parts', into `report`.
void Compare(SourceSide& source, DecodedAudio& one, DecodedAudio& two, SeamReport& report) {
    DecodedAudio& whole = source.Whole();
    const std::int32_t rate = whole.Rate();
    const auto channels = std::size_t(whole.Channels());
    const std::int64_t before = report.Before;
    const std::int64_t cut = before + report.FirstLength;
    const std::int64_t window = SeamWindow(rate);
    const std::int64_t from = cut - std::min(window, report.FirstLength);
    const std::int64_t to =
        std::min(cut + std::min(window, report.SecondLength), report.SourceLength);
    if (from >= to) return;
    source.Ask(from, to - from);
    const std::int64_t joint = std::min(cut, to);
    std::vector<std::int16_t> parts = one.Read(from - before, joint - from);
    const std::vector<std::int16_t> rest = two.Read(0, to - joint);
    parts.insert(parts.end(), rest.begin(), rest.end());
    const std::vector<std::int16_t> expected = source.Take();
    report.Compared = to - from;
    const std::size_t frames = std::min(expected.size(), parts.size()) / channels;
    for (std::size_t frame = 0; frame < frames; ++frame) {
        int largest = 0;
        for (std::size_t at = frame * channels; at < (frame + 1) * channels; ++at) {
            largest = std::max(largest, std::abs(expected[at] - parts[at]));
        }
        if (largest == 0) continue;
        ++report.Differing;
        report.LargestDifference = std::max(report.LargestDifference, largest);
        const std::int64_t position = from + std::int64_t(frame);
        if (position < cut) {
            report.DifferingBefore = std::max(report.DifferingBefore, cut - position);
        } else {
            report.DifferingAfter = std::max(report.DifferingAfter, position - cut + 1);
        }
    }
}

// The seam between `one` and `two`, which follow `before` sample frames of other parts.
SeamReport CompareSeam(SourceSide& source, DecodedAudio& one, DecodedAudio& two,
                       std::int64_t before, std::size_t first) {
    DecodedAudio& whole = source.Whole();
    SeamReport report;
    report.Decoded = true;
    report.SourceLength = whole.Length();
    report.FirstLength = one.Length();
    report.SecondLength = two.Length();
    report.Before = before;
    report.Rate = whole.Rate();
    const std::int32_t rate = report.Rate;
    const std::int32_t channels = whole.Channels();
    if (one.Rate() != rate || two.Rate() != rate || one.Channels() != channels ||
        two.Channels() != channels) {
        report.SameFormat = false;
        report.Lines.push_back(
            Tr("SeamCheck",
               "Seam check: the parts do not decode as the source does (%1; part %2: %3; part "
               "%4: %5).")
                .Arg(Format(whole))
                .Arg(std::int64_t(first))
                .Arg(Format(one))
                .Arg(std::int64_t(first + 1))
                .Arg(Format(two)));
        return report;
    }

    Compare(source, one, two, report);
    const std::string compared = FormatCount(report.Compared, ".");
    if (report.Differing == 0) {
        report.Lines.push_back(
            Tr("SeamCheck",
               "Seam check: the parts join the source exactly (0 of %1 samples differ)")
                .Arg(compared));
    } else {
        report.Lines.push_back(TrN("SeamCheck",
                                   "Seam check: %1 of %2 samples differ, by up to %3 steps, %4.",
                                   "Seam check: %1 of %2 samples differs, by up to %3 steps, %4.")
                                   .Count(report.Differing)
                                   .Arg(FormatCount(report.Differing, "."))
                                   .Arg(compared)
                                   .Arg(FormatCount(report.LargestDifference, "."))
                                   .Arg(Where(report, rate)));
    }
    return report;
}

// Gives each seam the parts around it, and the last one a line where the parts together
// are not as long as the source.
void TellLengths(const std::vector<std::int64_t>& lengths, std::int64_t source,
                 std::vector<SeamReport>& reports) {
    std::int64_t total = 0;
    for (const std::int64_t length : lengths) total += length;
    for (SeamReport& report : reports) {
        report.After = total - report.Before - report.FirstLength - report.SecondLength;
    }
    const std::int64_t extra = total - source;
    if (extra == 0) return;
    std::string sum;
    for (const std::int64_t length : lengths) {
        sum += (sum.empty() ? "" : " + ") + FormatCount(length, ".");
    }
    reports.back().Lines.push_back(
        (extra > 0 ? TrN("SeamCheck",
                         "Seam check: the parts hold %1 samples more than the source (%2 "
                         "against %3).",
                         "Seam check: the parts hold %1 sample more than the source (%2 "
                         "against %3).")
                   : TrN("SeamCheck",
                         "Seam check: the parts hold %1 samples fewer than the source (%2 "
                         "against %3).",
                         "Seam check: the parts hold %1 sample fewer than the source (%2 "
                         "against %3)."))
            .Count(std::abs(extra))
            .Arg(FormatCount(std::abs(extra), "."))
            .Arg(sum)
            .Arg(FormatCount(source, ".")));
}

// Every how many frames the decoder is told where one starts: a seek reads the frames
// from the one told before it on, and the starts of a long file stay a small share of
// its size.
constexpr std::int64_t kStartsStep = 32;
static_assert(kStartsStep > kMostFramesBeforeCut, "a part's own frames before the source's");

}  // namespace

WalkedFrames WalkedSource(const SourceCuts& cuts) {
    if (cuts.RunFrames < 0) return {};
    WalkedFrames walked{cuts.RunFrames, kStartsStep, {}};
    walked.Starts.reserve(std::size_t(cuts.RunFrames / kStartsStep + 1));
    const std::int64_t first = cuts.Parts.front().From();
    std::int64_t frame = 0;  // of the source's, counting each once
    std::int64_t end = first;
    for (const PartFrames& part : cuts.Parts) {
        PartFrames::Starts starts(part);
        // The frame of an exact cut, which ends the part before too, is counted there.
        std::int64_t shared = 0;
        while (shared < part.Count() && starts.At(shared) < end) ++shared;
        if (shared == part.Count()) continue;
        for (std::int64_t index = shared + (kStartsStep - frame % kStartsStep) % kStartsStep;
             index < part.Count(); index += kStartsStep) {
            walked.Starts.push_back(starts.At(index) - first);
        }
        frame += part.Count() - shared;
        end = part.End();
    }
    return walked;
}

WalkedFrames WalkedPart(const PartFrames& frames, std::int64_t lead, std::int64_t leadBytes,
                        std::int64_t trail) {
    WalkedFrames walked{lead + frames.Count() + trail, kStartsStep, {}};
    walked.Starts.reserve(std::size_t((lead + frames.Count()) / kStartsStep + 1));
    if (lead + frames.Count() > 0) walked.Starts.push_back(0);
    // The added frames come first, and are fewer than a step.
    PartFrames::Starts starts(frames);
    for (std::int64_t frame = kStartsStep; frame < lead + frames.Count(); frame += kStartsStep) {
        walked.Starts.push_back(leadBytes + starts.At(frame - lead) - frames.From());
    }
    return walked;
}

namespace {

// A part's file and its frames where the walk knows them, in order, on each call.
using NextPart = std::function<std::pair<std::unique_ptr<SourceFile>, WalkedFrames>()>;

// CheckSeams, the source given open and the parts as `next` gives them.
std::vector<SeamReport> CheckSeamsOf(AudioDecoder& decoder, std::unique_ptr<SourceFile> source,
                                     const WalkedFrames& walked, std::size_t parts,
                                     const NextPart& next) {
    // Two parts open at a time, each decoded once: the second of a seam is the first of the
    // next. Every file, any of which may be long, is decoded about the cuts only, and goes
    // by its length header where that holds. Where the split's walk found the frames, their
    // count stands in for a header that is missing and their starts are where the seeks
    // start, so that no file is read whole; otherwise the first part, of files named to
    // `verify`, has its frames counted.
    using Length = AudioDecoder::Length;
    const auto whole = decoder.Open(std::move(source), Length::Stated, walked);
    // Each file is read about its cuts: the source at every one, a part at its two ends.
    whole->ExpectSeeks();
    SourceSide side(*whole);
    std::vector<SeamReport> reports;
    std::vector<std::int64_t> lengths;
    auto [first, firstWalked] = next();
    auto one = decoder.Open(std::move(first),
                            firstWalked.Count < 0 ? Length::Counted : Length::Stated, firstWalked);
    one->ExpectSeeks();
    lengths.push_back(one->Length());
    std::int64_t before = 0;
    for (std::size_t index = 1; index < parts; ++index) {
        auto [file, fileWalked] = next();
        auto two = decoder.Open(std::move(file), Length::Stated, fileWalked);
        two->ExpectSeeks();
        lengths.push_back(two->Length());
        reports.push_back(CompareSeam(side, *one, *two, before, index));
        if (parts > 2) {
            reports.back().Lines.insert(reports.back().Lines.begin(),
                                        Tr("SeamCheck", "Seam between parts %1 and %2:")
                                            .Arg(std::int64_t(index))
                                            .Arg(std::int64_t(index + 1)));
        }
        before += one->Length();
        one = std::move(two);
    }
    TellLengths(lengths, whole->Length(), reports);
    return reports;
}

// The one report of a check the decoder cannot make; none where it can.
std::optional<std::vector<SeamReport>> WithoutDecoder(AudioDecoder& decoder) {
    const auto why = decoder.Unavailable();
    if (!why) return std::nullopt;
    SeamReport report;
    report.Lines.push_back(
        Tr("SeamCheck", "Seam check skipped: the decoder could not be loaded (%1).").Arg(*why));
    return std::vector<SeamReport>{report};
}

// How many written parts may wait for the check, each holding a descriptor.
constexpr std::size_t kWaitingParts = 8;

}  // namespace

std::vector<SeamReport> CheckSeams(AudioDecoder& decoder, FileSystem& files,
                                   const std::string& source, const std::vector<std::string>& parts,
                                   const WalkedFiles& walked) {
    if (auto skipped = WithoutDecoder(decoder)) return *skipped;
    std::size_t index = 0;
    const NextPart next = [&] {
        const WalkedFrames& frames =
            index < walked.Parts.size() ? walked.Parts[index] : WalkedFrames{};
        return std::pair(files.OpenSource(parts[index++]), frames);
    };
    return CheckSeamsOf(decoder, files.OpenSource(source), walked.Source, parts.size(), next);
}

SeamReport CheckSeam(AudioDecoder& decoder, FileSystem& files, const std::string& source,
                     const std::string& first, const std::string& second) {
    return CheckSeams(decoder, files, source, {first, second}).front();
}

SeamCheckAlongside::SeamCheckAlongside(AudioDecoder& decoder, FileSystem& files, std::string source,
                                       std::size_t parts, std::function<WalkedFrames()> walked)
    : decoder_(decoder),
      files_(files),
      thread_([this, source = std::move(source), parts, walked = std::move(walked)] {
          Run(source, parts, walked);
      }) {}

SeamCheckAlongside::~SeamCheckAlongside() {
    {
        const std::lock_guard lock(mutex_);
        ended_ = true;
    }
    changed_.notify_all();
}

void SeamCheckAlongside::Run(const std::string& source, std::size_t parts,
                             const std::function<WalkedFrames()>& walked) {
    std::vector<SeamReport> reports;
    std::exception_ptr failure;
    try {
        if (auto skipped = WithoutDecoder(decoder_)) {
            reports = std::move(*skipped);
        } else {
            reports = CheckSeamsOf(decoder_, files_.OpenBeside(source), walked(), parts, [this] {
                Part part = Next();
                return std::pair(std::move(part.File),
                                 part.Walked ? part.Walked() : WalkedFrames{});
            });
        }
    } catch (...) {
        failure = std::current_exception();
    }
    const std::lock_guard lock(mutex_);
    reports_ = std::move(reports);
    failure_ = failure;
    done_ = true;
    written_.clear();
    changed_.notify_all();
}

SeamCheckAlongside::Part SeamCheckAlongside::Next() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ended_ || !written_.empty(); });
    if (ended_) throw WorkStopped();
    Part part = std::move(written_.front());
    written_.pop_front();
    changed_.notify_all();
    return part;
}

void SeamCheckAlongside::Written(std::unique_ptr<SourceFile> part,
                                 std::function<WalkedFrames()> walked) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return done_ || written_.size() < kWaitingParts; });
    if (!done_) written_.push_back({std::move(part), std::move(walked)});
    changed_.notify_all();
}

std::vector<SeamReport> SeamCheckAlongside::Reports() {
    thread_.join();
    if (failure_) std::rethrow_exception(failure_);
    return std::move(reports_);
}

std::vector<SeamReport> LogSeamCheck(Reporter& reporter,
                                     const std::function<std::vector<SeamReport>()>& check) {
    reporter.Step(Tr("SeamCheck", "Checking the seam"));
    try {
        std::vector<SeamReport> reports = check();
        for (const SeamReport& report : reports) {
            for (const Message& line : report.Lines) reporter.Log(line);
        }
        if (reports.front().Decoded) return reports;
    } catch (const WorkStopped&) {
        reporter.Log(Tr("SeamCheck", "Seam check skipped: the split was stopped."));
    } catch (const FileError& error) {
        reporter.Log((error.Failed() == FileError::Operation::Read
                          ? Tr("SeamCheck", "Seam check skipped: cannot read %1: %2.")
                          : Tr("SeamCheck", "Seam check skipped: cannot write %1: %2."))
                         .Arg(error.Path())
                         .Arg(error.Reason()));
    }
    return {};
}

}  // namespace quorvel
