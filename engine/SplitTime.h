#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/Message.h"

namespace quorvel {

// What the minute and the second boxes mean, under either rule: the frame rule reads whole
// seconds, the exact mode milliseconds. The window's boxes, the waveform and the companion
// read and write split times through these alone, so that each cuts where the split does.

// The refusal that leaving the minute or the second box with this text earns, if any. In
// the exact mode the second may carry up to three decimals after the user's decimal
// separator or a point.
std::optional<Message> CheckSplitMinute(std::string_view text);
std::optional<Message> CheckSplitSecond(std::string_view text, bool exact = false,
                                        std::string_view decimalSeparator = ".");

// The split time the boxes give, in milliseconds, as the split reads them, whether or not
// they were left: minutes * 60 + seconds, each the number that starts its text; by the
// frame rule rounded to the whole second, a half to the even one (minute 1, second ".5" is
// 1:00), in the exact mode to the millisecond, the second read after the user's decimal
// separator or a point. A time beyond 32 bits of seconds reads as that many.
std::int64_t ReadSplitTime(std::string_view minute, std::string_view second, bool exact,
                           std::string_view decimalSeparator);

// The time a split at `milliseconds` cuts by: itself in the exact mode, by the frame rule
// the whole second, a half to the even one.
std::int64_t RuledTime(std::int64_t milliseconds, bool exact);

// A time written into the boxes so that ReadSplitTime reads back RuledTime of it: whole
// minutes, and the rest in whole seconds, or in the exact mode to three decimals after
// the user's decimal separator. No negative time.
struct SplitTimeTexts {
    std::string Minute;
    std::string Second;
};
SplitTimeTexts WriteSplitTime(std::int64_t milliseconds, bool exact,
                              std::string_view decimalSeparator);

}  // namespace quorvel
