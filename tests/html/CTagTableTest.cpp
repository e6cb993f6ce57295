#include "html/CTagTable.h"

#include <gtest/gtest.h>

#include <string>

#include "html/LinkMapLine.h"

namespace torvex {
namespace {

TEST(CTagTable, CodesAreFixed) {
    const char* names[] = {"a",    "img",  "frame", "iframe", "td",     "script",
                           "body", "meta", "base",  "area",   "input",  "ilayer",
                           "link", "embed", "applet", "option", "image", "tr"};
    const CTagTable& table = CTagTable::Get();
    for (int code = 0; code < kTagCount; ++code) {
        EXPECT_EQ(table.Row(code).name, names[code]);
        EXPECT_EQ(table.MatchTag(std::string(names[code]) + " "), code);
    }
    EXPECT_TRUE(table.HasAttribute(14, "ARCHIVE"));
    EXPECT_TRUE(table.HasAttribute(17, "onclick"));
    EXPECT_FALSE(table.HasAttribute(17, "href"));
    EXPECT_FALSE(table.HasAttribute(kTagCount, "href"));
}

TEST(CTagTable, MatchNeedsWholeNameAndSpaceOrLineBreak) {
    const CTagTable& table = CTagTable::Get();
    EXPECT_EQ(table.MatchTag("A\nhref"), 0);
    EXPECT_EQ(table.MatchTag("IMAGE\r"), 16);
    EXPECT_EQ(table.MatchTag("img src"), 1);
    EXPECT_EQ(table.MatchTag("a\thref"), -1);
    EXPECT_EQ(table.MatchTag("a>"), -1);
    EXPECT_EQ(table.MatchTag("a"), -1);
    EXPECT_EQ(table.MatchTag("abbr "), -1);
    EXPECT_EQ(table.MatchTag("tbody "), -1);
    EXPECT_EQ(table.MatchTag(""), -1);
}

TEST(LinkMapLine, Format) {
    std::string out;
    AppendLinkMapBaseLine(out, "http://h/p.html");
    AppendLinkMapLine(out, "http://h/a.gif", 1);
    AppendLinkMapLine(out, "http://h/b.html", 15);
    AppendLinkMapLine(out, std::string_view("bad\0tail", 8), -2);
    EXPECT_EQ(out, "http://h/p.html\t-1\t\nhttp://h/a.gif\t1  \t\nhttp://h/b.html\t15 \t\n"
                   "bad\t-2 \t\n");
}

} // namespace
} // namespace torvex
