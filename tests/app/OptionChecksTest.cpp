#include "app/OptionChecks.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CScriptedPrompter;
using test::TempDir;

TEST(OptionChecks, TheDialUpPageNeedsAnEntryOnlyWhenDialUpIsOn) {
    EXPECT_EQ(DialUpPageRefusal(true, ""), "Please select an entry of the dial-up network!");
    EXPECT_EQ(DialUpPageRefusal(true, "Modem"), "");
    EXPECT_EQ(DialUpPageRefusal(false, ""), "");
}

TEST(OptionChecks, TheDefaultDirectoryIsAbsoluteOneLineAndFitsItsCapacity) {
    const std::string fits = "/" + std::string(87, 'd');
    EXPECT_EQ(DefaultDirRefusal(fits), "");
    EXPECT_EQ(DefaultDirRefusal(fits + "d"),
              "Sorry, the length of the default directory should be no longer than 88.");
    EXPECT_EQ(DefaultDirRefusal(""), "Please choose a directory.");
    EXPECT_EQ(DefaultDirRefusal("sites"), "Sorry, \"sites\" is not an absolute path.");
    EXPECT_EQ(DefaultDirRefusal("/home/me/\nsites"),
              "Sorry, the directory name contains invalid characters.");
}

TEST(OptionChecks, SavingMakesTheConfigFolderAndTellsAFailure) {
    TempDir dir;
    CScriptedPrompter prompter;
    CAppSettings settings;
    settings.AutoHangUp = true;
    ASSERT_TRUE(SaveAppSettingsTold(settings, dir.Str(), prompter));
    EXPECT_TRUE(prompter.said.empty());
    CAppSettings loaded;
    ASSERT_TRUE(loaded.Load(dir / "Config/Torvex.conf", dir.Str()));
    EXPECT_TRUE(loaded.AutoHangUp);

    // The working directory's Config is a file: nothing can be written there.
    const std::string blocked = dir / "blocked";
    std::filesystem::create_directories(blocked);
    test::WriteFileBytes(blocked + "/Config", "");
    EXPECT_FALSE(SaveAppSettingsTold(settings, blocked, prompter));
    EXPECT_EQ(prompter.said, std::vector<std::string>{"error: Error: Failed to write file:\n\"" +
                                                      blocked + "/Config/Torvex.conf\"!"});
}

} // namespace
} // namespace torvex
