#include "app/FileTypeLists.h"

#include <gtest/gtest.h>

#include "project/CFileTypeFilter.h"

namespace torvex {
namespace {

TEST(ExtensionLists, ReadAndWriteTheDefaultListsUnchanged) {
    for (const std::string_view list : kFileFilterDefaults) {
        SCOPED_TRACE(list);
        EXPECT_EQ(ComposeExtensionList(ParseExtensionList(list)), list);
    }
}

TEST(ExtensionLists, ReadFlagsAndPassOverEmptyItems) {
    const auto items = ParseExtensionList("htm;1||gif;0|png|;1|jpg;x");
    const std::vector<CExtensionItem> expected = {
        {"htm", true}, {"gif", false}, {"png", true}, {"jpg", true}};
    EXPECT_EQ(items, expected);
    EXPECT_EQ(ComposeExtensionList(items), "htm;1|gif;0|png;1|jpg;1");
    EXPECT_TRUE(ParseExtensionList("").empty());
}

TEST(ExtensionLists, AddTakesATypedExtension) {
    std::vector<CExtensionItem> items = ParseExtensionList("pdf;1|doc;0");
    std::size_t index = 99;
    EXPECT_EQ(AddExtension(items, " .odt ", "Document", index), "");
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(ComposeExtensionList(items), "pdf;1|doc;0|odt;1");
    // Already there (in any case): retrieved from now on, not added twice.
    EXPECT_EQ(AddExtension(items, "DOC", "Document", index), "");
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(ComposeExtensionList(items), "pdf;1|doc;1|odt;1");
    EXPECT_EQ(AddExtension(items, "  ", "Document", index), "");
    EXPECT_EQ(index, items.size());
}

TEST(ExtensionLists, AddRefusesSeparatorsAndControlCharacters) {
    std::vector<CExtensionItem> items;
    std::size_t index = 0;
    for (const std::string& typed :
         std::vector<std::string>{"a|b", "a;1", "a,b", "x\ty", std::string("z\0", 2)}) {
        SCOPED_TRACE(typed);
        EXPECT_EQ(AddExtension(items, typed, "Other", index), ExtensionInvalidText());
    }
    EXPECT_TRUE(items.empty());
}

TEST(ExtensionLists, AddRefusesWhatWouldOverflowTheList) {
    std::vector<CExtensionItem> items;
    std::size_t index = 0;
    // 84 items "eNN;1" joined by "|" make 503 characters; another "x;1" needs 3 more than x.
    for (int i = 0; i < 84; ++i) {
        ASSERT_EQ(AddExtension(items, "e" + std::to_string(10 + i), "Other", index), "");
    }
    EXPECT_EQ(ComposeExtensionList(items).size(), 503u);
    EXPECT_EQ(AddExtension(items, "abcdefg", "Other", index), ExtensionListFullText("Other"));
    EXPECT_EQ(items.size(), 84u);
    EXPECT_EQ(AddExtension(items, "abcdef", "Other", index), ""); // exactly 512
    EXPECT_EQ(ComposeExtensionList(items).size(), kMaxFileFilterList);
}

} // namespace
} // namespace torvex
