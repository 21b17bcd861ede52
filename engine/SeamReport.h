#pragma once

#include <cstdint>
#include <vector>

#include "engine/Message.h"

namespace quorvel {

// The sample frames a seam check compares on either side of a cut, at `rate`: those a cut
// can change, and some. A frame after the cut takes up to 511 bytes of main data from the
// frames before it (255 in MPEG 2 and 2.5), at the lowest bit rates 0.13 s of MPEG 1 and
// 0.26 s of the others, whose frames are also longer; a decoder's overlap adds a frame.
// A quarter of a second of MPEG 1 (32 kHz and up), half a second of the others, reaches
// past them all, and decoding no more keeps the check of many seams quick.
inline std::int64_t SeamWindow(std::int32_t rate) {
    return rate >= 32000 ? rate / 4 : rate / 2;
}

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
    std::int64_t Compared = 0;           // sample frames compared: SeamWindow on either side
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
