#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/AudioDecoder.h"
#include "engine/FileSystem.h"

namespace quorvel {

// A stretch of silence, in sample frames as a gapless decode from the file's start counts
// them (DecodedAudio): from Start up to End, End not included.
struct Silence {
    std::int64_t Start = 0;
    std::int64_t End = 0;
    bool operator==(const Silence&) const = default;
};

// What counts as silence: every sample of every channel below the threshold, in decibels
// of a full-scale 16-bit sample (|sample| < 32768 * 10^(ThresholdDb / 20); -50 dB is below
// 103.6), for at least MinSeconds.
struct SilenceRule {
    double ThresholdDb = -50;
    double MinSeconds = 0.5;
};

// The silences of a whole file, with what turns their sample frames into seconds.
struct FileSilences {
    std::int32_t Rate = 0;    // sample frames a second
    std::int64_t Length = 0;  // the file's sample frames, as far as they decode
    std::vector<Silence> Found;
    // The sample frames that damage took from it (DecodedAudio::Damaged): where it is
    // damaged, it is decoded on past the damage, as players play it.
    std::int64_t Damaged = 0;
};

// Every silence of the file at `path`, read through `files` and decoded by `decoder`, in
// order, each edge exact to the sample. The two halves of the file are decoded at once, on
// two threads, each through a decoding of its own. A damaged file is decoded past its
// damage as players decode it (Length::Decoded), and the damage counted. Throws FileError
// where the file cannot be read or decoded, and WorkStopped as `files` does.
FileSilences FindSilences(AudioDecoder& decoder, FileSystem& files, const std::string& path,
                          const SilenceRule& rule = {});

// The silences within the sample frames [from, to) of `audio`, in order: a silence the
// span's edges cut counts only its part within the span, so a caller that wants those
// whole widens the span by MinSeconds on either side. Throws as `audio`'s reads do.
std::vector<Silence> FindSilences(DecodedAudio& audio, std::int64_t from, std::int64_t to,
                                  const SilenceRule& rule = {});

// The silences of `audio` from its start, a stretch at a time, for a window that shows
// them as they are found: each Next looks at the next stretch and gives the silences
// known whole by then, each once; together they are those the whole file has.
class SilenceSweep {
  public:
    explicit SilenceSweep(DecodedAudio& audio, const SilenceRule& rule = {});
    bool Done() const { return reached_ >= audio_.Length(); }
    // Looks at up to `frames` more sample frames. Throws as `audio`'s reads do.
    std::vector<Silence> Next(std::int64_t frames);

  private:
    DecodedAudio& audio_;
    SilenceRule rule_;
    std::int64_t least_;  // the rule's least length in sample frames
    std::int64_t reached_ = 0;
    std::optional<Silence> open_;  // the quiet that went on to the end of the last stretch
};

}  // namespace quorvel
