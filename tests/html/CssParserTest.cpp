#include "html/CssParser.h"

#include <gtest/gtest.h>

#include "RecordingLinkSink.h"

namespace torvex {
namespace {

CPageInfo Sheet() {
    CPageInfo sheet;
    sheet.url = CUrl("http://h/css/site.css");
    sheet.localDir = "h/css/";
    sheet.level = 2;
    return sheet;
}

TEST(CssParser, RewritesUrlsAndImportsAndLeavesEverythingElse) {
    const std::string text =
        "/* url(/commented.png) */\n"
        "@import \"print.css\";\n"
        "body { background: URL( '/img/bg.png' ) no-repeat; }\n"
        "li { list-style: url(../img/b.gif); }\n"
        "i { background: url(data:image/png;base64,AAAA); }\n"
        "a { cursor: url(\"unclosed ; }\n";
    test::RecordingLinkSink sink;
    std::string out;
    std::string linkMap;
    CssParser(Sheet(), text, out, linkMap, sink);
    EXPECT_EQ(out,
              "/* url(/commented.png) */\n"
              "@import \"print.css\";\n"
              "body { background: URL( '../img/bg.png' ) no-repeat; }\n"
              "li { list-style: url(../img/b.gif); }\n"
              "i { background: url(data:image/png;base64,AAAA); }\n"
              "a { cursor: url(\"unclosed ; }\n");
    EXPECT_EQ(linkMap,
              "http://h/css/print.css\t12 \t\n"
              "http://h/img/bg.png\t1  \t\n"
              "http://h/img/b.gif\t1  \t\n");
    ASSERT_EQ(sink.offers.size(), 3u);
    EXPECT_EQ(sink.offers[1].level, 2);   // a sheet's parts stay on its level
}

} // namespace
} // namespace torvex
