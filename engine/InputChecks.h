#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// The refusal that leaving the minute or the second box with this text earns, if any.
std::optional<std::string> CheckSplitMinute(std::string_view text);
std::optional<std::string> CheckSplitSecond(std::string_view text);

}  // namespace quorvel
