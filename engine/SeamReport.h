#pragma once

#include <cstdint>
#include <vector>

#include "engine/Message.h"

namespace quorvel {

// How two parts that follow one another join: the source's samples on either side of the
// cut, which lies where the first part's decoded length ends after those of the parts
// before it, against the first part's last samples and the second part's first.
struct SeamReport {
    bool Decoded = false;           // false: the decoder is unavailable, and Lines say why
    bool SameFormat = true;         // all three have the source's rate and channels
    std::int32_t Rate = 0;          // the source's sample frames a second
    std::int64_t SourceLength = 0;  // sample frames each decodes to
    std::int64_t FirstLength = 0;
    std::int64_t SecondLength = 0;
    // Sample frames of the other parts of the source, before the first and after the
    // second.
    std::int64_t Before = 0;
    std::int64_t After = 0;
    std::int64_t Compared = 0;           // sample frames compared, up to a second on either side
    std::int64_t Differing = 0;          // those in which any channel differs
    std::int32_t LargestDifference = 0;  // in steps of a 16-bit sample
    // How far from the cut the farthest differing sample frame lies, in sample frames,
    // before it and after it (counted to its end); 0 where none differs on that side.
    std::int64_t DifferingBefore = 0;
    std::int64_t DifferingAfter = 0;
    std::vector<Message> Lines;  // what the log says of it

    // The parts decode to the source, sample for sample, at the seam and in length.
    bool Exact() const {
        return Decoded && SameFormat && Differing == 0 &&
               Before + FirstLength + SecondLength + After == SourceLength;
    }
};

}  // namespace quorvel
