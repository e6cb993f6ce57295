#include "html/CAttrList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace torvex {
namespace {

struct Expected {
    std::string name;
    std::string value;
};

// Parses `tag` and checks names, values, and that each position points at its text.
void ExpectAttributes(std::string tag, const std::vector<Expected>& expected) {
    SCOPED_TRACE(tag);
    CAttrList list;
    ParseAttributes(std::span<char>(tag.data(), tag.size()), list);
    ASSERT_EQ(list.Size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list[i].name, expected[i].name);
        EXPECT_EQ(list[i].value, expected[i].value);
        EXPECT_EQ(tag.substr(list[i].namePos, list[i].name.size()), expected[i].name);
        EXPECT_EQ(tag.substr(list[i].valuePos, list[i].value.size()), expected[i].value);
    }
}

TEST(ParseAttributes, ValueForms) {
    ExpectAttributes(" href=\"a b.html\" src='c.gif' alt=plain", 
                     {{"href", "a b.html"}, {"src", "c.gif"}, {"alt", "plain"}});
    ExpectAttributes(" title='say \"hi\"' x=\"it's\"", {{"title", "say \"hi\""}, {"x", "it's"}});
    ExpectAttributes("  href  =  \"x.html\"   ", {{"href", "x.html"}});
    ExpectAttributes(" selected value=v nowrap", {{"selected", ""}, {"value", "v"}, {"nowrap", ""}});
    ExpectAttributes(" href=\"\" src=", {{"href", ""}, {"src", ""}});
    ExpectAttributes(" a=\"'nested'\" b=\"  padded  \"", {{"a", "nested"}, {"b", "padded"}});
    ExpectAttributes(" href=\"unclosed.html", {{"href", "unclosed.html"}});
    ExpectAttributes(" href=a\"b", {{"href", "a\"b"}});
}

TEST(ParseAttributes, EscapedQuotesFromScriptStrings) {
    ExpectAttributes(" href=\\\"x.html\\\" target=\\\"_top\\\"",
                     {{"href", "x.html"}, {"target", "_top"}});
    ExpectAttributes(" src=\\'y.gif\\'", {{"src", "y.gif"}});
    // Inside a quoted value a backslash and the same quote end it.
    ExpectAttributes(" href=\"a.html\\\" b=c", {{"href", "a.html"}, {"b", "c"}});
    ExpectAttributes(" href='\\\"z.html\\\"'", {{"href", "\\\"z.html\\\""}});
}

TEST(ParseAttributes, QuotesBelongToTheName) {
    ExpectAttributes(" \"odd name\"=1 'x'y=2", {{"\"odd name\"", "1"}, {"'x'y", "2"}});
}

TEST(ParseAttributes, TabsAndLineBreaksBecomeSpacesInPlace) {
    std::string tag = "\thref=\r\n'x.html'\nsrc=\ty";
    CAttrList list;
    ParseAttributes(std::span<char>(tag.data(), tag.size()), list);
    EXPECT_EQ(tag, " href=  'x.html' src= y");
    ASSERT_EQ(list.Size(), 2U);
    EXPECT_EQ(list[0].value, "x.html");
    EXPECT_EQ(list[1].value, "y");
}

TEST(ParseAttributes, NamesAndValuesAtTheirLimits) {
    const std::string name63(63, 'n');
    const std::string value511(511, 'v');
    ExpectAttributes(" " + name63 + "=1 " + std::string(64, 'm') + "=2 a=" + value511 + " b=" +
                         value511 + "w c=3",
                     {{name63, "1"}, {"a", value511}, {"c", "3"}});
}

TEST(ParseAttributes, ListIsEmptiedBeforeEachTag) {
    CAttrList list;
    std::string first = " a=1 b=2";
    std::string second = " c=3";
    ParseAttributes(std::span<char>(first.data(), first.size()), list);
    ParseAttributes(std::span<char>(second.data(), second.size()), list);
    ASSERT_EQ(list.Size(), 1U);
    EXPECT_EQ(list[0].name, "c");
    EXPECT_NE(list.Find("C"), nullptr);
    EXPECT_EQ(list.Find("a"), nullptr);
}

} // namespace
} // namespace torvex
