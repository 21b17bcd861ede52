#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/FileSystem.h"

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
    // The sample frames [from, from + count), each within a step of rounding (1 in 32768) of
    // the one Read gives: a read far from the last one may then decode fewer frames before
    // them. For a look at them that such a step cannot mislead. Throws as Read does.
    virtual std::vector<std::int16_t> Glance(std::int64_t from, std::int64_t count) {
        return Read(from, count);
    }
    // Says that reads far from one another follow: a decoder that reaches such a read with
    // less decoding once it knows the file's frames looks them over now.
    virtual void ExpectSeeks() {}
    // The sample frames damage took from what Read gave so far, as players lose them: those
    // given as silence where frames decode in another format than the file's (a false sync
    // in damaged bytes), and, read as Length::Decoded, those missing where the decoding
    // ended before the length measured. 0 for a file without damage.
    virtual std::int64_t Damaged() const { return 0; }
};

// What a walk over a file just found of its audio frames (a header frame is none), so that
// a decoder need not read them again: how many there are, which stands in for a length
// header's count where the file has none, and where every `Step`-th of them starts, in
// bytes from the first one's start, which its seeks go by. A walk that found them whole and
// one after another to the file's end gives both; nothing else gives either.
struct WalkedFrames {
    std::int64_t Count = -1;  // -1: not walked
    std::int64_t Step = 0;
    std::vector<std::int64_t> Starts;  // of frames 0, Step, 2 Step, ...
};

// What the seam check needs of an audio decoder.
class AudioDecoder {
  public:
    // How the decoder learns a file's length. Counted: from its frames, every one of them
    // read. Stated: from its length header, where that states the frames and its byte count
    // is the file's own; counted where not. Decoded: as Stated, but where the decoding ends
    // before that length, as it may where damaged frames are passed over, the file ends
    // there: Read gives fewer samples, and Length() is where they ended.
    enum class Length { Counted, Stated, Decoded };

    virtual ~AudioDecoder() = default;
    // Why nothing can be decoded (the decoding library could not be loaded); none where
    // it can.
    virtual std::optional<std::string> Unavailable() = 0;
    // The file, read through `file`, ready to decode. Throws FileError where it cannot be
    // decoded.
    std::unique_ptr<DecodedAudio> Open(std::unique_ptr<SourceFile> file, Length length) {
        return Open(std::move(file), length, WalkedFrames{});
    }
    // As above, where the caller has just walked the file's frames: their count then stands
    // in for a length header's where the file has none and the length is Stated, and their
    // starts spare a seek reading the frames before it, so that a long file need not be
    // read again. A decoder that finds the frames otherwise than the walk takes neither.
    virtual std::unique_ptr<DecodedAudio> Open(std::unique_ptr<SourceFile> file, Length length,
                                               const WalkedFrames& walked) = 0;
};

}  // namespace quorvel
