#include "base/WildcardMatch.h"

#include <gtest/gtest.h>

#include <string>

namespace torvex {
namespace {

TEST(WildcardMatch, WholeTextWithoutBacktracking) {
    struct Case {
        const char* text;
        const char* pattern;
        bool match;
    };
    const Case cases[] = {
        {"www.Example.com", "*.example.COM", true}, {"example.com", "*.example.com", false},
        {"a.htm", "*.htm", true},                   {"a.htm.htm", "*.htm", false},
        {"abc", "abc", true},                       {"abc", "ab", false},
        {"ab", "abc", false},                       {"abc", "a**c", true},
        {"abc", "*", true},                         {"", "*", true},
        {"", "", true},                             {"x", "", false},
        {"/a/b/c.gif", "/a/*", true},               {"abcbd", "a*b*d", true},
        {"img12.gif", "img*.gif", true},            {"abc", "abc*", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " ~ " + c.pattern);
        EXPECT_EQ(WildcardMatch(c.text, c.pattern), c.match);
    }
}

TEST(WildcardMatch, ListEntriesAreNotTrimmed) {
    EXPECT_TRUE(WildcardListMatch("b.com", "a.com;b.com"));
    EXPECT_FALSE(WildcardListMatch("b.com", "a.com; b.com"));
    EXPECT_TRUE(WildcardListMatch("b.com", ";;b.com;"));
    EXPECT_FALSE(WildcardListMatch("b.com", ""));
    EXPECT_FALSE(WildcardListMatch("", ";;"));
}

} // namespace
} // namespace torvex
