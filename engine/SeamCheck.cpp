#include "engine/SeamCheck.h"

#include <algorithm>
#include <cstdlib>

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

}  // namespace

SeamReport CheckSeam(AudioDecoder& decoder, FileSystem& files, const std::string& source,
                     const std::string& first, const std::string& second) {
    SeamReport report;
    if (const auto why = decoder.Unavailable()) {
        report.Lines.push_back(
            Tr("SeamCheck", "Seam check skipped: the decoder could not be loaded (%1).").Arg(*why));
        return report;
    }
    report.Decoded = true;
    // The first part is decoded to its end, which reads all its frames anyway: they are
    // counted. The source and the second part, either of which may be long, are decoded
    // about the cut only, and go by their length headers where these hold rather than have
    // every frame read.
    using Length = AudioDecoder::Length;
    const auto whole = decoder.Open(files.OpenSource(source), Length::Stated);
    const auto one = decoder.Open(files.OpenSource(first), Length::Counted);
    const auto two = decoder.Open(files.OpenSource(second), Length::Stated);
    report.SourceLength = whole->Length();
    report.FirstLength = one->Length();
    report.SecondLength = two->Length();
    const std::int32_t rate = whole->Rate();
    const std::int32_t channels = whole->Channels();
    if (one->Rate() != rate || two->Rate() != rate || one->Channels() != channels ||
        two->Channels() != channels) {
        report.SameFormat = false;
        report.Lines.push_back(
            Tr("SeamCheck",
               "Seam check: the parts do not decode as the source does (%1; part 1: %2; part 2: "
               "%3).")
                .Arg(Format(*whole))
                .Arg(Format(*one))
                .Arg(Format(*two)));
        return report;
    }

    // A second on either side of the cut, less where a file ends first.
    const std::int64_t cut = report.FirstLength;
    const std::int64_t from = cut - std::min<std::int64_t>(rate, cut);
    const std::int64_t to =
        std::min(cut + std::min<std::int64_t>(rate, report.SecondLength), report.SourceLength);
    if (from < to) {
        const std::vector<std::int16_t> expected = whole->Read(from, to - from);
        const std::int64_t joint = std::min(cut, to);
        std::vector<std::int16_t> parts = one->Read(from, joint - from);
        const std::vector<std::int16_t> rest = two->Read(0, to - joint);
        parts.insert(parts.end(), rest.begin(), rest.end());
        report.Compared = to - from;
        const std::size_t frames = std::min(expected.size(), parts.size()) / std::size_t(channels);
        for (std::size_t frame = 0; frame < frames; ++frame) {
            int largest = 0;
            for (std::size_t at = frame * std::size_t(channels);
                 at < (frame + 1) * std::size_t(channels); ++at) {
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
    const std::int64_t extra = report.FirstLength + report.SecondLength - report.SourceLength;
    if (extra != 0) {
        report.Lines.push_back(
            (extra > 0 ? TrN("SeamCheck",
                             "Seam check: the parts hold %1 samples more than the source (%2 + %3 "
                             "against %4).",
                             "Seam check: the parts hold %1 sample more than the source (%2 + %3 "
                             "against %4).")
                       : TrN("SeamCheck",
                             "Seam check: the parts hold %1 samples fewer than the source (%2 + "
                             "%3 against %4).",
                             "Seam check: the parts hold %1 sample fewer than the source (%2 + %3 "
                             "against %4)."))
                .Count(std::abs(extra))
                .Arg(FormatCount(std::abs(extra), "."))
                .Arg(FormatCount(report.FirstLength, "."))
                .Arg(FormatCount(report.SecondLength, "."))
                .Arg(FormatCount(report.SourceLength, ".")));
    }
    return report;
}

std::optional<SeamReport> LogSeamCheck(SplitForm& form, AudioDecoder& decoder, FileSystem& files,
                                       const std::string& source, const std::string& first,
                                       const std::string& second) {
    try {
        SeamReport report = CheckSeam(decoder, files, source, first, second);
        for (const Message& line : report.Lines) form.LogAppend(line);
        if (report.Decoded) return report;
    } catch (const WorkStopped&) {
        form.LogAppend(Tr("SeamCheck", "Seam check skipped: the split was stopped."));
    } catch (const FileError& error) {
        form.LogAppend((error.Failed() == FileError::Operation::Read
                            ? Tr("SeamCheck", "Seam check skipped: cannot read %1: %2.")
                            : Tr("SeamCheck", "Seam check skipped: cannot write %1: %2."))
                           .Arg(error.Path())
                           .Arg(error.Reason()));
    }
    return std::nullopt;
}

}  // namespace quorvel
