#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "engine/SplitTime.h"

namespace quorvel {
namespace {

const std::string kMinuteNumeric = "Minute value has to be numeric";
const std::string kSecondNumeric = "Second value has to be numeric";
const std::string kSecondRange = "Valid second value range is 0 to 59";

// The refusal a box earns, or "" for none.
std::string Refusal(const std::optional<Message>& message) {
    return message ? English(*message) : std::string();
}

// By the frame rule the second is whole, 0 to 59, at most two characters; in the exact mode
// it takes up to three decimals after the user's separator or a point.
TEST(SplitTime, ChecksTheBoxesAsTheyAreLeft) {
    const struct {
        const char* text;
        bool exact;
        const char* separator;
        std::string refusal;
    } seconds[] = {
        {"0", false, ".", ""},
        {"05", false, ".", ""},
        {"59", false, ".", ""},
        {".5", false, ".", ""},
        {"+5", false, ".", ""},
        {"60", false, ".", kSecondRange},
        {"059", false, ".", kSecondRange},
        {"0.5", false, ".", kSecondRange},
        {"30.5", false, ".", kSecondRange},
        {"-1", false, ".", kSecondRange},
        {"", false, ".", kSecondNumeric},
        {"  ", false, ".", kSecondNumeric},
        {"1:30", false, ".", kSecondNumeric},
        {"30.250", true, ".", ""},
        {"59.999", true, ".", ""},
        {"0.5", true, ".", ""},
        {"30,5", true, ",", ""},
        {"30.5", true, ",", ""},
        {"0", true, ".", ""},
        {"60", true, ".", "Valid second value range is 0 to 59.999"},
        {"1.2345", true, ".", "Valid second value range is 0 to 59.999"},
        {"-1", true, ".", "Valid second value range is 0 to 59.999"},
        {"1E1", true, ".", "Valid second value range is 0 to 59.999"},
        {"60,5", true, ",", "Valid second value range is 0 to 59,999"},
        {"30,5", true, ".", kSecondNumeric},
    };
    for (const auto& c : seconds) {
        EXPECT_EQ(Refusal(CheckSplitSecond(c.text, c.exact, c.separator)), c.refusal)
            << c.text << (c.exact ? " exactly" : "");
    }
    const std::pair<const char*, std::string> minutes[] = {
        {"-2", ""}, {"2.5", ""}, {"1000", ""}, {"", kMinuteNumeric}, {"abc", kMinuteNumeric},
    };
    for (const auto& [text, refusal] : minutes) {
        EXPECT_EQ(Refusal(CheckSplitMinute(text)), refusal) << text;
    }
}

// The split time is rounded half to even: 89.5 and 90.5 both give 90, minute 1 second ".5"
// gives 1:00. The exact mode reads the milliseconds, after the user's separator or a point.
TEST(SplitTime, ReadsTheBoxesAsTheSplitDoes) {
    const struct {
        const char *minute, *second;
        std::int64_t milliseconds;
        bool exact = false;
        const char* separator = ".";
    } cases[] = {
        {"3", "24", 204000},
        {" 3 ", " 24 ", 204000},
        {"1", ".5", 60000},
        {"1", "29.5", 90000},
        {"1", "30.5", 90000},
        {"0", "0.5", 0},
        {"0", "1.5", 2000},
        {"0", "2.5", 2000},
        {"1", "30,5", 90000, false, ","},
        {"1 2", "0", 720000},
        {"2E1", "0", 1200000},
        {"3", "00", 180000},
        {"", "", 0},
        {"1E300", "0", 2147483647000},
        {"1E400", "0", 2147483647000},
        {"1", ".5", 60500, true},
        {"0", "0.5", 500, true},
        {"1", "30.5", 90500, true},
        {"1", "30.250", 90250, true},
        {"1", "30,25", 90250, true, ","},
        {"1", "30.25", 90250, true, ","},
        {"0", "0.0004", 0, true},
        {"0", "2.9996", 3000, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadSplitTime(c.minute, c.second, c.exact, c.separator), c.milliseconds)
            << c.minute << ":" << c.second << (c.exact ? " exactly" : "");
    }
}

// A time written into the boxes reads back as the time the split takes for it, by either
// rule, whatever the separator.
TEST(SplitTime, WritesTimesTheBoxesReadBack) {
    const struct {
        std::int64_t milliseconds;
        bool exact;
        const char* separator;
        const char *minute, *second;
    } cases[] = {
        {60500, false, ".", "1", "0"},     {61500, false, ".", "1", "2"},
        {90500, false, ".", "1", "30"},    {59700, false, ".", "1", "0"},
        {3599999, false, ".", "60", "0"},  {60500, true, ".", "1", "0.500"},
        {90250, true, ",", "1", "30,250"}, {5007, true, ".", "0", "5.007"},
        {500, true, ".", "0", "0.500"},    {-20, true, ".", "0", "0.000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.milliseconds << (c.exact ? " exactly" : ""));
        const SplitTimeTexts texts = WriteSplitTime(c.milliseconds, c.exact, c.separator);
        EXPECT_EQ(texts.Minute, c.minute);
        EXPECT_EQ(texts.Second, c.second);
        EXPECT_EQ(ReadSplitTime(texts.Minute, texts.Second, c.exact, c.separator),
                  std::max<std::int64_t>(0, RuledTime(c.milliseconds, c.exact)));
    }
}

}  // namespace
}  // namespace quorvel
