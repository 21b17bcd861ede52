#pragma once

#include "engine/SeamCheck.h"

namespace quorvel::platform {

// The engine's decoder over libmpg123, in the desktop module, which loads it only when
// first asked to decode. The files are read here, through the engine's own files, so
// that a stop reaches the decoding at its next read.
class Mpg123Decoder final : public AudioDecoder {
  public:
    std::optional<std::string> Unavailable() override;
    std::unique_ptr<DecodedAudio> Open(std::unique_ptr<SourceFile> file, Length length) override;
};

}  // namespace quorvel::platform
