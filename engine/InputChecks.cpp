#include "engine/InputChecks.h"

#include "engine/Numbers.h"

namespace quorvel {

std::optional<std::string> CheckSplitMinute(std::string_view text) {
    if (!IsNumericText(TrimBlanks(text))) return "Minute value has to be numeric";
    return std::nullopt;
}

std::optional<std::string> CheckSplitSecond(std::string_view text) {
    const std::string_view trimmed = TrimBlanks(text);
    if (!IsNumericText(trimmed)) return "Second value has to be numeric";
    const double value = ReadNumber(trimmed);
    if (trimmed.size() > 2 || value < 0 || value > 59) return "Valid second value range is 0 to 59";
    return std::nullopt;
}

}  // namespace quorvel
