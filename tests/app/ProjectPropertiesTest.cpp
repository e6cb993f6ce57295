#include "app/ProjectProperties.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(ProjectProperties, AddressesAreLockedWhileTheProjectRunsOrWaits) {
    CTreeNode node;
    for (const NodeKind kind : {NodeKind::ProjectIdle, NodeKind::ProjectOnTimer}) {
        node.kind = kind;
        EXPECT_TRUE(AddressesEditable(node));
    }
    for (const NodeKind kind : {NodeKind::ProjectRunning, NodeKind::ProjectWaiting}) {
        node.kind = kind;
        EXPECT_FALSE(AddressesEditable(node));
    }
}

TEST(ProjectProperties, OkStoresTheSettingsInTheTreeAndInProjectConf) {
    TempDir dir;
    CProjectTree tree(dir / "Torvex.dir", dir / "MyWebsites");
    ASSERT_TRUE(tree.LoadTree());
    CTreeNode* folder = tree.AddFolder(tree.Root(), "Sites");
    CTreeNode* node = tree.AddProject(
        *folder, std::make_unique<CProjectSettings>(test::ProjectIn(dir / "p", {"http://h/"})));
    ASSERT_NE(node, nullptr);

    CProjectSettings edited = *node->project;
    edited.Retry = 7;
    edited.TimeOut = 5; // out of range: clamped, never written as typed
    edited.Addresses.front().Child = 1;
    edited.Addresses.front().Enable = false;
    std::string error;
    ASSERT_TRUE(ApplyProperties(tree, *node, edited, error)) << error;
    EXPECT_EQ(node->project->Retry, 7);
    EXPECT_EQ(node->project->TimeOut, 10);
    EXPECT_EQ(node->project->Addresses.front().Child, 0);
    EXPECT_TRUE(node->project->Addresses.front().Enable);

    const std::string conf = ReadFileBytes(dir / "p/project.conf");
    EXPECT_NE(conf.find("Folders=/Sites\n"), std::string::npos);
    EXPECT_NE(conf.find("Retry=7\n"), std::string::npos);
    EXPECT_NE(conf.find("TimeOut=10\n"), std::string::npos);
    EXPECT_NE(ReadFileBytes(dir / "Torvex.dir").find("Retry=7\n"), std::string::npos);
}

TEST(ProjectProperties, ReportsATreeFileThatCannotBeWritten) {
    TempDir dir;
    std::filesystem::create_directories(dir / "Torvex.dir"); // a folder where the file goes
    CProjectTree tree(dir / "Torvex.dir", dir / "MyWebsites");
    tree.LoadTree();
    CTreeNode* node = tree.AddProject(
        tree.Root(), std::make_unique<CProjectSettings>(test::ProjectIn(dir / "p", {"http://h/"})));
    ASSERT_NE(node, nullptr);
    CProjectSettings edited = *node->project;
    edited.Retry = 9;
    std::string error;
    EXPECT_FALSE(ApplyProperties(tree, *node, edited, error));
    EXPECT_EQ(error, "Error: Failed to write file:\n\"" + (dir / "Torvex.dir") + "\"!");
    EXPECT_EQ(node->project->Retry, 9); // the program goes on with what the user set
}

TEST(DefaultSettings, AreWrittenToConfigAndReadBack) {
    TempDir dir;
    EXPECT_EQ(LoadDefaultsIn(dir.Str(), ""), CProjectSettings()); // no file: built-in values
    CProjectSettings defaults;
    defaults.Level = 4;
    defaults.HostFilter = 1;
    defaults.FreeSpaceLimit = 1; // a stored 1 stays valid
    defaults.DownthreadNum = 500;
    std::string error;
    ASSERT_TRUE(SaveDefaultsIn(dir.Str(), defaults, error)) << error;
    const std::string text = ReadFileBytes(dir / "Config/default.conf");
    EXPECT_EQ(text.rfind("TorvexVersion=0.93\nLevel=4\nFilterSameLevel=0\nHostFilter=1\n", 0), 0u);
    EXPECT_NE(text.find("DownthreadNum=50\n"), std::string::npos);
    EXPECT_NE(text.find("FreeSpaceLimit=1\n"), std::string::npos);
    const CProjectSettings loaded = LoadDefaultsIn(dir.Str(), "");
    EXPECT_EQ(loaded.Level, 4);
    EXPECT_EQ(loaded.HostFilter, 1);
    EXPECT_EQ(loaded.FreeSpaceLimit, 1);
}

TEST(DefaultSettings, ComeFromTheInstalledFileUntilTheWorkingDirectoryHasItsOwn) {
    TempDir work;
    TempDir installed;
    std::string error;
    EXPECT_EQ(LoadDefaultsIn(work.Str(), installed.Str()), CProjectSettings());
    CProjectSettings shipped;
    shipped.Link = 1;
    ASSERT_TRUE(SaveDefaultsIn(installed.Str(), shipped, error)) << error;
    EXPECT_EQ(LoadDefaultsIn(work.Str(), installed.Str()).Link, 1);
    // Once "Default Settings" saved the user's own, the installed file is not read any more.
    CProjectSettings own;
    own.Retry = 7;
    ASSERT_TRUE(SaveDefaultsIn(work.Str(), own, error)) << error;
    const CProjectSettings loaded = LoadDefaultsIn(work.Str(), installed.Str());
    EXPECT_EQ(loaded.Link, 0);
    EXPECT_EQ(loaded.Retry, 7);
}

TEST(DefaultSettings, ReportTheFileThatCannotBeWritten) {
    TempDir dir;
    WriteFileBytes(dir / "Config", "not a folder");
    std::string error;
    EXPECT_FALSE(SaveDefaultsIn(dir.Str(), CProjectSettings(), error));
    EXPECT_EQ(error, "Error: Failed to write default settings to file:\n\"" +
                         (dir / "Config/default.conf") + "\"!");
}

} // namespace
} // namespace torvex
