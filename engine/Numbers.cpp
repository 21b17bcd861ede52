#include "engine/Numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace quorvel {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string FormatNumber(double value, std::string_view decimalSeparator) {
    char buffer[64];
    // Fixed notation for every value a file can give; 15 significant digits at most.
    const auto format = std::fabs(value) < 1e15 && (value == 0 || std::fabs(value) >= 1e-5)
                            ? std::chars_format::general
                            : std::chars_format::scientific;
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, 15);
    std::string text(buffer, result.ptr);
    if (const auto point = text.find('.'); point != std::string::npos) {
        text.replace(point, 1, decimalSeparator);
    }
    return text;
}

std::string FormatMegabytes(std::int64_t bytes, std::string_view decimalSeparator) {
    const double megabytes = static_cast<double>(bytes) / 1024 / 1024;
    // Exact for any real file size: megabytes are a multiple of 2^-20, times 1000.
    // nearbyint rounds a half to the even neighbour.
    return FormatNumber(std::nearbyint(megabytes * 1000) / 1000, decimalSeparator);
}

std::string FormatDuration(double seconds) {
    const double minutes = std::floor(seconds / 60);
    const double rest = std::floor(seconds - minutes * 60);
    return FormatNumber(minutes, ".") + ":" + FormatNumber(rest, ".");
}

std::string FormatHundredths(double seconds, std::string_view decimalSeparator) {
    const long long hundredths = std::llround(seconds * 100);
    const long long fraction = hundredths % 100;
    return std::to_string(hundredths / 100) + std::string(decimalSeparator) +
           (fraction < 10 ? "0" : "") + std::to_string(fraction);
}

std::string FormatGrouped(std::int64_t value) {
    std::string digits = std::to_string(value);
    const std::size_t first = digits.front() == '-' ? 1 : 0;
    for (std::size_t at = digits.size(); at > first + 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

std::string FormatPlayTime(double seconds, std::string_view decimalSeparator) {
    // Rounded once, to the hundredth, so that 59.999 s shows as 1:00.00, not 0:60.00.
    const long long hundredths = std::llround(seconds * 100);
    const long long minutes = hundredths / 6000;
    const long long rest = hundredths % 6000;
    return std::to_string(minutes) + ":" + (rest < 1000 ? "0" : "") +
           FormatHundredths(static_cast<double>(rest) / 100, decimalSeparator);
}

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

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

double ReadNumber(std::string_view text) {
    std::string packed;
    for (const char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') packed += c;
    }

    std::size_t at = 0;
    const auto isDigit = [&](std::size_t i) { return i < packed.size() && IsDigit(packed[i]); };
    bool negative = false;
    if (at < packed.size() && (packed[at] == '+' || packed[at] == '-')) {
        negative = packed[at] == '-';
        ++at;
    }
    std::string number;
    bool digits = false;
    while (isDigit(at)) number += packed[at++], digits = true;
    if (at < packed.size() && packed[at] == '.') {
        number += packed[at++];
        while (isDigit(at)) number += packed[at++], digits = true;
    }
    if (!digits) return 0;
    if (at < packed.size() &&
        (packed[at] == 'E' || packed[at] == 'e' || packed[at] == 'D' || packed[at] == 'd')) {
        std::size_t exponentAt = at + 1;
        std::string exponent = "e";
        if (exponentAt < packed.size() &&
            (packed[exponentAt] == '+' || packed[exponentAt] == '-')) {
            exponent += packed[exponentAt++];
        }
        if (isDigit(exponentAt)) {
            while (isDigit(exponentAt)) exponent += packed[exponentAt++];
            number += exponent;
        }
    }
    if (number.front() == '.') number.insert(number.begin(), '0');

    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Underflow reads as zero, overflow as an infinity of the right sign.
        const bool tiny = number.find("e-") != std::string::npos;
        value = tiny ? 0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

}  // namespace quorvel
