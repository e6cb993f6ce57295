#include "platform/Registry.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "support/ScopedVariable.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ReadFileBytes;
using test::ScopedVariable;
using test::TempDir;
using test::WriteFileBytes;

constexpr const char* kTorvexKey = "HKEY_CURRENT_USER\\Software\\Torvex\\";

std::optional<std::string> Read(const CRegistry& registry, std::string_view key,
                                std::string_view name) {
    std::string value;
    if (!registry.ReadString(key, name, value)) {
        return std::nullopt;
    }
    return value;
}

TEST(CFileRegistry, KeepsValuesAcrossObjectsAndMatchesPathsLoosely) {
    TempDir dir;
    const std::string path = dir / "config/torvex/registry";   // folders made on first write
    CFileRegistry writer(path);
    ASSERT_TRUE(writer.WriteString(kTorvexKey, "WorkDir", "/opt/torvex"));
    ASSERT_TRUE(writer.WriteString("HKEY_CLASSES_ROOT\\Torvex.Auto", "", "Auto Class"));
    ASSERT_TRUE(writer.WriteString(kTorvexKey, "WorkDir", "/opt/torvex2"));   // replaces

    const CFileRegistry reader(path);
    EXPECT_EQ(Read(reader, "hkey_current_user\\\\software\\torvex", "workdir"), "/opt/torvex2");
    EXPECT_EQ(Read(reader, "HKEY_CLASSES_ROOT\\Torvex.Auto\\", ""), "Auto Class");
    EXPECT_EQ(Read(reader, kTorvexKey, "Missing"), std::nullopt);
    EXPECT_EQ(Read(reader, "HKEY_CURRENT_USER\\Software", "WorkDir"), std::nullopt);
    EXPECT_TRUE(reader.KeyExists("HKEY_CURRENT_USER\\Software"));   // a parent of a stored key
    EXPECT_FALSE(reader.KeyExists("HKEY_CURRENT_USER\\Soft"));

    const std::string text = ReadFileBytes(path);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Torvex]\nWorkDir=/opt/torvex2\n"),
              std::string::npos);
    EXPECT_NE(text.find("@=Auto Class\n"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "config/torvex"),
                            std::filesystem::directory_iterator()),
              1);   // no temporary file left behind
}

TEST(CFileRegistry, DeletesAKeyWithItsSubkeysOnly) {
    TempDir dir;
    CFileRegistry registry(dir / "registry");
    ASSERT_TRUE(registry.WriteString("R\\A", "", "a"));
    ASSERT_TRUE(registry.WriteString("R\\A\\Sub\\Deeper", "v", "1"));
    ASSERT_TRUE(registry.WriteString("R\\AB", "", "sibling"));
    ASSERT_TRUE(registry.CreateKey("R\\Empty"));

    EXPECT_TRUE(registry.KeyExists("r\\empty"));
    EXPECT_TRUE(registry.DeleteKey("R\\A\\"));
    EXPECT_FALSE(registry.KeyExists("R\\A"));
    EXPECT_FALSE(registry.KeyExists("R\\A\\Sub\\Deeper"));
    EXPECT_EQ(Read(registry, "R\\AB", ""), "sibling");
    EXPECT_TRUE(registry.DeleteKey("R\\A"));   // already gone
    EXPECT_TRUE(registry.DeleteValue("R\\AB", ""));
    EXPECT_TRUE(registry.KeyExists("R\\AB"));
    EXPECT_EQ(Read(registry, "R\\AB", ""), std::nullopt);
}

TEST(CFileRegistry, RefusesWhatWouldNotReadBackAndKeepsTheStore) {
    TempDir dir;
    CFileRegistry registry(dir / "registry");
    ASSERT_TRUE(registry.WriteString("K", "Keep", "me"));
    const std::string before = ReadFileBytes(registry.Path());
    struct Case {
        const char* what;
        std::string key;
        std::string name;
        std::string value;
    };
    const Case cases[] = {
        {"line feed in value", "K", "V", "a\nInjected=1"},
        {"carriage return in value", "K", "V", "a\rb"},
        {"line feed in key", "K\n[Other]", "V", "x"},
        {"equals sign in name", "K", "A=B", "x"},
        {"name that reads as a section", "K", "[S]", "x"},
        {"name that reads as a comment", "K", "#V", "x"},
        {"leading blank in value", "K", "V", " x"},
        {"empty key path", "\\\\", "V", "x"},
        {"line over 1001 characters", "K", "V", std::string(1000, 'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(registry.WriteString(c.key, c.name, c.value));
    }
    EXPECT_EQ(before, ReadFileBytes(registry.Path()));
    EXPECT_TRUE(registry.WriteString("K", "V", std::string(999, 'x')));   // 1001 exactly
    EXPECT_EQ(Read(registry, "K", "V"), std::string(999, 'x'));
    EXPECT_EQ(Read(registry, "K", "Keep"), "me");
}

TEST(CFileRegistry, ReadsHandEditedAndDamagedFiles) {
    TempDir dir;
    const std::string path = dir / "registry";
    constexpr char kText[] = "; edited by hand\r\n"
                             "Orphan=before any section\n"
                             "[K]\r\n"
                             "A=  spaced  \r\n"
                             "A=second wins\n"
                             "[]\n"
                             "Lost=in a nameless section\n"
                             "[k\\]\n"
                             "B=merged\n"
                             "C=x\0hidden\n"
                             "\xff\xfe=\x01\n";
    WriteFileBytes(path, std::string(kText, sizeof kText - 1));
    const CFileRegistry registry(path);
    EXPECT_EQ(Read(registry, "K", "A"), "second wins");
    EXPECT_EQ(Read(registry, "K", "B"), "merged");
    EXPECT_EQ(Read(registry, "K", "C"), "x");
    EXPECT_EQ(Read(registry, "K", "Orphan"), std::nullopt);
    EXPECT_EQ(Read(registry, "K", "Lost"), std::nullopt);
}

TEST(CFileRegistry, NeverOverwritesAStoreItCannotRead) {
    TempDir dir;
    const std::string huge = dir / "huge";
    WriteFileBytes(huge, "[K]\nV=1\n");
    std::filesystem::resize_file(huge, 64u * 1024 * 1024 + 1);   // sparse, so quick
    CFileRegistry tooBig(huge);
    EXPECT_EQ(Read(tooBig, "K", "V"), std::nullopt);
    EXPECT_FALSE(tooBig.WriteString("K", "V", "2"));
    EXPECT_FALSE(tooBig.DeleteKey("K"));
    EXPECT_EQ(std::filesystem::file_size(huge), 64u * 1024 * 1024 + 1);

    std::filesystem::create_directory(dir / "folder");
    CFileRegistry folder(dir / "folder");
    EXPECT_FALSE(folder.KeyExists("K"));
    EXPECT_FALSE(folder.WriteString("K", "V", "1"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));
}

TEST(RegistryFilePath, PrefersTheTestVariableThenXdgThenHome) {
    ScopedVariable own(std::string(kRegistryVariable), nullptr);
    ScopedVariable xdg("XDG_CONFIG_HOME", "/x/config");
    ScopedVariable home("HOME", "/home/u");
    EXPECT_EQ(RegistryFilePath(), "/x/config/torvex/registry");
    {
        ScopedVariable relative("XDG_CONFIG_HOME", "relative");   // ignored, as XDG says
        EXPECT_EQ(RegistryFilePath(), "/home/u/.config/torvex/registry");
    }
    ScopedVariable set(std::string(kRegistryVariable), "/t/reg");
    EXPECT_EQ(RegistryFilePath(), "/t/reg");
}

} // namespace
} // namespace torvex
