#include "capture/JsonText.h"

#include <string>

#include <gtest/gtest.h>

namespace torvex {
namespace {

TEST(ParseJson, ReadsEveryKindOfValue) {
    const auto json = ParseJson(
        " {\"s\":\"a\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\u00e9\", \"n\":-1.5e+3,"
        "\"z\":0,\"t\":true,\"f\":false,\"0\":null,\"a\":[1,[],{}],\"o\":{\"k\":\"v\"}}\r\n");
    ASSERT_TRUE(json);
    ASSERT_EQ(json->kind, JsonValue::Kind::Object);
    ASSERT_EQ(json->members.size(), 8u);
    EXPECT_EQ(json->Member("s")->text, "a\"\\/\b\f\n\r\t\xc3\xa9\xf0\x9f\x98\x80\xc3\xa9");
    EXPECT_EQ(json->Member("n")->text, "-1.5e+3");
    EXPECT_EQ(json->Member("z")->kind, JsonValue::Kind::Number);
    EXPECT_TRUE(json->Member("t")->boolean);
    EXPECT_EQ(json->Member("f")->kind, JsonValue::Kind::Boolean);
    EXPECT_FALSE(json->Member("f")->boolean);
    EXPECT_EQ(json->Member("0")->kind, JsonValue::Kind::Null);
    EXPECT_EQ(json->Member("a")->items.size(), 3u);
    EXPECT_EQ(json->Member("o")->Member("k")->text, "v");
    EXPECT_EQ(json->Member("missing"), nullptr);
    EXPECT_EQ(json->Member("s")->Member("s"), nullptr); // not an object
}

TEST(ParseJson, RefusesWhatIsNotStrictJson) {
    const char* const texts[] = {
        "",
        " ",
        "{",
        "{}}",
        "{,}",
        "[1,]",
        "{\"a\"}",
        "{\"a\":}",
        "{'a':1}",
        "{a:1}",
        "01",
        "1.",
        ".5",
        "1e",
        "-",
        "+1",
        "tru",
        "nul",
        "\"\\x\"",
        "\"\\u12\"",
        "\"\\uzzzz\"",
        "\"open",
        "\"\t\"",
        "\xef\xbb\xbf{}",
        "\"\\udc00\"",
        "\"\\ud800\\u0041\"",
        "\"\xf5\x80\x80\x80\"",
        "\"\xe0\x80\xaf\"",
        "\"\xf4\x90\x80\x80\"",
        "\"\xc3\"",
        "NaN",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(ParseJson(text));
    }
    EXPECT_FALSE(ParseJson(std::string_view("{}\0", 3)));
}

TEST(ParseJson, NestsUpToItsDepthAndNoFurther) {
    const auto nested = [](std::size_t depth) {
        return std::string(depth, '[') + std::string(depth, ']');
    };
    EXPECT_TRUE(ParseJson(nested(kMaxJsonDepth)));
    EXPECT_FALSE(ParseJson(nested(kMaxJsonDepth + 1)));
    EXPECT_FALSE(ParseJson(std::string(100000, '['))); // no stack is spent on it
}

TEST(JsonQuoted, EscapesWhatJsonNeedsAndReadsBack) {
    const std::string text = "a\"b\\c\n\r\t\x01\x1f\x7f/\xc3\xa9";
    const std::string quoted = JsonQuoted(text);
    EXPECT_EQ(quoted, "\"a\\\"b\\\\c\\n\\r\\t\\u0001\\u001f\x7f/\xc3\xa9\"");
    const auto back = ParseJson(quoted);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->text, text);
    // Bytes that are not UTF-8 cannot be carried: each becomes U+FFFD.
    EXPECT_EQ(JsonQuoted("a\xff\xc3z"), "\"a\xef\xbf\xbd\xef\xbf\xbdz\"");
}

TEST(IsValidUtf8, TakesWellFormedSequencesOnly) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain \xc3\xa9 \xe4\xb8\x8b \xf0\x9f\x98\x80 \xf4\x8f\xbf\xbf"));
    for (const char* bad :
         {"\x80", "\xc0\xaf", "\xc1\xbf", "\xe0\x9f\xbf", "\xed\xa0\x80", "\xf0\x8f\xbf\xbf",
          "\xf4\x90\x80\x80", "\xf8\x88\x80\x80\x80", "\xe4\xb8", "\xc3\x28"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(IsValidUtf8(bad));
    }
}

} // namespace
} // namespace torvex
