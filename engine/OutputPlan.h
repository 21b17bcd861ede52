#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// One piece of an output: a byte range of the source, or bytes of its own. An output made of
// several sources (a join) says which of them the range is of.
struct OutputPiece {
    std::int64_t SourceOffset = 0;
    std::int64_t Length = 0;
    std::vector<std::uint8_t> Bytes;  // used instead of the source range when not empty
    std::size_t Source = 0;
};

using OutputPlan = std::vector<OutputPiece>;

// One output, and the frames of the split's own it holds before the source's frame it
// goes on with.
struct PartPlan {
    OutputPlan Plan;
    std::int64_t AddedFrames = 0;
    std::int64_t AddedBytes = 0;
};

// What the parts' ID3v2 tags say of them besides their times, where asked: each its
// number among the parts, and its title.
struct PartLabels {
    bool Numbered = false;
    std::vector<std::string> Titles;      // by part, as far as given; an empty one: none
    std::vector<std::string> Performers;  // as the titles
};

}  // namespace quorvel
