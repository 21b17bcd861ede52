#pragma once

#include "engine/Message.h"

namespace quorvel {

// What a refusal is about, so that a front end can take its user there.
enum class Field {
    None,
    Source,       // the source file
    Destination,  // the folder the parts go to
    Time,         // the times to cut at
};

// A request that cannot be carried out, or a file that cannot be read, and why.
struct Refusal {
    Message Text;
    Field About = Field::None;
};

}  // namespace quorvel
