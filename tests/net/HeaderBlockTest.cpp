#include <gtest/gtest.h>

#include <string>

#include "net/Base64.h"
#include "net/CHttpTransaction.h"
#include "net/HeaderBlock.h"

namespace torvex {
namespace {

HeaderBlock BlockOf(const std::string& text) {
    HeaderBlock block;
    block.Append(text);
    return block;
}

TEST(HeaderBlockGetHeader, FindsValuesWithoutRegardToCase) {
    const HeaderBlock block = BlockOf(
        "HTTP/1.0 200 OK\r\ncontent-TYPE:   text/html  \r\nContent-Length: 12\nX-Empty:\r\n\r\n");
    EXPECT_EQ(block.GetHeader("Content-Type"), "text/html  ");
    EXPECT_EQ(block.GetHeader("Content-Length"), "12");
    EXPECT_EQ(block.GetHeader("X-Empty"), "");
    EXPECT_EQ(block.GetHeader("Location"), "");
}

TEST(HeaderBlockGetHeader, MatchesOnlyANameThatBeginsALineUpToItsColon) {
    const struct {
        const char* block;
        const char* name;
        const char* value;
    } cases[] = {
        {"HTTP/1.0 302 Found\r\nContent-Location: /a\r\nLocation: /b\r\n\r\n", "Location", "/b"},
        {"HTTP/1.0 200 OK\r\nX-Content-Type-Options: nosniff\r\nContent-Type: text/html\r\n\r\n",
         "Content-Type", "text/html"},
        {"HTTP/1.0 302 Found\r\nSet-Cookie: Location=/x\r\nX-Trick: Location: /evil.html\r\n"
         "Location: /real.html\r\n\r\n",
         "Location", "/real.html"},
        {"HTTP/1.0 200 OK\r\nX-Original-Content-Length: 3\r\nContent-Length: 12\r\n\r\n",
         "Content-Length", "12"},
        {"HTTP/1.0 200 OK\r\nX-Original-Content-Length: 3\r\n\r\n", "Content-Length", ""},
        {"HTTP/1.0 200 OK\r\nContent-Length : 5\r\nContent-Lengthy: 6\r\n\r\n",
         "Content-Length", ""},
        {"HTTP/1.0 200 Content-Type: text/html\r\n\r\n", "Content-Type", ""},
        {"HTTP/1.0 200 OK\nlocation:\t/tab\n\n", "Location", "/tab"},
        {"HTTP/1.0 200 OK\r\nLocation: /first\r\nLocation: /second\r\n", "Location", "/first"},
        {"HTTP/1.0 200 OK\r\nLocation: /unended", "Location", "/unended"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.block);
        EXPECT_EQ(BlockOf(c.block).GetHeader(c.name), c.value);
    }
}

TEST(HeaderBlockGetHeader, CutsValuesAt1024Characters) {
    const HeaderBlock block = BlockOf("HTTP/1.0 200 OK\r\nX: " + std::string(1500, 'v') + "\r\n");
    EXPECT_EQ(block.GetHeader("X").size(), kMaxHeaderValue);
}

TEST(HeaderBlockStatusField, SplitsTheFirstLineAtItsSpaces) {
    const struct {
        const char* text;
        const char* field0;
        const char* field1;
        const char* field2;
    } cases[] = {
        {"HTTP/1.0 404 Not Found\r\nX: y\r\n", "HTTP/1.0", "404", "Not Found"},
        {"HTTP/1.0 503\r\n", "HTTP/1.0", "", ""},
        {"HTTP/1.1 200 \r\n", "HTTP/1.1", "200", ""},
        {"HTTP/1.0\n", "HTTP/1.0", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const HeaderBlock block = BlockOf(c.text);
        EXPECT_EQ(block.StatusField(0), c.field0);
        EXPECT_EQ(block.StatusField(1), c.field1);
        EXPECT_EQ(block.StatusField(2), c.field2);
    }
}

TEST(HeaderBlockAppend, DropsWholeLinesBeyond4096Characters) {
    HeaderBlock block;
    EXPECT_TRUE(block.Append(std::string(4090, 'a') + "\r\n"));
    EXPECT_TRUE(block.Append("ab\r\n"));   // exactly 4096
    EXPECT_FALSE(block.Append("c\n"));
    EXPECT_EQ(block.Text().size(), kMaxHeaderBlock);
    EXPECT_TRUE(block.Overflowed());

    block.Clear();
    EXPECT_TRUE(block.Append(std::string(4095, 'a')));
    EXPECT_FALSE(block.Append("bc"));
    EXPECT_FALSE(block.Append("d"));   // nothing after a dropped line, even when it would fit
    EXPECT_EQ(block.Text().size(), 4095u);
}

TEST(Base64Encode, PadsByTheLengthOfTheLastGroup) {
    const struct {
        const char* plain;
        const char* encoded;
    } cases[] = {
        {"ab:", "YWI6"},              // three bytes: no padding
        {"abc:", "YWJjOg=="},         // four bytes: two "="
        {"abcd:", "YWJjZDo="},        // five bytes: one "="
        {"Aladdin:open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
        {"", ""},
        {"\xff\xfe", "//4="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.plain);
        EXPECT_EQ(Base64Encode(c.plain), c.encoded);
    }
}

TEST(UserAgentText, FollowsTheMode) {
    EXPECT_EQ(UserAgentText(0, "mine"), "");
    EXPECT_EQ(UserAgentText(1, "mine"), "Torvex/0.9");
    EXPECT_EQ(UserAgentText(2, "mine"), "Mozilla/5.0 (compatible; MSIE5.0)");
    EXPECT_EQ(UserAgentText(3, "mine"), "Mozilla/4.7");
    EXPECT_EQ(UserAgentText(4, "mine"), "mine");
}

} // namespace
} // namespace torvex
