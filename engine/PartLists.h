#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "engine/ByteSource.h"
#include "engine/CueSheet.h"
#include "engine/SourceLayout.h"
#include "engine/SplitRequest.h"
#include "engine/TagEditor.h"

namespace quorvel {

// Every way of listing parts (times typed, a cue sheet, the source's chapters, a cut every
// so often, equal parts) gives one list of part starts, which PartsAt makes a request of;
// those that depend on the source's length measure it as it plays (PlayedLength).

// Where a part starts, as a list of parts gives it, and what its tag is to say of it.
struct PartStart {
    std::chrono::microseconds Start{0};
    std::string Title;
    std::string Performer;
};

// The request that cuts at every start but the first and labels each part as its start
// says. The first part begins with the source wherever its start lies, so that the parts
// together are the whole source. `starts` must be in order.
PartsRequest PartsAt(const std::vector<PartStart>& starts);

// The parts that start at these times, in order, after the first one at the source's start.
std::vector<PartStart> StartsAt(std::vector<std::chrono::microseconds> times);

// A cue sheet's tracks, each start to the microsecond (where a CD frame's sample lies).
std::vector<PartStart> CueStarts(const CueSheet& sheet);

// Where the source's chapters start, in order (a tag may list them in any), each titled as
// its chapter; none where the source has no ID3v2 tag with chapters. Or why they cannot be
// parts: two chapters that start together (one of no length, say) would make one part of
// two titles, and are refused as a cue sheet's tracks that share a start are, the times
// written with `separator`; a tag that could not be read says why. A chapter's end is not
// looked at: each part lasts until the next one starts, as a track does.
std::variant<std::vector<PartStart>, Message> ChapterStarts(ByteSource& source, TagEditor& tags,
                                                            const std::string& separator);

// A part every `step` from the source's start. A rest shorter than a frame is no part of its
// own: the part before it takes it.
std::vector<PartStart> EveryStarts(std::chrono::microseconds step, const PlayedLength& length);

// `count` parts of the played length, each start at the sample nearest its share of it, so
// that the exact mode's parts are within a sample of each other.
std::vector<PartStart> EqualStarts(std::int64_t count, const PlayedLength& length);

}  // namespace quorvel
