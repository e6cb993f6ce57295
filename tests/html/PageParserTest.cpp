#include "html/PageParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingLinkSink.h"
#include "base/AsciiCase.h"
#include "html/CTagTable.h"

namespace torvex {
namespace {

using test::RecordingLinkSink;
using namespace std::string_literals;

using test::Line;
using test::PageAt;
using test::Parse;
using test::Parsed;

TEST(PageParserTags, EveryTableAttributeYieldsItsLinkInAnyCase) {
    const CTagTable& table = CTagTable::Get();
    for (int row = 0; row < kTagCount; ++row) {
        if (row == static_cast<int>(TagCode::Meta) || row == static_cast<int>(TagCode::Base)) {
            continue;   // they have tests of their own
        }
        for (const CTagAttribute& attribute : table.Row(row).attributes) {
            if (attribute.name.empty()) {
                break;
            }
            const int code = attribute.code;
            for (bool upper : {false, true}) {
                std::string tag(table.Row(row).name);
                std::string attr(attribute.name);
                if (upper) {
                    for (char& c : tag) {
                        c = ToUpperAscii(c);
                    }
                    for (char& c : attr) {
                        c = ToUpperAscii(c);
                    }
                }
                SCOPED_TRACE(tag + " " + attr);
                // Handlers carry their address as a quoted argument of a call.
                const bool handler = attribute.name.starts_with("on");
                const std::string before = handler ? "go('" : "";
                const std::string after = handler ? "')" : "";
                const Parsed r =
                    Parse("x<" + tag + " " + attr + "=\"" + before + "/e/f.gif" + after + "\">y");
                EXPECT_EQ(r.page,
                          "x<" + tag + " " + attr + "=\"" + before + "../e/f.gif" + after + "\">y");
                EXPECT_EQ(r.linkMap, Line("http://h/e/f.gif", std::to_string(code) +
                                                                   (code < 10 ? "  " : " ")));
                ASSERT_EQ(r.offers.size(), 1U);
                EXPECT_EQ(r.offers[0].tagCode, code);
                EXPECT_EQ(r.offers[0].level, CTagTable::LeadsDeeper(code) ? 3 : 2);
                EXPECT_EQ(r.offers[0].localDir, "h/e/");
                EXPECT_EQ(r.offers[0].fileName, "f.gif");
                EXPECT_EQ(r.offers[0].composed, "http://h/e/f.gif");
                EXPECT_EQ(r.offers[0].referrer, "http://h/d/p.html");
            }
        }
    }
}

TEST(PageParserTags, NameMustBeFollowedBySpaceOrLineBreak) {
    const std::vector<std::string> notTags = {
        "<a\thref=\"/e/x.html\">", "<a>", "<abbr href=\"/e/x.html\">", "<ax href=\"/e/x.html\">",
        "</a href=\"/e/x.html\">", "<a", "<"};
    for (const std::string& html : notTags) {
        SCOPED_TRACE(html);
        const Parsed r = Parse(html);
        EXPECT_EQ(r.page, html);
        EXPECT_EQ(r.linkMap, "");
    }
    const Parsed r = Parse("<a\r\nhref=\"/e/x.html\"></a><img\nsrc=/e/y.gif>");
    EXPECT_EQ(r.page, "<a\r\nhref=\"../e/x.html\"></a><img\nsrc=../e/y.gif>");
    EXPECT_EQ(r.offers.size(), 2U);
}

TEST(PageParserTags, AttributesOutsideTheRowAreLeftAlone) {
    const Parsed r = Parse("<a name=\"/e/n\" HREF='/e/x.html' target=_top>");
    EXPECT_EQ(r.page, "<a name=\"/e/n\" HREF='../e/x.html' target=_top>");
    EXPECT_EQ(r.linkMap, Line("http://h/e/x.html", "0  "));
}

TEST(PageParserTags, LineBreaksAndTabsInsideATagStayInTheStoredPage) {
    const Parsed r =
        Parse("<img\r\n\tsrc =\t\"/e/x.gif\"\r\n\tonclick=\"a('/e/y.gif');\n// x\nb()\">");
    // Read as spaces, kept as they were: otherwise the comment would swallow the call after it.
    EXPECT_EQ(r.page,
              "<img\r\n\tsrc =\t\"../e/x.gif\"\r\n\tonclick=\"a('../e/y.gif');\n// x\nb()\">");
    EXPECT_EQ(r.linkMap, Line("http://h/e/x.gif", "1  ") + Line("http://h/e/y.gif", "1  "));
}

TEST(PageParserValues, HandlerWithoutQuotedArgumentIsNoLink) {
    const std::string html = "<a href=\"/e/x.html\" onclick=\"x=a/b; return false\">"
                             "<tr onmouseover=\"hi(1)\">";
    const Parsed r = Parse(html);
    EXPECT_EQ(r.page, "<a href=\"../e/x.html\" onclick=\"x=a/b; return false\">"
                      "<tr onmouseover=\"hi(1)\">");
    EXPECT_EQ(r.linkMap, Line("http://h/e/x.html", "0  "));
}

TEST(PageParserValues, BothQuoteKindsUnquotedAndEscapedQuotes) {
    const Parsed r = Parse(
        "<a href='/e/1.html'><a href=\"/e/2.html\"><a href=/e/3.html >"
        "<script>document.write(\"<a href=\\\"/e/4.html\\\">x</a>\");"
        "document.write('<img src=\\'/e/5.gif\\'>');</script>"
        "<a href='\\\"/e/6.html\\\"'>");
    EXPECT_EQ(r.page,
              "<a href='../e/1.html'><a href=\"../e/2.html\"><a href=../e/3.html >"
              "<script>document.write(\"<a href=\\\"../e/4.html\\\">x</a>\");"
              "document.write('<img src=\\'../e/5.gif\\'>');</script>"
              "<a href='\\\"../e/6.html\\\"'>");
    EXPECT_EQ(r.linkMap, Line("http://h/e/1.html", "0  ") + Line("http://h/e/2.html", "0  ") +
                             Line("http://h/e/3.html", "0  ") + Line("http://h/e/4.html", "0  ") +
                             Line("http://h/e/5.gif", "1  ") + Line("http://h/e/6.html", "0  "));
}

TEST(PageParserValues, OnclickTakesTheFirstSingleQuotedArgument) {
    const Parsed r = Parse(
        "<img src=s.gif onclick=\"window.open('/e/big.jpg','win','width=600')\">"
        "<a onmouseover=\"swap(\\'/e/on.gif\\')\" href=#>"
        "<tr onclick=\"go('/e/row.html\">");
    EXPECT_EQ(r.page,
              "<img src=s.gif onclick=\"window.open('../e/big.jpg','win','width=600')\">"
              "<a onmouseover=\"swap(\\'../e/on.gif\\')\" href=#>"
              "<tr onclick=\"go('../e/row.html\">");
    EXPECT_EQ(r.linkMap, Line("http://h/d/s.gif", "1  ") + Line("http://h/e/big.jpg", "1  ") +
                             Line("http://h/e/on.gif", "0  ") + Line("", "-2 ") +
                             Line("http://h/e/row.html", "17 "));
}

TEST(PageParserValues, JavascriptLinks) {
    const Parsed r = Parse("<a href=\"JavaScript:openPage('/e/p.html')\">"
                           "<a href=\"javascript:void(0)\"><a href=\"JavaScript:alert('Saved')\">"
                           "<a href='javascript:go(\"x.html\")'>");
    // An address in the call is the link, and the prefix is written in one spelling; script
    // code that names no file is no address: it is recorded as such and left as it stands.
    EXPECT_EQ(r.page, "<a href=\"javascript:openPage('../e/p.html')\">"
                      "<a href=\"javascript:void(0)\"><a href=\"JavaScript:alert('Saved')\">"
                      "<a href='javascript:go(\"x.html\")'>");
    EXPECT_EQ(r.linkMap, Line("http://h/e/p.html", "0  ") + Line("javascript:void(0)", "-2 ") +
                             Line("JavaScript:alert('Saved')", "-2 ") +
                             Line("javascript:go(\"x.html\")", "-2 "));
    EXPECT_EQ(r.offers.size(), 1U);
}

TEST(PageParserValues, FragmentStaysBehindTheRewrittenAddress) {
    const Parsed r = Parse("<a href=\"/e/p.html#part\"><a href=\"#top\"><a href=\"x#a#b\">");
    EXPECT_EQ(r.page, "<a href=\"../e/p.html#part\"><a href=\"#top\"><a href=\"x#a#b\">");
    EXPECT_EQ(r.linkMap,
              Line("http://h/e/p.html", "0  ") + Line("", "-2 ") + Line("http://h/d/x#a", "0  "));
    ASSERT_EQ(r.offers.size(), 2U);
    EXPECT_EQ(r.offers[1].fileName, "x#a");
}

TEST(PageParserValues, UnparseableLinksAreKeptAndRecordedAsInvalid) {
    const Parsed r =
        Parse("<a href=\"mailto:me@h\"><a href=\"//cdn/x.js\"><img src=\"gopher://h/\">");
    EXPECT_EQ(r.page, "<a href=\"mailto:me@h\"><a href=\"//cdn/x.js\"><img src=\"gopher://h/\">");
    EXPECT_EQ(r.linkMap, Line("mailto:me@h", "-2 ") + Line("//cdn/x.js", "-2 ") +
                             Line("gopher://h/", "-2 "));
    EXPECT_TRUE(r.offers.empty());
}

TEST(PageParserValues, AbsoluteLinksToOtherHostsClimbOutOfTheHostDirectory) {
    const Parsed r = Parse("<a href=\"http://Other:8080/x/\"><a href=\"ftp://f/pub/z.zip\">");
    EXPECT_EQ(r.page, "<a href=\"../../other+8080/x/index.html\"><a href=\"../../f/pub/z.zip\">");
    ASSERT_EQ(r.offers.size(), 2U);
    EXPECT_EQ(r.offers[0].composed, "http://other:8080/x/");
    EXPECT_EQ(r.offers[0].localDir, "other+8080/x/");
    EXPECT_EQ(r.offers[0].fileName, "index.html");
}

TEST(PageParserValues, OptionValueLeadsOneLevelDeeper) {
    const Parsed r = Parse("<select><option value=\"/e/a.html\">A<option selected value=b.html>"
                           "</select><img src=\"i.gif\">");
    ASSERT_EQ(r.offers.size(), 3U);
    EXPECT_EQ(r.offers[0].level, 3);
    EXPECT_EQ(r.offers[1].composed, "http://h/d/b.html");
    EXPECT_EQ(r.offers[1].level, 3);
    EXPECT_EQ(r.offers[2].level, 2);
}

TEST(PageParserBase, BaseTagRedirectsLaterLinksAndIsDisabledInThePage) {
    const Parsed r = Parse("<a href=\"x.html\"><BASE HREF=\"http://o/b/\" target=_top>"
                           "<a href=\"y.html\"><base href=\"mailto:z\"><a href=\"../w.html\">");
    EXPECT_EQ(r.page, "<a href=\"x.html\"><BASE !HREF=\"http://o/b/\" target=_top>"
                      "<a href=\"../../o/b/y.html\"><base !href=\"mailto:z\">"
                      "<a href=\"../../o/w.html\">");
    // The base tags take no line, so the lines match the links of the stored page one to one.
    EXPECT_EQ(r.linkMap, Line("http://h/d/x.html", "0  ") + Line("http://o/b/y.html", "0  ") +
                             Line("http://o/w.html", "0  "));
}

TEST(PageParserBase, RelativeBaseResolvesAgainstThePage) {
    const Parsed r = Parse("<base href=\"sub/\"><img src=\"i.gif\">");
    EXPECT_EQ(r.linkMap, Line("http://h/d/sub/i.gif", "1  "));
    EXPECT_EQ(r.page, "<base !href=\"sub/\"><img src=\"sub/i.gif\">");
}

TEST(PageParserMetaRefresh, Variants) {
    struct Case {
        const char* html;
        const char* page;
        const char* linkMap;
    };
    const Case cases[] = {
        {"<meta http-equiv=\"refresh\" content=\"5; url=/e/next.html\">",
         "<meta http-equiv=\"refresh\" content=\"5; url=../e/next.html\">",
         "http://h/e/next.html\t7  \t\n"},
        {"<META HTTP-EQUIV=Refresh CONTENT=\"0;URL=http://h/e/n.html\">",
         "<META HTTP-EQUIV=Refresh CONTENT=\"0;URL=../e/n.html\">", "http://h/e/n.html\t7  \t\n"},
        {"<meta content=\"0; url='/e/q.html'\" http-equiv=\"refresh\">",
         "<meta content=\"0; url='../e/q.html'\" http-equiv=\"refresh\">",
         "http://h/e/q.html\t7  \t\n"},
        {"<meta http-equiv=\"refresh\" content=\"0; URL = /e/s.html#top\">",
         "<meta http-equiv=\"refresh\" content=\"0; URL = ../e/s.html#top\">",
         "http://h/e/s.html\t7  \t\n"},
        {"<meta http-equiv=\"refresh\" content=\"30\">",
         "<meta http-equiv=\"refresh\" content=\"30\">", ""},
        {"<meta http-equiv=\"content-type\" content=\"text/html; charset=x=/e/y\">",
         "<meta http-equiv=\"content-type\" content=\"text/html; charset=x=/e/y\">", ""},
        {"<meta name=\"refresh\" content=\"0;url=/e/n.html\">",
         "<meta name=\"refresh\" content=\"0;url=/e/n.html\">", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.html);
        const Parsed r = Parse(c.html);
        EXPECT_EQ(r.page, c.page);
        EXPECT_EQ(r.linkMap, c.linkMap);
        for (const auto& offer : r.offers) {
            EXPECT_EQ(offer.level, 2);
        }
    }
}

TEST(PageParserScriptFile, LinksBelongToTheIncludingPage) {
    RecordingLinkSink sink;
    const CPageInfo script = PageAt("http://h/js/menu.js", "h/js/", 2,
                                    static_cast<int>(TagCode::Script), "http://h/d/p.html");
    const Parsed r = Parse("document.write('<base href=\"http://o/\">"
                           "<img src=\"i.gif\"><a href=\"/e/x.html\">');",
                           script, sink);
    EXPECT_EQ(r.page, "document.write('<base !href=\"http://o/\">"
                      "<img src=\"i.gif\"><a href=\"../e/x.html\">');");
    EXPECT_EQ(r.linkMap, "http://h/d/p.html\t-1\t\n" + Line("http://h/d/i.gif", "1  ") +
                             Line("http://h/e/x.html", "0  "));
    ASSERT_EQ(r.offers.size(), 2U);
    EXPECT_EQ(r.offers[0].referrer, "http://h/d/p.html");
    EXPECT_EQ(r.offers[1].level, 3);
}

TEST(PageParserLimits, OverlongAndUnterminatedTags) {
    const std::string filler(1024 - std::string(" href=\"/e/a.html\" title=\"\"").size(), 'x');
    const std::string fits = "<a href=\"/e/a.html\" title=\"" + filler + "\">";
    const std::string tooLong = "<a href=\"/e/b.html\" title=\"" + filler + "x\">";
    Parsed r = Parse(fits + "|" + tooLong + "|");
    EXPECT_EQ(r.page, "<a href=\"../e/a.html\" title=\"" + filler + "\">|" + tooLong + "|");
    EXPECT_EQ(r.linkMap, Line("http://h/e/a.html", "0  "));

    // No ">" anywhere after it: the tag ends at the next "<"; the last has neither and is
    // copied as it is.
    r = Parse("<a href=\"/e/c.html\" <img src=\"/e/d.gif\" <img src=\"/e/e.gif\"");
    EXPECT_EQ(r.page, "<a href=\"../e/c.html\" <img src=\"../e/d.gif\" <img src=\"/e/e.gif\"");
    EXPECT_EQ(r.linkMap, Line("http://h/e/c.html", "0  ") + Line("http://h/e/d.gif", "1  "));

    // With a ">" further on, the tag runs to it, and the walk goes on there.
    r = Parse("<a href=\"/e/c.html\" <img src=\"/e/d.gif\"> <img src=\"/e/f.gif\">");
    EXPECT_EQ(r.page, "<a href=\"../e/c.html\" <img src=\"/e/d.gif\"> <img src=\"../e/f.gif\">");
}

TEST(PageParserLimits, OverlongAttributesAreSkipped) {
    const std::string longValue(512, 'v');
    const std::string html = "<a href=\"" + longValue + "\" onclick=\"go('/e/x.html')\">";
    const Parsed r = Parse(html);
    EXPECT_EQ(r.linkMap, Line("http://h/e/x.html", "0  "));
    EXPECT_EQ(r.page, "<a href=\"" + longValue + "\" onclick=\"go('../e/x.html')\">");
}

TEST(PageParserLimits, LocalPathThatDoesNotFitIsRecordedButNotFollowed) {
    RecordingLinkSink sink;
    sink.recordDirLength = 250;
    const Parsed r = Parse("<a href=\"/e/a-rather-long-name.html\">",
                           PageAt("http://h/d/p.html", "h/d/"), sink);
    EXPECT_EQ(r.page, "<a href=\"/e/a-rather-long-name.html\">");
    EXPECT_EQ(r.linkMap, Line("http://h/e/a-rather-long-name.html", "0  "));
    EXPECT_TRUE(r.offers.empty());
}

TEST(PageParserLimits, StopCopiesTheRestUnchanged) {
    RecordingLinkSink sink;
    sink.stopAfterPolls = 1;
    const std::string html = "<a href=\"/e/1.html\"><p><a href=\"/e/2.html\"><a href=\"/e/3.html\">";
    const Parsed r = Parse(html, PageAt("http://h/d/p.html", "h/d/"), sink);
    EXPECT_EQ(r.page, "<a href=\"../e/1.html\"><p><a href=\"/e/2.html\"><a href=\"/e/3.html\">");
    EXPECT_EQ(r.linkMap, Line("http://h/e/1.html", "0  "));
}

TEST(PageParserOutput, RealisticPageIsUnchangedOutsideItsLinks) {
    const std::string html =
        "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n"
        "<title>Caf\xc3\xa9 <a> & more</title>\r\n"
        "<link rel=\"stylesheet\" href=\"/css/site.css\" type=\"text/css\">\r\n"
        "<script src=\"js/menu.js\"></script>\r\n"
        "<!-- <img src=\"old.gif\"> -->\r\n"
        "<style>body { background: url(bg.gif) }</style>\r\n"
        "</head>\r\n<body bgcolor=#ffffff background=\"img/bg.gif\">\r\n"
        "<table><tr onclick=\"location='row.html'\"><td background='img/c.gif' width=10>"
        "</td></tr></table>\r\n"
        "<p>Text with a < sign and <b>bold</b>.\x00<br>\r\n"
        "<a href=\"http://h/d/sub/\" title='Sub'>Sub</a> | "
        "<area shape=rect coords=\"0,0,1,1\" href=\"map.html\">\r\n"
        "<form><input type=image src=\"go.gif\"></form>\r\n"
        "</body>\r\n</html>\r\n"s;
    const std::string expected =
        "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n"
        "<title>Caf\xc3\xa9 <a> & more</title>\r\n"
        "<link rel=\"stylesheet\" href=\"../css/site.css\" type=\"text/css\">\r\n"
        "<script src=\"js/menu.js\"></script>\r\n"
        "<!-- <img src=\"old.gif\"> -->\r\n"
        "<style>body { background: url(bg.gif) }</style>\r\n"
        "</head>\r\n<body bgcolor=#ffffff background=\"img/bg.gif\">\r\n"
        "<table><tr onclick=\"location='row.html'\"><td background='img/c.gif' width=10>"
        "</td></tr></table>\r\n"
        "<p>Text with a < sign and <b>bold</b>.\x00<br>\r\n"
        "<a href=\"sub/index.html\" title='Sub'>Sub</a> | "
        "<area shape=rect coords=\"0,0,1,1\" href=\"map.html\">\r\n"
        "<form><input type=image src=\"go.gif\"></form>\r\n"
        "</body>\r\n</html>\r\n"s;
    const Parsed r = Parse(html);
    EXPECT_EQ(r.page, expected);
    EXPECT_EQ(r.linkMap,
              Line("http://h/css/site.css", "12 ") + Line("http://h/d/js/menu.js", "5  ") +
                  Line("http://h/d/old.gif", "1  ") + Line("http://h/d/bg.gif", "29 ") +
                  Line("http://h/d/img/bg.gif", "6  ") +
                  Line("http://h/d/row.html", "17 ") + Line("http://h/d/img/c.gif", "4  ") +
                  Line("http://h/d/sub/", "0  ") + Line("http://h/d/map.html", "9  ") +
                  Line("http://h/d/go.gif", "10 "));
}

} // namespace
} // namespace torvex
