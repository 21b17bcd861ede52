#include "engine/SourceAnalysis.h"

#include <cmath>

#include "engine/Numbers.h"
#include "engine/SplitSearch.h"

namespace quorvel {
namespace {

// Scans the open source into `analysis`; false where the scan did not end.
bool Scan(SourceFile& source, Reporter& reporter, AnalysisKeeps keeps, Analysis& analysis) {
    try {
        FileInformation info;
        std::optional<CutsAlong> cuts;
        if (keeps.CutsAt) {
            BlockReader reader(source);
            cuts.emplace(ReadLayout(source, reader), *keeps.CutsAt, keeps.ExactCuts);
        }
        auto record =
            keeps.Frames && !cuts ? std::make_shared<ChainRecord>(source.Stamp()) : nullptr;
        analysis.Scan =
            ScanFrameChain(source, info, keeps.Levels ? &analysis.Levels.Levels : nullptr,
                           cuts ? &*cuts : static_cast<FrameSink*>(record.get()));
        if (analysis.Scan.Frames > 0) analysis.Walked = std::move(record);
        // A file of no frames is not split: its search is not walked on over its bytes.
        const bool framed = analysis.Scan.Frames > 0;
        if (auto found = cuts && framed ? cuts->Finish(source) : std::nullopt) {
            analysis.Cuts = std::make_shared<const FoundCuts>(
                FoundCuts{source.Stamp(), *keeps.CutsAt, keeps.ExactCuts, *std::move(found)});
        }
        if (analysis.Scan.TotalSeconds > 0) {
            analysis.Played = MeasurePlayedLength(source, analysis.Scan.TotalSeconds);
        }
        return true;
    } catch (const FileError& error) {
        reporter.Log(error.Message());
        analysis.Problem = Refusal{error.Message(), Field::Source};
        analysis.Outcome = AnalysisOutcome::Unreadable;
    } catch (const WorkStopped&) {
        reporter.Log(Tr("Analysis", "Nothing was changed: the analysis was stopped."));
        analysis.Outcome = AnalysisOutcome::Stopped;
    }
    return false;
}

}  // namespace

Analysis AnalyseSource(FileSystem& files, const std::string& path, Reporter& reporter,
                       AnalysisKeeps keeps) {
    Analysis analysis;
    // Nothing to analyse: the log no longer tells of the file analysed before.
    const auto nothing = [&](const Message& message) {
        reporter.Begin(message);
        analysis.Problem = Refusal{message, Field::Source};
        return analysis;
    };
    if (TrimBlanks(path).empty())
        return nothing(Tr("Analysis", "Please choose a source MP3 file to analyse."));
    std::unique_ptr<SourceFile> source;
    try {
        source = files.OpenSource(path);
    } catch (const FileError& error) {
        return nothing(error.Message());
    } catch (const WorkStopped&) {
        analysis.Outcome = AnalysisOutcome::Stopped;
        return analysis;
    }
    analysis.Bytes = source->Size();
    analysis.Stamp = source->Stamp();
    reporter.Begin(
        Tr("Analysis", "Analysing chosen file %1... Please wait for a few seconds.").Arg(path));
    if (!Scan(*source, reporter, keeps, analysis)) return analysis;
    source.reset();
    if (analysis.Scan.TotalSeconds <= 0) {
        const Message invalid =
            Tr("Analysis", "File selected is not a valid MP3 file. Please select another.");
        reporter.Log(invalid);
        analysis.Problem = Refusal{invalid, Field::Source};
        analysis.Outcome = AnalysisOutcome::NoFrames;
        return analysis;
    }
    if (keeps.Levels) {
        analysis.Levels.SamplesPerFrame = analysis.Scan.Stream.MpegVersion == 1 ? 1152 : 576;
        analysis.Levels.SamplingRate = analysis.Scan.Stream.SamplingRate;
    }
    reporter.Log(Tr("Analysis", "File information updated."));
    analysis.Outcome = AnalysisOutcome::FramesFound;
    return analysis;
}

std::optional<InformationFields> Fields(const Analysis& analysis, const std::string& separator) {
    InformationFields fields;
    switch (analysis.Outcome) {
        case AnalysisOutcome::Stopped:
            if (analysis.Bytes < 0) return std::nullopt;
            [[fallthrough]];
        case AnalysisOutcome::Unreadable:
            return fields;
        case AnalysisOutcome::NoFrames:
            fields.Size = FormatMegabytes(analysis.Bytes, separator);
            fields.Type = Tr("Analysis", "Unknown");
            return fields;
        case AnalysisOutcome::FramesFound:
            break;
    }
    const ScanResult& scan = analysis.Scan;
    // The stream as its frames have it; a variable bit rate as its average.
    const FileInformation& stream = scan.Stream;
    const std::int64_t bitRate = scan.VariableBitRate
                                     ? std::llround(double(scan.Bytes) * 8 / scan.StreamSeconds)
                                     : stream.BitRate;
    fields.Size = FormatMegabytes(analysis.Bytes, separator);
    fields.Type = "MPEG" + FormatNumber(stream.MpegVersion, separator) + " Layer " +
                  std::to_string(stream.LayerNumber);
    fields.BitRate = std::to_string(bitRate);
    fields.Sampling = std::to_string(stream.SamplingRate);
    fields.Frames = std::to_string(scan.Frames);
    fields.Duration = FormatDuration(scan.TotalSeconds);
    return fields;
}

}  // namespace quorvel
