#include "engine/Numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <regex>
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

std::string FormatPlayTime(double seconds, std::string_view decimalSeparator) {
    // Rounded once, to the hundredth, so that 59.999 s shows as 1:00.00, not 0:60.00.
    const long long hundredths = std::llround(seconds * 100);
    const long long minutes = hundredths / 6000;
    const long long rest = hundredths % 6000;
    return std::to_string(minutes) + ":" + (rest < 1000 ? "0" : "") +
           FormatHundredths(static_cast<double>(rest) / 100, decimalSeparator);
}

std::string FormatExactTime(std::int64_t milliseconds, std::string_view decimalSeparator) {
    const std::int64_t seconds = milliseconds / 1000 % 60;
    const std::string thousandths = std::to_string(1000 + milliseconds % 1000).substr(1);
    return std::to_string(milliseconds / 60000) + ":" + (seconds < 10 ? "0" : "") +
           std::to_string(seconds) + std::string(decimalSeparator) + thousandths;
}

std::string FormatClockTime(std::int64_t milliseconds, std::string_view decimalSeparator) {
    const auto twoDigits = [](std::int64_t value) {
        return (value < 10 ? "0" : "") + std::to_string(value);
    };
    const std::int64_t hours = milliseconds / 3600000;
    const std::int64_t minutes = milliseconds / 60000 % 60;
    std::string text =
        hours > 0 ? std::to_string(hours) + ":" + twoDigits(minutes) : std::to_string(minutes);
    text += ":" + twoDigits(milliseconds / 1000 % 60);
    if (milliseconds % 1000 != 0) {
        text +=
            std::string(decimalSeparator) + std::to_string(1000 + milliseconds % 1000).substr(1);
    }
    return text;
}

std::optional<std::int64_t> ReadClockTime(std::string_view text,
                                          std::string_view decimalSeparator) {
    std::string written(text);
    if (const auto at = written.find(decimalSeparator);
        !decimalSeparator.empty() && decimalSeparator != "." && at != std::string::npos) {
        written.replace(at, decimalSeparator.size(), ".");
    }
    static const std::regex grammar(R"((?:(\d+):)?(\d+):([0-5]\d)(?:\.(\d{1,3}))?)");
    std::smatch parts;
    if (!std::regex_match(written, parts, grammar)) return std::nullopt;
    // Digits enough to overflow are no time anyone means.
    if (parts[1].length() > 6 || parts[2].length() > 8) return std::nullopt;
    const auto number = [&](int part) {
        return parts[part].matched ? std::stoll(parts[part].str()) : 0LL;
    };
    if (parts[1].matched && number(2) >= 60) return std::nullopt;
    std::string fraction = parts[4].str();
    fraction.resize(3, '0');
    return ((number(1) * 60 + number(2)) * 60 + number(3)) * 1000 + std::stoll(fraction);
}

std::string FormatCount(std::int64_t count, std::string_view decimalSeparator) {
    const std::string digits = std::to_string(count);
    const char group = decimalSeparator == "." ? ',' : '.';
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0 && digits[i - 1] != '-') grouped += group;
        grouped += digits[i];
    }
    return grouped;
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

bool IsPlainDecimal(std::string_view text, std::size_t decimals) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    const auto digits = [](std::string_view part) {
        return !part.empty() && std::all_of(part.begin(), part.end(), IsDigit);
    };
    return digits(whole) &&
           (point == std::string_view::npos || (digits(fraction) && fraction.size() <= decimals));
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
