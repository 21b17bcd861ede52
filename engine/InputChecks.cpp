#include "engine/InputChecks.h"

#include "engine/Numbers.h"

namespace quorvel {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool IsNumericText(std::string_view text) {
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    bool digits = false;
    bool point = false;
    for (; at < text.size(); ++at) {
        if (IsDigit(text[at])) {
            digits = true;
        } else if (text[at] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return false;
    if (at < text.size() && (text[at] == 'E' || text[at] == 'e')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        if (at == text.size() || !IsDigit(text[at])) return false;
        while (at < text.size() && IsDigit(text[at])) ++at;
    }
    return at == text.size();
}

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
