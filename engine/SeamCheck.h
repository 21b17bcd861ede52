#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/FileSystem.h"
#include "engine/SplitForm.h"

namespace quorvel {

// A file as players decode it: its gapless output, without the start delay and end
// padding its LAME tag states (a file without one gives every frame's samples), as 16-bit
// samples with the channels interleaved.
class DecodedAudio {
  public:
    virtual ~DecodedAudio() = default;
    virtual std::int32_t Rate() const = 0;  // sample frames a second
    virtual std::int32_t Channels() const = 0;
    virtual std::int64_t Length() const = 0;  // sample frames: one sample of each channel
    // The sample frames [from, from + count), each the very sample a decode from the
    // file's start gives there; fewer only where Length() ends first. Throws FileError
    // where the file cannot be read or decoded, and WorkStopped as its reads do.
    virtual std::vector<std::int16_t> Read(std::int64_t from, std::int64_t count) = 0;
};

// What the seam check needs of an audio decoder.
class AudioDecoder {
  public:
    // How the decoder learns a file's length. Counted: from its frames, every one of them
    // read. Stated: from its length header, where that states the frames and its byte count
    // is the file's own; counted where not.
    enum class Length { Counted, Stated };

    virtual ~AudioDecoder() = default;
    // Why nothing can be decoded (the decoding library could not be loaded); none where
    // it can.
    virtual std::optional<std::string> Unavailable() = 0;
    // The file, read through `file`, ready to decode. Throws FileError where it cannot be
    // decoded.
    std::unique_ptr<DecodedAudio> Open(std::unique_ptr<SourceFile> file, Length length) {
        return Open(std::move(file), length, -1);
    }
    // As above, where the caller has just walked every frame of a file without a length
    // header, whole and one after another to its end: `walkedFrames` (-1: none) then
    // stands in for the header's count where the length is Stated, so that a long file
    // need not be read again to count its frames.
    virtual std::unique_ptr<DecodedAudio> Open(std::unique_ptr<SourceFile> file, Length length,
                                               std::int64_t walkedFrames) = 0;
};

// How two parts that follow one another join: the source's samples on either side of the
// cut, which lies where the first part's decoded length ends after those of the parts
// before it, against the first part's last samples and the second part's first.
struct SeamReport {
    bool Decoded = false;           // false: the decoder is unavailable, and Lines say why
    bool SameFormat = true;         // all three have the source's rate and channels
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

// Decodes the source and its parts named, in order, read through `files`, and compares them
// at each seam; one report a seam, the last one's lines telling of the lengths too. Where
// given, `walkedFrames` holds the frames a walk just counted of the source and of each part
// (-1: not known), for those without a length header (AudioDecoder::Open). Throws
// FileError where a file cannot be read or decoded, and WorkStopped as `files` does.
std::vector<SeamReport> CheckSeams(AudioDecoder& decoder, FileSystem& files,
                                   const std::string& source, const std::vector<std::string>& parts,
                                   const std::vector<std::int64_t>& walkedFrames = {});

// The seam of a source split in two.
SeamReport CheckSeam(AudioDecoder& decoder, FileSystem& files, const std::string& source,
                     const std::string& first, const std::string& second);

// The check after a split, in the log; a check that cannot be made says why, and one the
// user stops is skipped: the split is complete by then. Returns the reports of a check made.
std::vector<SeamReport> LogSeamCheck(SplitForm& form, AudioDecoder& decoder, FileSystem& files,
                                     const std::string& source,
                                     const std::vector<std::string>& parts,
                                     const std::vector<std::int64_t>& walkedFrames = {});

}  // namespace quorvel
