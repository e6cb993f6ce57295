#include "app/PropertyFields.h"

#include <gtest/gtest.h>

namespace torvex {
namespace {

TEST(NumberFields, ArrowsNeverLeaveTheRange) {
    struct Case {
        CNumberRange range;
        int value;
        int steps;
        int result;
    };
    const Case cases[] = {
        {kLevelRange, 0, -1, 0},           {kLevelRange, 99, 1, 99},
        {kLevelRange, 98, 10, 99},         {kThreadRange, 1, -5, 1},
        {kThreadRange, 50, 1, 50},         {kTimeOutRange, 10, -1, 10},
        {kTimeOutRange, 1200, 1, 1200},    {kRetryRange, 0, -1, 0},
        {kRetryRange, 99, 1, 99},          {kFreeSpaceRange, 2, -1, 2},
        {kFreeSpaceRange, 999, 1, 999},    {kFreeSpaceRange, 1, -1, 2},
        {kFreeSpaceRange, 1, 1, 2},        {kMaxMinuteRange, 9999, 1, 9999},
        {kMaxFileRange, 0, -1, 0},         {kPortRange, 65535, 1, 65535},
        {kLevelRange, 50, 2147483647, 99}, {kLevelRange, 50, -2147483647, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.range.low << ".." << c.range.high << " " << c.value << " " << c.steps);
        EXPECT_EQ(StepNumber(c.value, c.steps, c.range), c.result);
    }
}

TEST(NumberFields, TypedValuesOutsideTheRangeAreRefused) {
    struct Case {
        std::string text;
        CNumberRange range;
        int stored;
        bool accepted;
        int value;
    };
    const Case cases[] = {
        {"8080", kPortRange, 8080, true, 8080},
        {" 21 ", kPortRange, 8080, true, 21},
        {"0", kPortRange, 8080, false, 0},
        {"65536", kPortRange, 8080, false, 0},
        {"99999999999", kPortRange, 8080, false, 0},
        {"", kPortRange, 8080, false, 0},
        {"80a", kPortRange, 8080, false, 0},
        {"-1", kRetryRange, 3, false, 0},
        {"1", kFreeSpaceRange, 2, false, 0},
        // A stored 1 was valid when it was loaded and stays so while it is not changed.
        {"1", kFreeSpaceRange, 1, true, 1},
        {"0", kFreeSpaceRange, 1, false, 0},
        {"2", kFreeSpaceRange, 1, true, 2},
        {"1000", kFreeSpaceRange, 999, false, 0},
        {"51", kThreadRange, 10, false, 0},
        {"9", kTimeOutRange, 120, false, 0},
        {"10000", kMaxFileRange, 0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int value = -7;
        const std::string refusal = CheckNumberText(c.text, c.range, c.stored, value);
        if (c.accepted) {
            EXPECT_EQ(refusal, "");
            EXPECT_EQ(value, c.value);
        } else {
            EXPECT_EQ(refusal, NumberRangeText(c.range));
            EXPECT_EQ(value, -7); // untouched
        }
    }
    EXPECT_EQ(NumberRangeText(kPortRange), "Please enter an integer between 1 and 65535.");
}

TEST(TextFields, RefuseControlCharactersAndOverlongText) {
    EXPECT_EQ(CheckFieldText("Server", "proxy.example.org", 128), "");
    EXPECT_EQ(CheckFieldText("Server", std::string(128, 's'), 128), "");
    EXPECT_EQ(CheckFieldText("Server", std::string(129, 's'), 128),
              "Sorry, \"Server\" should be no longer than 128 characters.");
    for (const std::string& text :
         std::vector<std::string>{"a\nb", "a\rb", "\x7f", std::string("a\0b", 3)}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(CheckFieldText("Server", text, 128),
                  "Sorry, \"Server\" must not contain control characters.");
    }
    EXPECT_EQ(CheckFieldText("Server", "ünïcode", 128), "");
}

TEST(Bits, SetAndClearOneBit) {
    EXPECT_EQ(WithBit(0, 1, true), 1);
    EXPECT_EQ(WithBit(3, 1, false), 2);
    EXPECT_EQ(WithBit(6, 2, true), 6);
    EXPECT_EQ(WithBit(6, 2, false), 4);
}

} // namespace
} // namespace torvex
