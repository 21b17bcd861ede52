#pragma once

#include <memory>

#include "engine/AudioDecoder.h"

namespace quorvel::platform {

// The engine's decoder over libmpg123, in the desktop module, which loads it only when
// first asked to decode. The files are read here, through the engine's own files, so
// that a stop reaches the decoding at its next read.
class Mpg123Decoder final : public AudioDecoder {
  public:
    // How a read far from the last one gets there. AsPlayed: every sample as a decode from
    // the file's start gives it, which in MPEG 2 and 2.5 Layer III means decoding from the
    // start. Near: by a seek in those too, each sample then where it belongs but maybe a
    // step of rounding (1 in 32768) off; for what is seen and heard, never compared.
    enum class Seeking { AsPlayed, Near };
    explicit Mpg123Decoder(Seeking seeking = Seeking::AsPlayed);

    std::optional<std::string> Unavailable() override;
    using AudioDecoder::Open;
    std::unique_ptr<DecodedAudio> Open(std::unique_ptr<SourceFile> file, Length length,
                                       const WalkedFrames& walked) override;

    // The frames of the files its decodings walked for their seeks, shared by the decodings
    // of one file open at once.
    class Walks;

  private:
    Seeking seeking_;
    std::shared_ptr<Walks> walks_;
};

}  // namespace quorvel::platform
