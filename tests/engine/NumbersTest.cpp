#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <tuple>
#include <utility>

#include "engine/Numbers.h"

namespace quorvel {
namespace {

TEST(ReadNumber, ReadsTheNumberThatStartsTheText) {
    const std::pair<const char*, double> cases[] = {
        {"12abc", 12}, {"1 2", 12}, {"abc", 0},    {"", 0},       {" \t\n-5", -5},
        {"+7", 7},     {"- 3", -3}, {"--5", 0},    {"1.5", 1.5},  {"1.2.3", 1.2},
        {".5", 0.5},   {"1,5", 1},  {"2E3", 2000}, {"2D3", 2000}, {"1E-2", 0.01},
        {"2E+1", 20},  {"1E", 1},   {"1.5E1", 15}, {"1E 2", 100}, {"7-3", 7},
    };
    for (const auto& [text, value] : cases) EXPECT_DOUBLE_EQ(ReadNumber(text), value) << text;
    EXPECT_EQ(ReadNumber("1e400"), HUGE_VAL);
    EXPECT_EQ(ReadNumber("-1D400"), -HUGE_VAL);
}

TEST(Numbers, FormatsSizesDurationsAndFractions) {
    const std::tuple<std::int64_t, const char*, const char*> sizes[] = {
        {0, ".", "0"},
        {65536, ".", "0.062"},   // 0.0625: the half goes to the even neighbour
        {196608, ".", "0.188"},  // 0.1875
        {1048576, ".", "1"},
        {3457000, ".", "3.297"},
        {1572864, ",", "1,5"},
        {5368709120, ".", "5120"},
    };
    for (const auto& [bytes, separator, text] : sizes) {
        EXPECT_EQ(FormatMegabytes(bytes, separator), text) << bytes;
    }
    const std::pair<double, const char*> durations[] = {
        {59.999, "0:59"}, {60, "1:0"}, {299.98, "4:59"}, {187, "3:7"}, {0, "0:0"}, {3600, "60:0"},
    };
    for (const auto& [seconds, text] : durations) EXPECT_EQ(FormatDuration(seconds), text);
    EXPECT_EQ(FormatPlayTime(51.234, "."), "0:51.23");
    EXPECT_EQ(FormatPlayTime(59.999, ","), "1:00,00");
    EXPECT_EQ(FormatPlayTime(605.5, "."), "10:05.50");
    EXPECT_EQ(FormatHundredths(21.5, "."), "21.50");
    EXPECT_EQ(FormatNumber(0.1 + 0.2, "."), "0.3");
    EXPECT_EQ(FormatNumber(1.0 / 3, "."), "0.333333333333333");
    EXPECT_EQ(FormatCount(1234567, "."), "1,234,567");
    EXPECT_EQ(FormatCount(-123456, ","), "-123.456");
    EXPECT_EQ(FormatCount(999, "."), "999");
    EXPECT_EQ(FormatExactTime(90250, "."), "1:30.250");
    EXPECT_EQ(FormatExactTime(5007, ","), "0:05,007");
    EXPECT_EQ(FormatClockTime(0, "."), "0:00");
    EXPECT_EQ(FormatClockTime(90000, "."), "1:30");
    EXPECT_EQ(FormatClockTime(5007, ","), "0:05,007");
    EXPECT_EQ(FormatClockTime(3723250, "."), "1:02:03.250");
    EXPECT_EQ(FormatClockTime(3600000, "."), "1:00:00");
}

// The companion's numbers: digits with at most one point, and no more decimals than allowed.
TEST(Numbers, PlainDecimalsAreDigitsWithOnePoint) {
    const std::tuple<const char*, std::size_t, bool> cases[] = {
        {"0", 3, true},       {"30", 3, true},     {"30.250", 3, true}, {"30.2501", 3, false},
        {"30.2501", 9, true}, {"30,25", 9, false}, {"1e1", 9, false},   {"-1", 9, false},
        {"+1", 9, false},     {"2.", 9, false},    {".5", 9, false},    {"1.2.3", 9, false},
        {" 2", 9, false},     {"2 ", 9, false},    {"", 9, false},      {"\xd9\xa3", 9, false},
        {"59", 0, true},      {"59.5", 0, false},
    };
    for (const auto& [text, decimals, plain] : cases) {
        EXPECT_EQ(IsPlainDecimal(text, decimals), plain) << text << " " << decimals;
    }
}

// Times as the user types them, each read back as it is shown.
TEST(Numbers, ReadsClockTimes) {
    const std::tuple<const char*, const char*, std::optional<std::int64_t>> times[] = {
        {"0:00", ".", 0},
        {"1:30", ".", 90000},
        {"90:00", ".", 5400000},  // minutes need no hours
        {"1:02:03.25", ".", 3723250},
        {"0:05,007", ",", 5007},
        {"0:05.007", ",", 5007},  // a point is always understood
        {"0:05,007", ".", std::nullopt},
        {"1:60", ".", std::nullopt},
        {"1:60:00", ".", std::nullopt},
        {"90", ".", std::nullopt},
        {"0:01.2345", ".", std::nullopt},
        {" 0:01", ".", std::nullopt},
        {"99999999999:00", ".", std::nullopt},
    };
    for (const auto& [text, separator, milliseconds] : times) {
        EXPECT_EQ(ReadClockTime(text, separator), milliseconds) << text;
        if (milliseconds) {
            EXPECT_EQ(ReadClockTime(FormatClockTime(*milliseconds, separator), separator),
                      milliseconds);
        }
    }
}

}  // namespace
}  // namespace quorvel
