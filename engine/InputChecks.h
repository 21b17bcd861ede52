#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// A decimal number and nothing else: an optional sign, digits with at most one ".",
// an optional exponent (E, an optional sign, digits). Blanks around it are the
// caller's to trim; the empty text is not numeric.
bool IsNumericText(std::string_view text);

// The refusal that leaving the minute or the second box with this text earns, if any.
std::optional<std::string> CheckSplitMinute(std::string_view text);
std::optional<std::string> CheckSplitSecond(std::string_view text);

}  // namespace quorvel
