#include "base/CSettingsReader.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace torvex {
namespace {

using namespace std::string_literals;

struct LookupCase {
    const char* what;
    std::string text;
    bool found;
    std::string value;
};

TEST(CSettingsReaderLookup, FollowsTheLineRules) {
    const std::string longValue(2000, 'a');
    const LookupCase cases[] = {
        {"plain key", "Key=value\n", true, "value"},
        {"case of the key ignored", "kEY=value\n", true, "value"},
        {"blank before = does not match", "Key =value\n", false, ""},
        {"longer key does not match", "KeyX=value\n", false, ""},
        {"leading blanks of the value removed", "Key= \t value\n", true, "value"},
        {"trailing blanks and CR cut", "Key=value \t\r\n", true, "value"},
        {"CR LF line ends", "Other=1\r\nKey=abc\r\nMore=2\r\n", true, "abc"},
        {"empty value", "Key=\n", true, ""},
        {"hash comment", "#Key=x\n", false, ""},
        {"semicolon comment", ";Key=x\n", false, ""},
        {"last match wins", "Key=first\nKey=second\n", true, "second"},
        {"scan ends at a section line", "A=1\n[Next]\nKey=x\n", false, ""},
        {"a header without ] is no section", "[Next\nKey=x\n", true, "x"},
        {"leading blank on the line does not match", " Key=x\n", false, ""},
        {"NUL ends the line's text", "Key=ab\0cd\n"s, true, "ab"},
        {"no line end at the end of the file", "Key=tail", true, "tail"},
        {"only 1001 characters of a line kept", "Key=" + longValue + "\n", true,
         std::string(997, 'a')},
        {"the rest of a long line is skipped", "A=" + longValue + "Key=x\nB=1\n", false, ""},
        {"lines after a long line are read", "A=" + longValue + "\nKey=after\n", true, "after"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CSettingsReader reader;
        reader.OpenText(c.text);
        std::string value = "untouched";
        EXPECT_EQ(reader.ReadText("Key", value, 5000), c.found);
        EXPECT_EQ(value, c.found ? c.value : "untouched");
        EXPECT_EQ(reader.Position(), 0u);
    }
}

TEST(CSettingsReaderLookup, CutsTheValueToTheCapacity) {
    CSettingsReader reader;
    reader.OpenText("Key=  abcdefgh\n");
    std::string value;
    ASSERT_TRUE(reader.ReadText("Key", value, 4));
    EXPECT_EQ(value, "abcd");
}

TEST(CSettingsReaderLookup, FirstTextTakesTheFirstMatchOfTheSection) {
    CSettingsReader reader;
    reader.OpenText("URL=http://a/\nInfo=x\nURL=http://b/\n[Next]\nURL=http://c/\n");
    std::string value = "untouched";
    ASSERT_TRUE(reader.ReadFirstText("url", value, 512));
    EXPECT_EQ(value, "http://a/");
    ASSERT_TRUE(reader.ReadText("URL", value, 512));
    EXPECT_EQ(value, "http://b/"); // the ordinary lookup keeps the last one
    value = "untouched";
    EXPECT_FALSE(reader.ReadFirstText("Missing", value, 512));
    EXPECT_FALSE(reader.ReadFirstText("", value, 512));
    EXPECT_EQ(value, "untouched");
}

TEST(CSettingsReaderNumbers, ParseLikeDecimalText) {
    const struct {
        const char* value;
        int expected;
    } cases[] = {
        {"42", 42},
        {"-7", -7},
        {"+3", 3},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"99999999999999999999", INT_MAX},
        {"-99999999999999999999", INT_MIN},
        // Only the first 20 characters count.
        {"000000000000000000001", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        CSettingsReader reader;
        reader.OpenText("N="s + c.value + "\n");
        int value = 555;
        ASSERT_TRUE(reader.ReadInt("N", value));
        EXPECT_EQ(value, c.expected);
    }
    CSettingsReader reader;
    reader.OpenText("T=4102444800\nBig=999999999999999999999\n");
    std::int64_t time = 0;
    ASSERT_TRUE(reader.ReadLong("T", time));
    EXPECT_EQ(time, 4102444800);
    ASSERT_TRUE(reader.ReadLong("Big", time));
    EXPECT_EQ(time, INT64_MAX);
    int untouched = 9;
    EXPECT_FALSE(reader.ReadInt("Missing", untouched));
    EXPECT_EQ(untouched, 9);
}

TEST(CSettingsReaderNumbers, FlagsLookAtTheFirstCharacterOnly) {
    const struct {
        const char* value;
        bool expected;
    } cases[] = {{"1", true},   {"0", false},  {"7x", true},
                 {"01", false}, {"x1", false}, {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        CSettingsReader reader;
        reader.OpenText("F="s + c.value + "\n");
        bool value = !c.expected;
        ASSERT_TRUE(reader.ReadFlag("F", value));
        EXPECT_EQ(value, c.expected);
    }
}

TEST(CSettingsReaderSections, FindAndNextSectionMoveThroughTheFile) {
    CSettingsReader reader;
    reader.OpenText("Top=0\n[First]\nK=1\n# [Hidden]\n[second]  \nK=2\n[Third]\nK=3\n");
    int k = -1;
    EXPECT_FALSE(reader.ReadInt("K", k));

    auto name = reader.NextSection();
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, "First");
    EXPECT_FALSE(reader.ReadInt("K", k)) << "in front of the header the section is not entered";

    ASSERT_TRUE(reader.FindSection("SECOND"));
    ASSERT_TRUE(reader.ReadInt("K", k));
    EXPECT_EQ(k, 2);

    name = reader.NextSection();
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, "Third");
    const auto before = reader.Position();
    EXPECT_FALSE(reader.FindSection("First")) << "the search only goes forward";
    EXPECT_EQ(reader.Position(), before);
    ASSERT_TRUE(reader.FindSection("third"));
    EXPECT_FALSE(reader.NextSection());
}

TEST(CSettingsReaderFile, ReadsAWindowsFileAndRefusesAMissingOne) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "a.conf", "TorvexVersion=0.93\r\n[URL]\r\nStartURL=http://h/\r\n");
    CSettingsReader reader;
    ASSERT_TRUE(reader.Open(dir / "a.conf"));
    ASSERT_TRUE(reader.FindSection("URL"));
    std::string url;
    ASSERT_TRUE(reader.ReadText("StartURL", url, 512));
    EXPECT_EQ(url, "http://h/");

    EXPECT_FALSE(reader.Open(dir / "missing.conf"));
    EXPECT_FALSE(reader.IsOpen());
}

} // namespace
} // namespace torvex
