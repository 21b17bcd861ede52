#include "engine/SeamCheck.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "engine/Numbers.h"

namespace quorvel {
namespace {

// `count` things, in the singular for one.
std::string Count(std::int64_t count, const std::string& thing) {
    return FormatCount(count, ".") + " " + thing + (count == 1 ? "" : "s");
}

std::string Format(const DecodedAudio& audio) {
    return FormatCount(audio.Rate(), ".") + " Hz, " + Count(audio.Channels(), "channel");
}

// Where the differences lie, in whole milliseconds from the cut, rounded up.
std::string Where(const SeamReport& report, std::int32_t rate) {
    const auto ms = [rate](std::int64_t frames) {
        return FormatCount((frames * 1000 + rate - 1) / rate, ".") + " ms";
    };
    if (report.DifferingBefore > 0 && report.DifferingAfter > 0) {
        return "from " + ms(report.DifferingBefore) + " before to " + ms(report.DifferingAfter) +
               " after the cut";
    }
    if (report.DifferingAfter > 0) return "up to " + ms(report.DifferingAfter) + " after the cut";
    return "up to " + ms(report.DifferingBefore) + " before the cut";
}

}  // namespace

SeamReport CheckSeam(AudioDecoder& decoder, FileSystem& files, const std::string& source,
                     const std::string& first, const std::string& second) {
    SeamReport report;
    if (const auto why = decoder.Unavailable()) {
        report.Lines.push_back("Seam check skipped: the decoder could not be loaded (" + *why +
                               ").");
        return report;
    }
    report.Decoded = true;
    const auto whole = decoder.Open(files.OpenSource(source));
    const auto one = decoder.Open(files.OpenSource(first));
    const auto two = decoder.Open(files.OpenSource(second));
    report.SourceLength = whole->Length();
    report.FirstLength = one->Length();
    report.SecondLength = two->Length();
    const std::int32_t rate = whole->Rate();
    const std::int32_t channels = whole->Channels();
    if (one->Rate() != rate || two->Rate() != rate || one->Channels() != channels ||
        two->Channels() != channels) {
        report.SameFormat = false;
        report.Lines.push_back("Seam check: the parts do not decode as the source does (" +
                               Format(*whole) + "; part 1: " + Format(*one) +
                               "; part 2: " + Format(*two) + ").");
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

    const std::string compared = FormatCount(report.Compared, ".") + " samples";
    if (report.Differing == 0) {
        report.Lines.push_back("Seam check: the parts join the source exactly (0 of " + compared +
                               " differ)");
    } else {
        report.Lines.push_back("Seam check: " + FormatCount(report.Differing, ".") + " of " +
                               compared + (report.Differing == 1 ? " differs" : " differ") +
                               ", by up to " + FormatCount(report.LargestDifference, ".") +
                               " steps, " + Where(report, rate) + ".");
    }
    const std::int64_t extra = report.FirstLength + report.SecondLength - report.SourceLength;
    if (extra != 0) {
        report.Lines.push_back("Seam check: the parts hold " + Count(std::abs(extra), "sample") +
                               (extra > 0 ? " more" : " fewer") + " than the source (" +
                               FormatCount(report.FirstLength, ".") + " + " +
                               FormatCount(report.SecondLength, ".") + " against " +
                               FormatCount(report.SourceLength, ".") + ").");
    }
    return report;
}

std::optional<SeamReport> LogSeamCheck(SplitForm& form, AudioDecoder& decoder, FileSystem& files,
                                       const std::string& source, const std::string& first,
                                       const std::string& second) {
    try {
        SeamReport report = CheckSeam(decoder, files, source, first, second);
        for (const std::string& line : report.Lines) form.LogAppend(line);
        if (report.Decoded) return report;
    } catch (const WorkStopped&) {
        form.LogAppend("Seam check skipped: the split was stopped.");
    } catch (const FileError& error) {
        std::string why = error.Message();
        why.front() = char(std::tolower(static_cast<unsigned char>(why.front())));
        form.LogAppend("Seam check skipped: " + why);
    }
    return std::nullopt;
}

}  // namespace quorvel
