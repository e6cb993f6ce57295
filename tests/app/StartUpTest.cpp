#include "app/StartUp.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "project/CProjectTree.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(StartUpCommandLine, TakesTheFirstTwoCharactersOfEachArgument) {
    struct Case {
        std::vector<std::string> arguments;
        int bits;
    };
    const Case cases[] = {
        {{}, 0},
        {{"/m"}, kStartHidden},
        {{"-M"}, kStartHidden},
        {{"/mini"}, kStartHidden},
        {{"/U"}, kHandOverWaiting},
        {{"-u", "/m"}, kStartHidden | kHandOverWaiting},
        {{"m", "u", "/", "-", ""}, 0},
        {{"/x", "http://h/u"}, 0},
        {{"\\m"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        EXPECT_EQ(ParseCommandLine(c.arguments), c.bits);
    }
}

TEST(StartUpWorkingDirectory, AcceptsExactly240Characters) {
    EXPECT_TRUE(WorkingDirectoryFits(std::string(240, 'a')));
    EXPECT_FALSE(WorkingDirectoryFits(std::string(241, 'a')));
    EXPECT_EQ(WorkingDirectoryTooLongText("/x"),
              "Error: The working directory \"/x\" of Torvex is too long. The length of the "
              "working directory must be less than 240, or it maybe cause errors when running. "
              "Program exits.");
}

TEST(StartUpWorkingDirectory, ATooLongOneIsRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    std::string deep = dir.Str();
    while (deep.size() < kMaxWorkingDirectory + 1) {
        deep += "/d";
    }
    deep.resize(kMaxWorkingDirectory + 1);
    if (deep.back() == '/') {
        deep.back() = 'e';
    }
    std::filesystem::create_directories(deep);
    test::CScriptedPrompter prompter;
    EXPECT_FALSE(AcceptWorkingDirectory(deep, prompter));
    ASSERT_EQ(prompter.said.size(), 1u);
    EXPECT_EQ(prompter.said.front(), "error: " + WorkingDirectoryTooLongText(deep));
    EXPECT_TRUE(std::filesystem::is_empty(deep));
    deep.pop_back();
    EXPECT_TRUE(AcceptWorkingDirectory(deep, prompter));
    EXPECT_EQ(prompter.said.size(), 1u);
}

TEST(StartUpTreeFile, CopiesThePristineTreeWhenMissing) {
    TempDir dir;
    std::filesystem::create_directories(dir / "Origin");
    WriteFileBytes(dir / "Origin/Torvex.dir.en", "TorvexVersion=0.93\nROOT_EXPAND=1\n");
    EXPECT_TRUE(ProvideTreeFile(dir.Str()));
    EXPECT_EQ(ReadFileBytes(dir / "Torvex.dir"), "TorvexVersion=0.93\nROOT_EXPAND=1\n");
}

TEST(StartUpTreeFile, NeverOverwritesAnExistingTree) {
    TempDir dir;
    std::filesystem::create_directories(dir / "Origin");
    WriteFileBytes(dir / "Origin/Torvex.dir.en", "TorvexVersion=0.93\nROOT_EXPAND=1\n");
    // Even a damaged tree stays as it is: loading decides what to make of it.
    WriteFileBytes(dir / "Torvex.dir", "garbage\n");
    EXPECT_TRUE(ProvideTreeFile(dir.Str()));
    EXPECT_EQ(ReadFileBytes(dir / "Torvex.dir"), "garbage\n");
}

TEST(StartUpTreeFile, ShippedPristineTreeLoadsAsAnEmptyTree) {
    TempDir dir;
    std::string pristine;
    ASSERT_TRUE(ReadFileText(std::string(TORVEX_SOURCE_DIR) + "/Origin/Torvex.dir.en", pristine));
    std::filesystem::create_directories(dir / "Origin");
    WriteFileBytes(dir / "Origin/Torvex.dir.en", pristine);
    ASSERT_TRUE(ProvideTreeFile(dir.Str()));
    CProjectTree tree(dir / "Torvex.dir", dir.Str() + "/MyWebsites");
    ASSERT_TRUE(tree.LoadTree());
    EXPECT_EQ(tree.Root().label, "Torvex");
    EXPECT_TRUE(tree.Root().children.empty());
    // Loading did not have to replace it: it is a tree file as written.
    EXPECT_EQ(ReadFileBytes(dir / "Torvex.dir"), pristine);
}

TEST(StartUpPaths, FilesOfTheWorkingDirectory) {
    EXPECT_EQ(HandOverFilePath("/w"), "/w/addurl.tmp");
    EXPECT_EQ(InstanceLockPath("/w/"), "/w/.torvex.lock");
    EXPECT_EQ(InstanceSocketPath("/w"), "/w/.torvex.sock");
}

TEST(StartUpManual, FoundInTheWorkingDirectory) {
    TempDir dir;
    WriteFileBytes(dir / "Torvex.html", "<html></html>");
    EXPECT_EQ(ManualPath(dir.Str()), dir.Str() + "/Torvex.html");
}

} // namespace
} // namespace torvex
