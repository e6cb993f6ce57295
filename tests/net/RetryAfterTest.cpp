#include <cstdint>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "net/RetryAfter.h"

namespace torvex {
namespace {

constexpr std::int64_t kNov1994 = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
constexpr std::int64_t kDec2026 = 1796688000; // Tue, 08 Dec 2026 00:00:00 GMT

TEST(HttpDateParse, ReadsTheThreeFormsAndRefusesTheRest) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> when;
    };
    const Case cases[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", kNov1994},
        {"Sunday, 06-Nov-94 08:49:37 GMT", kNov1994},
        {"Sun Nov  6 08:49:37 1994", kNov1994},
        {"  Sun, 06 Nov 1994 08:49:37 GMT\t", kNov1994},
        {"Tue, 29 Feb 2000 23:59:59 GMT", 951868799},
        {"Tuesday, 01-Jan-69 00:00:00 GMT", 3124224000}, // within 50 years: the future
        {"Tuesday, 01-Jan-80 00:00:00 GMT", 315532800},  // beyond 50 years: the past
        {"Thu Jan 01 00:00:00 1970", 0},
        {"", std::nullopt},
        {"yesterday", std::nullopt},
        {"Sun, 06 Nov 1994 08:49:37 UTC", std::nullopt},
        {"Sun, 06 Nov 1994 08:49:37", std::nullopt},
        {"Sun, 6 Nov 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 06 Now 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 31 Nov 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 29 Feb 1900 08:49:37 GMT", std::nullopt},
        {"Sun, 00 Nov 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 24:00:00 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 08:60:00 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 08:49:37 GMT trailing", std::nullopt},
        {"Sun, 06 Nov 19x4 08:49:37 GMT", std::nullopt},
        {"Sunday, 06-Nov-1994 08:49:37 GMT", std::nullopt},
        {"Sun Nov 6 08:49:37 1994", std::nullopt},
        {"Sun Nov  6 08:49:37 1994 GMT", std::nullopt},
        {"Xyz, 06 Nov 1994 08:49:37 GMT", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseHttpDate(c.text, kDec2026), c.when);
    }
}

TEST(RetryAfterValue, GivesTheWaitOrNothing) {
    struct Case {
        std::string value;
        std::optional<std::int64_t> seconds;
    };
    const Case cases[] = {
        {"0", 0},
        {"120", 120},
        {" 7 ", 7},
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", std::nullopt}, // one past what a count can hold
        {"99999999999999999999999", std::nullopt},
        {"-5", std::nullopt},
        {"+5", std::nullopt},
        {"1.5", std::nullopt},
        {"12abc", std::nullopt},
        {"soon", std::nullopt},
        {"", std::nullopt},
        {"Tue, 08 Dec 2026 00:01:30 GMT", 90},
        {"Tuesday, 08-Dec-26 00:00:10 GMT", 10},
        {"Tue Dec  8 01:00:00 2026", 3600},
        {"Sun, 06 Nov 1994 08:49:37 GMT", 0}, // a date that has passed: no wait
        {"Tue, 08 Dec 2026 00:00:00 GMT", 0},
        {"Tue, 08 Dec 2026 00:00:00 CET", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(RetryAfterSeconds(c.value, kDec2026), c.seconds);
    }
}

TEST(BusyReplyWait, ReadsADateAgainstTheRepliesOwnDate) {
    const std::string anHourAgo = "Mon, 07 Dec 2026 23:00:00 GMT";
    EXPECT_EQ(BusyReplyWait("Mon, 07 Dec 2026 23:00:30 GMT", anHourAgo, kDec2026), 30);
    EXPECT_EQ(BusyReplyWait("Mon, 07 Dec 2026 23:00:30 GMT", "", kDec2026), 0);
    EXPECT_EQ(BusyReplyWait("Tue, 08 Dec 2026 00:00:30 GMT", "garbage", kDec2026), 30);
    EXPECT_EQ(BusyReplyWait("45", anHourAgo, kDec2026), 45);
    EXPECT_EQ(BusyReplyWait("", anHourAgo, kDec2026), -1);
    EXPECT_EQ(BusyReplyWait("later", "", kDec2026), -1);
}

} // namespace
} // namespace torvex
