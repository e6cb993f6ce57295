#include "platform/AutoRun.h"

#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/Registry.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

class SessionAutoRun : public ::testing::Test {
protected:
    std::optional<std::string> RunValue() const {
        std::string value;
        return m_registry.ReadString(kRunKeyPath, kRunValueName, value) ? std::optional(value)
                                                                        : std::nullopt;
    }
    std::string EntryPath() const { return m_dir / "config/autostart/torvex.desktop"; }
    UserFolders Folders() const { return {m_dir / "home", m_dir / "config", m_dir / "data"}; }

    TempDir m_dir;
    CFileRegistry m_registry{m_dir / "registry"};
};

TEST_F(SessionAutoRun, ToggledTwiceLeavesNothingBehind) {
    CSessionAutoRun autoRun(m_registry, Folders(), "/opt/torvex/torvex");
    EXPECT_FALSE(autoRun.IsOn());

    ASSERT_TRUE(autoRun.Toggle());
    EXPECT_TRUE(autoRun.IsOn());
    EXPECT_EQ(RunValue(), "/opt/torvex/torvex /m");
    const std::string entry = ReadFileBytes(EntryPath());
    EXPECT_NE(entry.find("\nExec=/opt/torvex/torvex /m\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos) << entry;

    ASSERT_TRUE(autoRun.Toggle());
    EXPECT_FALSE(autoRun.IsOn());
    EXPECT_EQ(RunValue(), std::nullopt);
    EXPECT_FALSE(fs::exists(EntryPath()));
    EXPECT_TRUE(fs::is_empty(m_dir / "config/autostart"));
}

TEST_F(SessionAutoRun, ALongProgramPathStillTurnsOff) {
    // Longer than the 128 bytes the value was once read into: it must still count as there.
    const std::string program = "/opt/" + std::string(150, 'd') + "/torvex";
    CSessionAutoRun autoRun(m_registry, Folders(), program);
    ASSERT_TRUE(autoRun.Toggle());
    ASSERT_EQ(RunValue(), program + " /m");
    EXPECT_TRUE(autoRun.IsOn());
    ASSERT_TRUE(autoRun.Toggle());
    EXPECT_EQ(RunValue(), std::nullopt);
    EXPECT_FALSE(fs::exists(EntryPath()));
}

TEST_F(SessionAutoRun, EitherHalfCountsAsOnAndTurningOffClearsBoth) {
    CSessionAutoRun autoRun(m_registry, Folders(), "/opt/torvex/torvex");
    fs::create_directories(m_dir / "config/autostart");
    WriteFileBytes(EntryPath(), "[Desktop Entry]\n"); // registry lost, entry still there
    EXPECT_TRUE(autoRun.IsOn());
    ASSERT_TRUE(autoRun.Toggle());
    EXPECT_FALSE(fs::exists(EntryPath()));

    ASSERT_TRUE(m_registry.WriteString(kRunKeyPath, kRunValueName, "/elsewhere/torvex /m"));
    EXPECT_TRUE(autoRun.IsOn());
    ASSERT_TRUE(autoRun.TurnOff());
    EXPECT_EQ(RunValue(), std::nullopt);
}

TEST_F(SessionAutoRun, AFailedTurnOnLeavesTheOptionOff) {
    {
        SCOPED_TRACE("the autostart folder cannot be made");
        WriteFileBytes(m_dir / "config", "a file where the folder should be");
        CSessionAutoRun autoRun(m_registry, Folders(), "/opt/torvex/torvex");
        EXPECT_FALSE(autoRun.TurnOn());
        EXPECT_EQ(RunValue(), std::nullopt); // the value written first is taken back
        EXPECT_FALSE(autoRun.IsOn());
        fs::remove(m_dir / "config");
    }
    {
        SCOPED_TRACE("the registry cannot be written");
        fs::create_directories(m_dir / "dir-registry");
        CFileRegistry broken(m_dir / "dir-registry");
        CSessionAutoRun autoRun(broken, Folders(), "/opt/torvex/torvex");
        EXPECT_FALSE(autoRun.TurnOn());
        EXPECT_FALSE(fs::exists(EntryPath()));
    }
    for (const char* program : {"torvex", "/opt/tor\nvex", ""}) {
        SCOPED_TRACE(program);
        CSessionAutoRun autoRun(m_registry, Folders(), program);
        EXPECT_FALSE(autoRun.TurnOn());
        EXPECT_EQ(RunValue(), std::nullopt);
        EXPECT_FALSE(fs::exists(EntryPath()));
    }
    CSessionAutoRun noFolders(m_registry, UserFolders{}, "/opt/torvex/torvex");
    EXPECT_FALSE(noFolders.TurnOn());
    EXPECT_EQ(RunValue(), std::nullopt);
}

} // namespace
} // namespace torvex
