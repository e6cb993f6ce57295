#include "html/CharacterReferences.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace torvex {
namespace {

TEST(CharacterReferences, DecodedAsInABrowsersAttribute) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"e&#120;.html", "ex.html"},
        {"a&#X2f;b&#x2F;c", "a/b/c"},
        {"q?a=1&amp;b=2&AMP;c", "q?a=1&b=2&c"},
        {"&lt;&gt&quot;&apos;", "<>\"'"},
        {"caf&eacute;&#233;", "caf\xc3\xa9\xc3\xa9"},
        {"&nbsp;", "\xc2\xa0"},
        {"&#128;&#x9d;", "\xe2\x82\xac\xc2\x9d"},              // Windows-1252, or itself
        {"&#0;&#xD800;&#1114112;&#99999999999999;",
         "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
        {"&#x1F600;", "\xf0\x9f\x98\x80"},
        {"javascript&colon;go()", "javascript:go()"},
        {"&sol;&num;&quest;&period;", "/#?."},
        {"p.php?a=1&copy=2", "p.php?a=1&copy=2"},           // "=" after a legacy name: text
        {"p.php?x&copyright", "p.php?x&copyright"},         // a letter after it: text
        {"&copy;&copy &copy", "\xc2\xa9\xc2\xa9 \xc2\xa9"},
        {"&apos", "&apos"},                                 // only legacy names go without ";"
        {"&unknown; & &# &#x; &#;", "&unknown; & &# &#x; &#;"},
        {"&", "&"},
        {"", ""},
        {"&ampx", "&ampx"},
        {"&amp;amp;", "&amp;"},                             // decoded once
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        std::string out;
        DecodeCharacterReferences(c.in, out);
        EXPECT_EQ(out, c.out);
        EXPECT_LE(out.size(), std::string_view(c.in).size());
    }
}

TEST(CharacterReferences, OffsetsMapTheDecodedTextBackToTheValueAsWritten) {
    std::string out;
    std::vector<std::uint32_t> raw;
    DecodeCharacterReferences("a&#47;&eacute;b", out, &raw);
    EXPECT_EQ(out, "a/\xc3\xa9" "b");
    EXPECT_EQ(raw, (std::vector<std::uint32_t>{0, 1, 6, 6, 14, 15}));
    DecodeCharacterReferences("", out, &raw);
    EXPECT_EQ(raw, (std::vector<std::uint32_t>{0}));
}

TEST(CharacterReferences, HasCharacterReferenceOnlyForOnesThatDecode) {
    EXPECT_TRUE(HasCharacterReference("a&amp;b"));
    EXPECT_TRUE(HasCharacterReference("x&#1"));
    EXPECT_FALSE(HasCharacterReference("q.cgi-x=1&lt=2"));
    EXPECT_FALSE(HasCharacterReference("q.cgi-x=1&y=2"));
    EXPECT_FALSE(HasCharacterReference("&& &#"));
}

} // namespace
} // namespace torvex
