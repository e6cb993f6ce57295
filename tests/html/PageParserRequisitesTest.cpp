#include "html/PageParser.h"

#include <gtest/gtest.h>

#include <string>

#include "RecordingLinkSink.h"
#include "html/CTagTable.h"

// The places where today's pages name their parts (srcset lists, media, embedded documents,
// link relations, styles) and the texts that are no addresses at all (other schemes, script
// code, character references).

namespace torvex {
namespace {

using test::Line;
using test::PageAt;
using test::Parse;
using test::Parsed;
using test::RecordingLinkSink;

std::string Code(TagCode code) {
    const int n = static_cast<int>(code);
    return std::to_string(n) + (n < 10 ? "  " : " ");
}

TEST(PageParserSrcset, EveryCandidateIsRewrittenInPlace) {
    const Parsed r = Parse("<img src=\"/e/a.png\" srcset=\"/e/a-1x.png 1x, /e/a-2x.png 2x,"
                           "/e/c.png,, x.png?s=1,2 640w , data:image/png;base64,AA 3x\">");
    EXPECT_EQ(r.page, "<img src=\"../e/a.png\" srcset=\"../e/a-1x.png 1x, ../e/a-2x.png 2x,"
                      "../e/c.png,, x.png-s=1,2 640w , data:image/png;base64,AA 3x\">");
    const std::string srcset = Code(TagCode::ImgSrcset);
    EXPECT_EQ(r.linkMap, Line("http://h/e/a.png", "1  ") + Line("http://h/e/a-1x.png", srcset) +
                             Line("http://h/e/a-2x.png", srcset) +
                             Line("http://h/e/c.png", srcset) +
                             Line("http://h/d/x.png?s=1,2", srcset) +
                             Line("data:image/png;base64,AA", "-2 "));
    ASSERT_EQ(r.offers.size(), 5U);
    for (const auto& offer : r.offers) {
        EXPECT_EQ(offer.level, 2);   // parts of the page, like the img's own src
    }
}

TEST(PageParserSrcset, ListsLongerThanOneAddressAreRead) {
    std::string list;
    std::string rewritten;
    for (int i = 0; i < 5; ++i) {
        const std::string name = "/e/" + std::string(120, static_cast<char>('a' + i)) + ".jpg";
        list += (i ? ", " : "") + name + " " + std::to_string(i + 1) + "00w";
        rewritten += (i ? ", ../" : "../") + name.substr(1) + " " + std::to_string(i + 1) + "00w";
    }
    ASSERT_GT(list.size(), 511U);
    const Parsed r = Parse("<picture><source srcset=\"" + list + "\" sizes=\"50vw\"></picture>");
    EXPECT_EQ(r.page, "<picture><source srcset=\"" + rewritten + "\" sizes=\"50vw\"></picture>");
    ASSERT_EQ(r.offers.size(), 5U);
    EXPECT_EQ(r.offers[4].tagCode, static_cast<int>(TagCode::SourceSrcset));
}

TEST(PageParserMedia, NewTagsAreReadLikeTheTablesOwn) {
    const Parsed r = Parse(
        "<video src=\"/v/m.mp4\" poster=\"/v/p.jpg\"><source src=\"/v/m.webm\" type=video/webm>"
        "<track src=\"/v/c.vtt\" kind=captions></video><audio src=\"/a/s.ogg\"></audio>"
        "<object data=\"/e/d.svg\" type=\"image/svg+xml\"></object><embed src=\"/e/e.svg\">"
        "<input type=image src=\"/e/go.png\">");
    EXPECT_EQ(r.page,
              "<video src=\"../v/m.mp4\" poster=\"../v/p.jpg\"><source src=\"../v/m.webm\" "
              "type=video/webm><track src=\"../v/c.vtt\" kind=captions></video><audio "
              "src=\"../a/s.ogg\"></audio><object data=\"../e/d.svg\" type=\"image/svg+xml\">"
              "</object><embed src=\"../e/e.svg\"><input type=image src=\"../e/go.png\">");
    EXPECT_EQ(r.linkMap,
              Line("http://h/v/m.mp4", Code(TagCode::Video)) +
                  Line("http://h/v/p.jpg", Code(TagCode::VideoPoster)) +
                  Line("http://h/v/m.webm", Code(TagCode::Source)) +
                  Line("http://h/v/c.vtt", Code(TagCode::Track)) +
                  Line("http://h/a/s.ogg", Code(TagCode::Audio)) +
                  Line("http://h/e/d.svg", Code(TagCode::Object)) +
                  Line("http://h/e/e.svg", Code(TagCode::Embed)) +
                  Line("http://h/e/go.png", Code(TagCode::Input)));
}

TEST(PageParserLinkTags, RelationTellsPartsFromPages) {
    struct Case {
        const char* rel;
        TagCode code;
    } cases[] = {
        {"stylesheet", TagCode::Link},     {"Shortcut Icon", TagCode::Link},
        {"icon", TagCode::Link},           {"apple-touch-icon", TagCode::Link},
        {"preload", TagCode::Link},        {"modulepreload", TagCode::Link},
        {"alternate stylesheet", TagCode::Link}, {"", TagCode::Link},
        {"next", TagCode::LinkPage},       {"prev", TagCode::LinkPage},
        {"index", TagCode::LinkPage},      {"canonical", TagCode::LinkPage},
        {"alternate", TagCode::LinkPage},  {"search", TagCode::LinkPage},
        {"preconnect", TagCode::LinkPage}, {"prefetch", TagCode::LinkPage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rel);
        const Parsed r = Parse(std::string("<link href=\"/e/x\" rel=\"") + c.rel + "\">");
        EXPECT_EQ(r.page, std::string("<link href=\"../e/x\" rel=\"") + c.rel + "\">");
        ASSERT_EQ(r.offers.size(), 1U);
        EXPECT_EQ(r.offers[0].tagCode, static_cast<int>(c.code));
        EXPECT_EQ(r.offers[0].level, c.code == TagCode::LinkPage ? 3 : 2);
    }
    const Parsed r = Parse("<link rel=preload as=image href=\"/e/h.jpg\" "
                           "imagesrcset=\"/e/h-1.jpg 1x, /e/h-2.jpg 2x\">");
    EXPECT_EQ(r.linkMap, Line("http://h/e/h.jpg", "12 ") +
                             Line("http://h/e/h-1.jpg", Code(TagCode::LinkSrcset)) +
                             Line("http://h/e/h-2.jpg", Code(TagCode::LinkSrcset)));
}

TEST(PageParserStyles, StyleAttributesOfAnyTag) {
    const Parsed r = Parse(
        "<div class=\"hero\" style=\"background:url('/e/bg.png') no-repeat\">"
        "<span style='background-image: url(/e/s.png), url(\"/e/t.png\")' title=\"<a href=x>\">"
        "<td background=\"/e/a.gif\" style=\"background:url(/e/b.gif)\">"
        "<p title=\"style\">x</p><section\nstyle=\"mask:url(#m);filter:url(/e/f.svg#blur)\">");
    EXPECT_EQ(r.page,
              "<div class=\"hero\" style=\"background:url('../e/bg.png') no-repeat\">"
              "<span style='background-image: url(../e/s.png), url(\"../e/t.png\")' "
              "title=\"<a href=x>\">"   // the walk goes on after the style
              "<td background=\"../e/a.gif\" style=\"background:url(../e/b.gif)\">"
              "<p title=\"style\">x</p>"
              "<section\nstyle=\"mask:url(#m);filter:url(../e/f.svg#blur)\">");
    const std::string style = Code(TagCode::StyleAttribute);
    EXPECT_EQ(r.linkMap, Line("http://h/e/bg.png", style) + Line("http://h/e/s.png", style) +
                             Line("http://h/e/t.png", style) + Line("http://h/d/x", "0  ") +
                             Line("http://h/e/a.gif", "4  ") + Line("http://h/e/b.gif", style) +
                             Line("http://h/e/f.svg", style));
}

TEST(PageParserStyles, StyleElementsAreReadAsStyleSheets) {
    const Parsed r = Parse(
        "<STYLE media=screen>@import \"/e/print.css\"; @import url(/e/more.css);\n"
        ".x{background:url(/e/x.png)} /* url(/e/no.png) */ .f{filter:url(#blur)}</style>"
        "<style>.u{background:url(data:image/gif;base64,R0)}</StYlE><img src=\"/e/i.png\">"
        "<style>.never{background:url(/e/n.png)}");
    EXPECT_EQ(r.page,
              "<STYLE media=screen>@import \"../e/print.css\"; @import url(../e/more.css);\n"
              ".x{background:url(../e/x.png)} /* url(/e/no.png) */ .f{filter:url(#blur)}</style>"
              "<style>.u{background:url(data:image/gif;base64,R0)}</StYlE><img src=\"../e/i.png\">"
              "<style>.never{background:url(/e/n.png)}");
    EXPECT_EQ(r.linkMap, Line("http://h/e/print.css", Code(TagCode::StyleImport)) +
                             Line("http://h/e/more.css", Code(TagCode::StyleImport)) +
                             Line("http://h/e/x.png", Code(TagCode::StyleBlock)) +
                             Line("http://h/e/i.png", "1  "));
}

TEST(PageParserSchemes, OtherSchemesAreNeverRequestedNorRewritten) {
    const char* const links[] = {
        "<a href=\"tel:+123\">",           "<a href=\"data:text/html,-b\">",
        "<iframe src=\"about:blank\">",    "<a href=\"vbscript:x\">",
        "<a href=\"mailto:me@h?subject=x\">", "<img src=\"blob:http://h/1\">",
        "<a href=\"javascript:void(0)\">", "<a href=\"  JAVASCRIPT:fn()\">",
        "<a href=\"javascript&colon;fn()\">", "<a href=\"sms:+1\">",
    };
    for (const char* html : links) {
        SCOPED_TRACE(html);
        const Parsed r = Parse(html);
        EXPECT_EQ(r.page, html);
        EXPECT_TRUE(r.offers.empty());
        EXPECT_NE(r.linkMap.find("\t-2 \t\n"), std::string::npos);
    }
}

TEST(PageParserReferences, AddressesAreReadAsABrowserReadsThem) {
    const Parsed r = Parse("<a href=\"e&#120;.html\"><a href=\"q.php?a=1&amp;b=2\">"
                           "<a href=\"x.php?a=1&amp;copy;=2\"><a href=\"it&#39;s.html\">"
                           "<img src=/e/a&#32;b.png>");
    // Written back so that a browser reads the local name again: quotes and "&" that would
    // begin a reference as references, blanks of an unquoted value too.
    EXPECT_EQ(r.page, "<a href=\"ex.html\"><a href=\"q.php-a=1&b=2\">"
                      "<a href=\"x.php-a=1&amp;copy;=2\"><a href=\"it&#39;s.html\">"
                      "<img src=../e/a&#32;b.png>");
    EXPECT_EQ(r.linkMap, Line("http://h/d/ex.html", "0  ") +
                             Line("http://h/d/q.php?a=1&b=2", "0  ") +
                             Line("http://h/d/x.php?a=1&copy;=2", "0  ") +
                             Line("http://h/d/it's.html", "0  ") +
                             Line("http://h/e/a b.png", "1  "));
}

TEST(PageParserScriptCalls, OnlyAddressesInCallsAreLinks) {
    const Parsed r = Parse("<a href=\"x.html\" onclick=\"alert('Saved')\">"
                           "<img src=i.gif onmouseover=\"swap('i2.gif')\">"
                           "<a onclick=\"show('a b.html')\">");
    EXPECT_EQ(r.linkMap, Line("http://h/d/x.html", "0  ") + Line("http://h/d/i.gif", "1  ") +
                             Line("http://h/d/i2.gif", "1  "));
}

TEST(PageParserScriptFile, OnlyQuotedAddressesAreLinks) {
    RecordingLinkSink sink;
    const CPageInfo script = PageAt("http://h/_static/s.js", "h/_static/", 2,
                                    static_cast<int>(TagCode::Script), "http://h/d/p.html");
    const std::string js =
        "$('<p><a href=\"javascript:SphinxHighlight.hideSearchWords()\">x</a></p>');\n"
        "x = '<img src=\"' + root + '_static/file.png\" alt=\"\"/>';\n"
        "y = '<img src='+path+'>';\n"
        "z = '<a href=\"#\"></a><img src=\"../_static/ok.png\">';\n";
    const Parsed r = Parse(js, script, sink);
    EXPECT_EQ(r.page,
              "$('<p><a href=\"javascript:SphinxHighlight.hideSearchWords()\">x</a></p>');\n"
              "x = '<img src=\"' + root + '_static/file.png\" alt=\"\"/>';\n"
              "y = '<img src='+path+'>';\n"
              "z = '<a href=\"#\"></a><img src=\"../_static/ok.png\">';\n");
    EXPECT_EQ(r.linkMap, "http://h/d/p.html\t-1\t\n" +
                             Line("javascript:SphinxHighlight.hideSearchWords()", "-2 ") +
                             Line("+ root +", "-2 ") + Line("+path+", "-2 ") + Line("", "-2 ") +
                             Line("http://h/_static/ok.png", "1  "));
    ASSERT_EQ(r.offers.size(), 1U);
    EXPECT_EQ(r.offers[0].composed, "http://h/_static/ok.png");
}

} // namespace
} // namespace torvex
