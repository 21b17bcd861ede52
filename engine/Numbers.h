#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// Plain decimal text: up to 15 significant digits, no trailing zeros, no grouping,
// the given decimal separator in place of ".".
std::string FormatNumber(double value, std::string_view decimalSeparator);

// The file size in megabytes as the File Information shows it: rounded to 3 decimals,
// a half going to the even neighbour (65536 bytes show as 0.062).
std::string FormatMegabytes(std::int64_t bytes, std::string_view decimalSeparator);

// Whole minutes, ":", whole remaining seconds, never rounded up (299.98 s is 4:59).
std::string FormatDuration(double seconds);

// A moment in the playing time to the hundredth of a second: "m:ss.ss" (51.234 s is
// 0:51.23), with the given decimal separator.
std::string FormatPlayTime(double seconds, std::string_view decimalSeparator);

// A moment to the millisecond: "m:ss.mmm" (90250 ms is 1:30.250).
std::string FormatExactTime(std::int64_t milliseconds, std::string_view decimalSeparator);

// A moment as the user writes one, "[h:]m:ss[.fff]": the hours only from an hour on, the
// thousandths only where there are any (3723250 ms is 1:02:03.250, 90000 ms is 1:30).
std::string FormatClockTime(std::int64_t milliseconds, std::string_view decimalSeparator);

// The milliseconds of a time written "[h:]m:ss[.fff]" (minutes below 60 after hours), the
// fraction after a point or after the given decimal separator; none where the text is no
// such time.
std::optional<std::int64_t> ReadClockTime(std::string_view text, std::string_view decimalSeparator);

// A count with its digits in groups of three: 3980025 is "3,980,025" after a decimal
// point, "3.980.025" after a decimal comma.
std::string FormatCount(std::int64_t count, std::string_view decimalSeparator);

// Seconds to the hundredth, always with two decimals: 21.5 is "21.50".
std::string FormatHundredths(double seconds, std::string_view decimalSeparator);

// The program reads numbers in two grammars, as its users meet them. A time box that is
// left must hold a number and nothing else (IsNumericText); the split command then reads
// the value from the start of each text and ignores what follows (ReadNumber), so a box
// that was never left still gives a value.

// A decimal number and nothing else: an optional sign, digits with at most one ".",
// an optional exponent (E, an optional sign, digits). Blanks around it are the
// caller's to trim; the empty text is not numeric.
bool IsNumericText(std::string_view text);

// The companion's grammar, stricter than either: digits, then at most one point with at
// least one and at most `decimals` digits after it; no sign, exponent, blank or other
// separator.
bool IsPlainDecimal(std::string_view text, std::size_t decimals = std::string_view::npos);

// The value of the number that starts a text: blanks, tabs and line feeds anywhere are
// skipped, then an optional sign, digits with at most one ".", and an optional exponent
// (E or D, a sign, digits). Reading stops at the first other character; a text that
// does not start with a number reads as 0. Too large a value reads as an infinity.
double ReadNumber(std::string_view text);

// The text with leading and trailing space characters removed (only the blank).
std::string_view TrimBlanks(std::string_view text);

}  // namespace quorvel
