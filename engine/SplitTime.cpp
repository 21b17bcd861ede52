#include "engine/SplitTime.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

namespace {

// Whole seconds, a half to the even one, as the frame rule reads any time.
std::int64_t WholeSeconds(double seconds) {
    return std::llround(std::nearbyint(seconds));
}

}  // namespace

std::int64_t ReadSplitTime(std::string_view minute, std::string_view second, bool exact,
                           std::string_view decimalSeparator) {
    std::string secondText(TrimBlanks(second));
    if (const auto at = secondText.find(decimalSeparator);
        exact && !decimalSeparator.empty() && at != 0 && at != std::string::npos) {
        secondText.replace(at, decimalSeparator.size(), ".");
    }
    const double splitTime = ReadNumber(TrimBlanks(minute)) * 60 + ReadNumber(secondText);
    // A time beyond what 32 bits of seconds can hold is past any source's end.
    if (!std::isfinite(splitTime) ||
        std::fabs(splitTime) > std::numeric_limits<std::int32_t>::max()) {
        return std::int64_t{std::numeric_limits<std::int32_t>::max()} * 1000;
    }
    return exact ? std::llround(splitTime * 1000) : WholeSeconds(splitTime) * 1000;
}

std::int64_t RuledTime(std::int64_t milliseconds, bool exact) {
    return exact ? milliseconds : WholeSeconds(double(milliseconds) / 1000) * 1000;
}

SplitTimeTexts WriteSplitTime(std::int64_t milliseconds, bool exact,
                              std::string_view decimalSeparator) {
    const std::int64_t time = std::max<std::int64_t>(0, RuledTime(milliseconds, exact));
    const std::int64_t second = time % 60000;
    SplitTimeTexts texts{std::to_string(time / 60000), std::to_string(second / 1000)};
    if (exact) {
        const std::string thousandths = std::to_string(1000 + second % 1000);
        texts.Second += std::string(decimalSeparator) + thousandths.substr(1);
    }
    return texts;
}

}  // namespace quorvel
