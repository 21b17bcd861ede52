#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/Message.h"

namespace quorvel {

// The refusal that leaving the minute or the second box with this text earns, if any. In
// the exact mode the second may carry up to three decimals after the user's decimal
// separator or a point.
std::optional<Message> CheckSplitMinute(std::string_view text);
std::optional<Message> CheckSplitSecond(std::string_view text, bool exact = false,
                                        std::string_view decimalSeparator = ".");

}  // namespace quorvel
