#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ChainRecord.h"
#include "engine/Cuts.h"
#include "engine/FrameHeader.h"
#include "engine/Message.h"
#include "engine/OutputPlan.h"
#include "engine/Refusal.h"
#include "engine/SeamReport.h"

namespace quorvel {

// What becomes of a file already at a part's name.
enum class ExistingOutputs {
    Ask,      // the reporter's question decides, for all of them at once
    Replace,  // it goes to the trash
};

// The cuts of a split into any number of parts, and how the parts are named.
struct PartsRequest {
    CutTimes Times;
    PartLabels Labels;
    std::string NamePattern;  // see PartPaths; empty: the source's name and the part's number
};

// Everything a split needs to know, as values: the source, where the parts go, where to cut
// and by which rule, how to name them and what to do with files already there.
struct SplitRequest {
    std::string Source;
    std::string Folder;
    PartsRequest Parts;
    bool Exact = false;  // cut at the sample; otherwise by the frame rule
    ExistingOutputs Existing = ExistingOutputs::Ask;
    // The frames the analysis of the source met (Analysis::Walked), where the caller has one:
    // a source unchanged since is not read through again to find them.
    std::shared_ptr<const ChainRecord> Walked;
    // The cuts the analysis found, where it was told the times (Analysis::Cuts): those of
    // this request's times and rule in the source unchanged since are not searched again.
    std::shared_ptr<const FoundCuts> Found;
    // Each part faded in over its first seconds and out over its last, as a gain fades.
    double FadeInSeconds = 0;
    double FadeOutSeconds = 0;
    // How the log writes a decimal fraction, and tells the user to cut at the sample.
    std::string Separator = ".";
    Message ExactHint = std::string();
};

enum class SplitOutcome {
    Refused,         // a check of the request failed
    NoSafePosition,  // the log says so
    Declined,        // the user kept an existing output
    Failed,          // a file could not be read or written; the user was told why
    Stopped,         // the user or a signal stopped it
    Completed,       // "MP3 splitting completed."
};

// Where a split cut the source.
struct SplitCut {
    std::int64_t Byte = 0;   // where the cut frame starts in the source
    std::int64_t Frame = 0;  // the source's frames before the cut, a header frame too
    double Seconds = 0;      // when the cut plays in the source
};

// What a split found and made; filled as far as the run got: the cuts as found, the rest
// once every part has its name.
struct SplitReport {
    SplitOutcome Outcome = SplitOutcome::Refused;
    // What the user is to be shown at the end, in a box of its own where the front end has
    // boxes, and the place to correct.
    std::optional<Refusal> Problem;
    bool Scroll = false;  // the log told of the run: its end is to be shown
    std::vector<SplitCut> Cuts;
    std::vector<std::string> Paths;   // the parts
    std::vector<std::int64_t> Bytes;  // written to each
    std::vector<SeamReport> Seams;    // none where the check was left out or could not be made
};

}  // namespace quorvel
