// The record a gain keeps in an ID3v2 tag: put in and taken out again byte for byte.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/Tags.h"

namespace quorvel {
namespace {

// An ID3v2 tag of `version` holding one text frame (TIT2 "Song") and `padding` zeros.
std::vector<std::uint8_t> Tag(std::uint8_t version, std::uint8_t flags, std::size_t padding) {
    std::vector<std::uint8_t> tag = {'I', 'D', '3', version, 0, flags, 0, 0, 0, 0};
    if (version == 2) {
        const std::uint8_t frame[] = {'T', 'T', '2', 0, 0, 5, 0, 'S', 'o', 'n', 'g'};
        tag.insert(tag.end(), std::begin(frame), std::end(frame));
    } else {
        const std::uint8_t frame[] = {'T', 'I', 'T', '2', 0, 0, 0, 5, 0, 0, 0, 'S', 'o', 'n', 'g'};
        tag.insert(tag.end(), std::begin(frame), std::end(frame));
    }
    tag.resize(tag.size() + padding, 0);
    tag[9] = static_cast<std::uint8_t>(tag.size() - 10);
    return tag;
}

TEST(GainRecord, GoesInBeforeThePaddingAndComesOutLeavingTheTagAsItWas) {
    const struct {
        const char* what;
        std::vector<std::uint8_t> tag;
        bool held;
    } cases[] = {
        {"no tag", {}, true},
        {"version 3 with padding", Tag(3, 0, 40), true},
        {"version 4 without padding", Tag(4, 0, 0), true},
        {"version 2", Tag(2, 0, 10), false},
        {"unsynchronised", Tag(3, 0x80, 10), false},
        {"an extended header", Tag(4, 0x40, 10), false},
        {"a footer", Tag(4, 0x10, 10), false},
    };
    const GainRecord record{
        -3, 150, 76, false, {5, 4 * 1000 + 3, 4 * 123456 + 1}, {{4 * 2 + 1, 97}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        GainRecord recorded = record;
        recorded.NewTag = c.tag.empty();
        const auto with = WithGainRecord(c.tag, recorded);
        ASSERT_EQ(with.has_value(), c.held);
        if (!with) continue;
        // The frames before it and the padding after it stay where a reader finds them.
        if (!c.tag.empty()) {
            EXPECT_TRUE(std::equal(c.tag.begin() + 10, c.tag.begin() + 25, with->begin() + 10));
            EXPECT_EQ(std::string(with->begin() + 25, with->begin() + 29), "TXXX");
        }
        const auto found = FindGainRecord(*with);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->Record, recorded);
        EXPECT_EQ(found->Before, c.tag);
        EXPECT_FALSE(FindGainRecord(c.tag));
    }
}

}  // namespace
}  // namespace quorvel
