#include "platform/DesktopEntry.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/UserFolders.h"
#include "support/ScopedVariable.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ReadFileBytes;
using test::ScopedVariable;
using test::TempDir;

TEST(DesktopExecArgument, QuotesReservedCharactersAndDoublesPercent) {
    struct Case {
        const char* argument;
        const char* expected;
    };
    const Case cases[] = {
        {"/opt/torvex/torvex", "/opt/torvex/torvex"},
        {"/m", "/m"},
        {"/home/a b/torvex", "\"/home/a b/torvex\""},
        {"/x/\"q\"/$HOME/`t`", "\"/x/\\\"q\\\"/\\$HOME/\\`t\\`\""},
        {"/x/back\\slash", "\"/x/back\\\\slash\""},
        {"/x/100%/torvex", "/x/100%%/torvex"},
        {"/x/it's", "\"/x/it's\""},
        {"", "\"\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        EXPECT_EQ(DesktopExecArgument(c.argument), c.expected);
    }
}

TEST(DesktopEntryText, EscapesTheQuotedBackslashOnceMoreForTheFile) {
    DesktopEntry entry;
    entry.name = "Torvex";
    entry.exec = {"/x/back\\slash/torvex", "/m"};
    const std::string text = DesktopEntryText(entry);
    // Quoting makes one backslash two; the file's string escape makes those four.
    EXPECT_NE(text.find("Exec=\"/x/back\\\\\\\\slash/torvex\" /m\n"), std::string::npos) << text;
    EXPECT_EQ(text.rfind("[Desktop Entry]\nType=Application\nName=Torvex\n", 0), 0u) << text;
}

TEST(DesktopEntryText, RefusesWhatTheFileCannotHold) {
    const auto text = [](std::string name, std::vector<std::string> exec) {
        DesktopEntry entry;
        entry.name = std::move(name);
        entry.exec = std::move(exec);
        return DesktopEntryText(entry);
    };
    EXPECT_NE(text("Torvex", {"/opt/torvex"}), "");
    EXPECT_EQ(text("", {"/opt/torvex"}), "");
    EXPECT_EQ(text("Torvex", {}), "");
    EXPECT_EQ(text("Torvex", {"torvex"}), ""); // a relative program
    EXPECT_EQ(text("Torvex", {"/opt/tor\nvex"}), "");
    EXPECT_EQ(text("Torvex", {"/opt/torvex", "a\tb"}), "");
    EXPECT_EQ(text("Tor\rvex", {"/opt/torvex"}), "");
}

TEST(Launcher, InstallsOnceAndRemovesWithoutTrace) {
    TempDir dir;
    const UserFolders folders{dir / "home", dir / "config", dir / "data"};
    const std::string path = dir / "data/applications/torvex.desktop";
    EXPECT_EQ(LauncherEntryPath(folders), path);
    EXPECT_FALSE(LauncherInstalled(folders));

    ASSERT_TRUE(InstallLauncher(folders, "/opt/torvex/torvex", "/opt/torvex/torvex.png"));
    EXPECT_TRUE(LauncherInstalled(folders));
    const std::string text = ReadFileBytes(path);
    EXPECT_NE(text.find("\nExec=/opt/torvex/torvex\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nIcon=/opt/torvex/torvex.png\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nCategories=Network;FileTransfer;\n"), std::string::npos) << text;

    // The same launcher again is not rewritten (the file is replaced by renaming, so a rewrite
    // would show as a new inode); a moved program is.
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_TRUE(InstallLauncher(folders, "/opt/torvex/torvex", "/opt/torvex/torvex.png"));
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    ASSERT_TRUE(InstallLauncher(folders, "/usr/local/torvex/torvex", ""));
    EXPECT_EQ(ReadFileBytes(path).find("Icon="), std::string::npos);

    EXPECT_TRUE(RemoveLauncher(folders));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "data/applications"));
    EXPECT_TRUE(RemoveLauncher(folders)); // nothing there: still done
}

TEST(Launcher, FailsWithoutAPlaceOrAProgram) {
    TempDir dir;
    test::WriteFileBytes(dir / "data", "a file where the folder should be");
    EXPECT_FALSE(InstallLauncher({dir / "home", dir / "config", dir / "data"}, "/opt/t", ""));
    EXPECT_FALSE(InstallLauncher({}, "/opt/torvex/torvex", "")); // no folders known
    EXPECT_FALSE(InstallLauncher({dir / "h", dir / "c", dir / "d"}, "relative/torvex", ""));
    EXPECT_FALSE(std::filesystem::exists(dir / "d"));
}

TEST(UserFoldersFromEnvironment, TakesAbsoluteXdgFoldersElseTheHomeDefaults) {
    ScopedVariable home("HOME", "/home/u");
    {
        ScopedVariable config("XDG_CONFIG_HOME", nullptr);
        ScopedVariable data("XDG_DATA_HOME", "relative/data"); // ignored, as XDG says
        const UserFolders folders = UserFoldersFromEnvironment();
        EXPECT_EQ(folders.home, "/home/u");
        EXPECT_EQ(folders.configHome, "/home/u/.config");
        EXPECT_EQ(folders.dataHome, "/home/u/.local/share");
    }
    ScopedVariable config("XDG_CONFIG_HOME", "/x/config");
    ScopedVariable data("XDG_DATA_HOME", "/x/data");
    EXPECT_EQ(UserFoldersFromEnvironment().configHome, "/x/config");
    EXPECT_EQ(UserFoldersFromEnvironment().dataHome, "/x/data");
    ScopedVariable noHome("HOME", nullptr);
    EXPECT_EQ(UserFoldersFromEnvironment().home, "");
    EXPECT_EQ(UserFoldersFromEnvironment().configHome, "/x/config");
}

} // namespace
} // namespace torvex
