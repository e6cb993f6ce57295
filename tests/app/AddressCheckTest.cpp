#include "app/AddressCheck.h"

#include <gtest/gtest.h>

namespace torvex {
namespace {

const std::string kNotValid(kUrlNotValidText);

TEST(AddressCheck, JudgesAnAddressAsARunWouldRequestIt) {
    struct Case {
        std::string text;
        std::string format;
        std::string refusal;
    };
    const Case cases[] = {
        {"http://h/index.html", "yyyymmdd", ""},
        {"HTTP://H/", "yyyymmdd", ""},
        {"ftp://h/pub/", "yyyymmdd", ""},
        {"http://h/news/$DATE/", "yyyymmdd", ""},
        {"http://", "yyyymmdd", kNotValid},
        {"", "yyyymmdd", kNotValid},
        {"h/index.html", "yyyymmdd", kNotValid},
        {"gopher://h/", "yyyymmdd", kNotValid},
        {"mailto:a@h", "yyyymmdd", kNotValid},
        {"http://h:99999/", "yyyymmdd", kNotValid},
        {"http://h/a\nb", "yyyymmdd", kNotValid},
        {"http://h/a\tb", "yyyymmdd", kNotValid},
        {std::string("http://h/\0", 10), "yyyymmdd", kNotValid},
        {"https://h/", "yyyymmdd", ""},
        {"HTTPS://h/$DATE", "yyyymmdd", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CheckStartAddress(c.text, c.format), c.refusal);
    }
}

TEST(AddressCheck, RefusesAnAddressOverItsCapacityBeforeOrAfterTheDate) {
    const std::string head = "http://h/";
    const std::string fits = head + std::string(kMaxStartUrl - head.size(), 'a');
    EXPECT_EQ(CheckStartAddress(fits, "yyyymmdd"), "");
    EXPECT_EQ(CheckStartAddress(fits + "a", "yyyymmdd"), kNotValid);
    // "$DATE" (5 characters) grows into 8 digits: 3 more than the text that fits.
    const std::string dated = head + "$DATE" + std::string(kMaxStartUrl - head.size() - 5, 'a');
    ASSERT_EQ(dated.size(), kMaxStartUrl);
    EXPECT_EQ(CheckStartAddress(dated, "yyyymmdd"), kNotValid);
    EXPECT_EQ(CheckStartAddress(dated, "yy"), "");
}

TEST(AddressCheck, FindsListedAddressesWithoutRegardToCase) {
    std::vector<CStartAddress> list(2);
    list[0].StartURL = "http://h/A.html";
    list[1].StartURL = "ftp://f/";
    EXPECT_TRUE(AddressListed(list, "HTTP://H/a.html"));
    EXPECT_TRUE(AddressListed(list, "ftp://f/"));
    EXPECT_FALSE(AddressListed(list, "http://h/A.html?x"));
    EXPECT_FALSE(AddressListed({}, "http://h/"));
}

TEST(AddressCheck, TakesAnAddressFromCopiedText) {
    const auto copied = AddressFromText("  http://Docs.Example.org/manual/\r\n");
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->address, "http://Docs.Example.org/manual/");
    EXPECT_EQ(copied->name, "docs.example.org");
    // Copied text is valid whatever its scheme; the dialog that uses it refuses https.
    EXPECT_TRUE(AddressFromText("https://h/"));
    for (const std::string text :
         {"", "   ", "some words", "http://", "http://h/a b\nc", "javascript:void(0)"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(AddressFromText(text));
    }
    EXPECT_FALSE(AddressFromText("http://h/" + std::string(kMaxStartUrl, 'a')));
}

TEST(AddressCheck, CutsTheNameFromALongHostTo64Characters) {
    const std::string host(100, 'h');
    const auto copied = AddressFromText("http://" + host + "/");
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->name, host.substr(0, kMaxProjectName));
}

} // namespace
} // namespace torvex
