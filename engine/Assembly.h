#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/AddedFrames.h"
#include "engine/Cuts.h"
#include "engine/FileSystem.h"
#include "engine/LengthHeader.h"
#include "engine/Message.h"
#include "engine/OutputPlan.h"
#include "engine/Reporter.h"
#include "engine/SourceLayout.h"

namespace quorvel {

// An output assembled from runs of frames of one or more sources, with one length header
// over all of them: what join, cut and trim make. At each seam between two runs the frame
// after it may borrow main data that the frames before it do not hold; the assembly makes
// them hold it (Carry).

// One source of an assembly: its file, where it keeps its tags and header frame, and its
// audio frames after the header frame, as a walk met them.
struct AssemblySource {
    SourceFile* File = nullptr;
    SourceLayout Layout;
    std::vector<LenderFrame> Frames;
};

// Reads a source's layout and walks its audio frames to the tags after them. Throws
// FileError as the source's reads do.
AssemblySource ReadAssemblySource(SourceFile& file);

// The last `count` bytes of the main data that `frames` (frames of `source`, in order) hold,
// as a decoder's reservoir holds them after the last: what a frame after them borrowing
// `count` bytes reads. Fewer where they hold fewer.
std::vector<std::uint8_t> MainDataTail(ByteSource& source, std::span<const LenderFrame> frames,
                                       std::int64_t count);

// How the frames before a seam came to hold what the frame after it borrows.
enum class Carried {
    Nothing,     // it borrows nothing
    InPlace,     // in the room after their own main data
    Widened,     // the frame before the seam at a larger bit rate
    AddedFrame,  // a silent frame added before the seam: its samples play
    Impossible,  // no frame of the stream's can hold it (free format)
};

// Tells the log how the frames before the seam at `where` came to carry the `bytes` bytes
// the frame after it borrows, where that is more than the room they had.
void TellCarried(Reporter& reporter, Carried carried, const Message& where, std::int64_t bytes,
                 std::int32_t samplesPerFrame);

// One frame of an output: a source's frame, or, where it was rewritten, bytes of its own.
struct AssembledFrame {
    std::size_t Source = 0;
    LenderFrame Frame;
    FrameBytes Bytes;  // the frame's own bytes instead of the source's, where not empty
};

class Assembly {
  public:
    explicit Assembly(std::span<const AssemblySource> sources) : sources_(sources) {}

    // Appends source `source`'s audio frames [from, to).
    void AppendRun(std::size_t source, std::size_t from, std::size_t to);
    std::size_t Count() const { return frames_.size(); }
    const AssembledFrame& At(std::size_t index) const { return frames_.at(index); }

    // Makes the frames before frame `seam` end their main data with `carried`, the bytes
    // frame `seam` borrows (its back pointer's worth): in their room after their own main
    // data where it holds them, else in the frame before the seam made larger, else in a
    // silent frame added before the seam.
    Carried Carry(std::size_t seam, std::span<const std::uint8_t> carried);
    // Opens the output with a silent frame like its first whose main data ends with
    // `carried`, the bytes that first frame borrows (none: none), so that a start delay can
    // skip it and the frame after it plays from its first sample: AddedFrame, or Impossible
    // where no frame of the stream's holds them.
    Carried OpenWithSilence(std::span<const std::uint8_t> carried);

    // The output: `tag` (an ID3v2 tag, or nothing), the header frame `header` (where it is
    // not empty) stating the frames, bytes, seek table and `gapless` values, the frames, then
    // the tags that follow the audio of source `trailerOf`.
    OutputPlan Plan(std::vector<std::uint8_t> tag, const NewHeader& header, Gapless gapless,
                    std::size_t trailerOf) const;

    // How many samples the frames hold.
    std::int64_t FrameSamples() const;
    // Whether the frames' bit rates differ.
    bool VariableBitRate() const;

  private:
    FrameBytes BytesOf(std::size_t index) const;
    // A silent frame inserted before frame `seam` (like it, or the one before it at the end)
    // whose main data ends with `carried`.
    Carried InsertCarrier(std::size_t seam, std::span<const std::uint8_t> carried);
    // Writes `carried` over the last bytes of the main data of the frames before `seam`.
    void WriteTail(std::size_t seam, std::span<const std::uint8_t> carried);

    std::span<const AssemblySource> sources_;
    std::vector<AssembledFrame> frames_;
};

// The gapless values of an output that opens with `first`'s frames and ends with `last`'s:
// the first one's start delay and the last one's end padding; without a LAME tag, none to
// skip at the start and the decoders' own delay at the end, so that every frame plays.
Gapless OutputGapless(const AssemblySource& first, const AssemblySource& last);

// The output's header frame: the first source's where it has one (and a LAME tag, where
// `gapless` values are to be stated), or a new one with a LAME tag like its first frame; an
// empty frame (no header, as the source has none) where it has none and none are to be;
// none where no frame of the stream's holds one.
std::optional<NewHeader> AssemblyHeader(const AssemblySource& first, bool variableBitRate,
                                        bool gapless);

}  // namespace quorvel
