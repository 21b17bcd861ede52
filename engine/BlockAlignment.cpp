#include "engine/BlockAlignment.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "engine/SourceLayout.h"
#include "engine/Tags.h"

namespace quorvel {

void AlignToBlocks(OutputPlan& plan, bool tagged, ByteSource& source, std::int64_t sourceTagLength,
                   std::int64_t block) {
    if (block <= 0) return;
    // The pieces between the tag and the first one copied from the source are the part's
    // own: the rest of its copies follow that one at the source's distances.
    const auto copied = std::find_if(plan.begin() + (tagged ? 1 : 0), plan.end(),
                                     [](const OutputPiece& piece) { return piece.Bytes.empty(); });
    if (copied == plan.end()) return;
    std::int64_t own = 0;
    for (auto piece = plan.begin() + (tagged ? 1 : 0); piece != copied; ++piece) {
        own += piece->Length;
    }
    const std::int64_t length = tagged ? plan.front().Length : 0;
    // The shortest tag from `least` on that brings the copied byte to its place.
    const auto from = [&](std::int64_t least) {
        const std::int64_t missing = (copied->SourceOffset - own - least) % block;
        return least + (missing < 0 ? missing + block : missing);
    };
    const std::int64_t size = tagged ? from(std::max(length, sourceTagLength)) : from(0);
    if (size == length) return;
    std::vector<std::uint8_t> tag;
    if (tagged) {
        const OutputPiece& piece = plan.front();
        tag = piece.Bytes.empty()
                  ? ReadBytes(source, piece.SourceOffset, piece.SourceOffset + length)
                  : piece.Bytes;
    }
    // A tag of padding alone needs room for its header, and holds some padding, as a tag
    // with nothing in it may not be taken for one.
    auto padded = Padded(std::move(tag), tagged ? size : from(11));
    if (!padded) return;
    OutputPiece piece{0, static_cast<std::int64_t>(padded->size()), std::move(*padded)};
    if (tagged) {
        plan.front() = std::move(piece);
    } else {
        plan.insert(plan.begin(), std::move(piece));
    }
}

}  // namespace quorvel
