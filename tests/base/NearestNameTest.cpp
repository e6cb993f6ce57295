#include "base/NearestName.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace torvex {
namespace {

TEST(NearestNameDistance, CountsEditsAndSwapsWithoutCase) {
    const struct {
        const char* a;
        const char* b;
        std::size_t distance;
    } rows[] = {
        {"", "", 0},           {"Level", "level", 0}, {"Levle", "Level", 1},
        {"Lvel", "Level", 1},  {"Leveel", "Level", 1}, {"Lxvel", "Level", 1},
        {"", "abc", 3},        {"abc", "", 3},         {"kitten", "sitting", 3},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.a) + " / " + r.b);
        EXPECT_EQ(NameDistance(r.a, r.b), r.distance);
        EXPECT_EQ(NameDistance(r.b, r.a), r.distance);
    }
}

TEST(NearestNameChoice, TakesTheClosestWhenCloseEnough) {
    constexpr std::array<std::string_view, 4> names = {"Level", "Retry", "TimeOut", "Link"};
    EXPECT_EQ(NearestName("Levle", names), "Level");
    EXPECT_EQ(NearestName("Rety", names), "Retry");
    EXPECT_EQ(NearestName("timeot", names), "TimeOut");
    EXPECT_EQ(NearestName("Banana", names), "");
    EXPECT_EQ(NearestName("", names), "");
    EXPECT_EQ(NearestName("Lx", names), "");   // two characters are never a typo of a name
    EXPECT_EQ(NearestName("Level", std::span<const std::string_view>()), "");
}

} // namespace
} // namespace torvex
