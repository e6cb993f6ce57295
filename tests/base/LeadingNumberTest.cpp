#include "base/LeadingNumber.h"

#include <gtest/gtest.h>

namespace torvex {
namespace {

TEST(LeadingNumber, ReadsLikeAtoiWithoutOverflow) {
    EXPECT_EQ(LeadingNumber(" 42abc"), 42);
    EXPECT_EQ(LeadingNumber("-7"), -7);
    EXPECT_EQ(LeadingNumber("abc"), 0);
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_GT(LeadingNumber("99999999999999999999999999"), 0);
}

} // namespace
} // namespace torvex
