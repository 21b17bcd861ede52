#include "engine/InputChecks.h"

#include "engine/Numbers.h"

namespace quorvel {

std::optional<Message> CheckSplitMinute(std::string_view text) {
    if (!IsNumericText(TrimBlanks(text))) return Tr("Input", "Minute value has to be numeric");
    return std::nullopt;
}

std::optional<Message> CheckSplitSecond(std::string_view text, bool exact,
                                        std::string_view decimalSeparator) {
    const std::string_view trimmed = TrimBlanks(text);
    if (!exact) {
        if (!IsNumericText(trimmed)) return Tr("Input", "Second value has to be numeric");
        const double value = ReadNumber(trimmed);
        if (trimmed.size() > 2 || value < 0 || value > 59) {
            return Tr("Input", "Valid second value range is 0 to 59");
        }
        return std::nullopt;
    }
    std::string number(trimmed);
    if (const auto at = number.find(decimalSeparator);
        !decimalSeparator.empty() && at != std::string::npos) {
        number.replace(at, decimalSeparator.size(), ".");
    }
    if (!IsNumericText(number)) return Tr("Input", "Second value has to be numeric");
    const auto point = number.find('.');
    const std::size_t whole = point == std::string::npos ? number.size() : point;
    const std::size_t decimals = point == std::string::npos ? 0 : number.size() - point - 1;
    if (number.find_first_not_of("0123456789.") != std::string::npos || whole > 2 || decimals > 3 ||
        ReadNumber(number) >= 60) {
        return Tr("Input", "Valid second value range is 0 to %1")
            .Arg("59" + std::string(decimalSeparator) + "999");
    }
    return std::nullopt;
}

}  // namespace quorvel
