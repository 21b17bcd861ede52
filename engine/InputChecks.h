#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// The refusal that leaving the minute or the second box with this text earns, if any. In
// the exact mode the second may carry up to three decimals after the user's decimal
// separator or a point.
std::optional<std::string> CheckSplitMinute(std::string_view text);
std::optional<std::string> CheckSplitSecond(std::string_view text, bool exact = false,
                                            std::string_view decimalSeparator = ".");

}  // namespace quorvel
