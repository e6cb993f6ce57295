#include "html/CTagTable.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>

#include "html/LinkMapLine.h"

namespace torvex {
namespace {

TEST(CTagTable, CodesAreFixed) {
    const char* names[] = {"a",    "img",    "frame",  "iframe", "td",     "script",
                           "body", "meta",   "base",   "area",   "input",  "ilayer",
                           "link", "embed",  "applet", "option", "image",  "tr",
                           "source", "video", "audio", "object", "track"};
    static_assert(std::size(names) == kTagCount);
    const CTagTable& table = CTagTable::Get();
    for (int row = 0; row < kTagCount; ++row) {
        SCOPED_TRACE(names[row]);
        EXPECT_EQ(table.Row(row).name, names[row]);
        EXPECT_EQ(table.MatchTag(std::string(names[row]) + " "), row);
        // A row's own attribute carries the row's number as its code.
        EXPECT_EQ(table.Row(row).attributes[0].code, row);
    }
    EXPECT_TRUE(table.HasAttribute(14, "ARCHIVE"));
    EXPECT_TRUE(table.HasAttribute(17, "onclick"));
    EXPECT_FALSE(table.HasAttribute(17, "href"));
    EXPECT_FALSE(table.HasAttribute(kTagCount, "href"));
    EXPECT_FALSE(table.HasAttribute(-1, "href"));
}

TEST(CTagTable, LaterAttributesCarryCodesClearOfTheFirstTable) {
    const CTagTable& table = CTagTable::Get();
    struct Case {
        int row;
        const char* attribute;
        TagCode code;
    } cases[] = {
        {1, "SRCSET", TagCode::ImgSrcset},       {18, "srcset", TagCode::SourceSrcset},
        {19, "poster", TagCode::VideoPoster},    {12, "imagesrcset", TagCode::LinkSrcset},
        {21, "data", TagCode::Object},           {18, "src", TagCode::Source},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attribute);
        EXPECT_EQ(table.AttributeCode(c.row, c.attribute), static_cast<int>(c.code));
        EXPECT_GE(static_cast<int>(c.code), 18);
        EXPECT_LT(static_cast<int>(c.code), kLinkCodeCount);
    }
    EXPECT_EQ(table.AttributeCode(21, "src"), -1);
}

TEST(CTagTable, CodeProperties) {
    // Which codes lead deeper, count as images or list candidates; every other code is a part
    // of its page on the page's level.
    const std::set<int> deeper = {0, 9, 15, 26};
    const std::set<int> images = {1, 4, 6, 16, 23, 24, 25, 27, 28, 29};
    const std::set<int> lists = {23, 24, 27};
    for (int code = -2; code <= kLinkCodeCount; ++code) {
        SCOPED_TRACE(code);
        EXPECT_EQ(CTagTable::LeadsDeeper(code), deeper.count(code) == 1);
        EXPECT_EQ(CTagTable::IsImage(code), images.count(code) == 1);
        EXPECT_EQ(CTagTable::IsCandidateList(code), lists.count(code) == 1);
    }
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
