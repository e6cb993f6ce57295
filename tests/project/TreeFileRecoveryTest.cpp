#include <gtest/gtest.h>

#include "platform/FileEnv.h"
#include "platform/FileSystem.h"
#include "project/CProjectTree.h"
#include "support/CFaultFileEnv.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CFaultFileEnv;
using test::FileStep;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

constexpr const char *kTwoProjects = "TorvexVersion=0.93\nROOT_EXPAND=1\n"
                                     "[Object]\nType=2\nLevel=1\nName=Docs\nProjectDir=/p/docs\n"
                                     "[Object]\nType=2\nLevel=1\nName=News\nProjectDir=/p/news\n";

// The catalogue is never lost to a tree file that cannot be used: the copy made at the last
// closing is loaded, and the file itself is kept for a look by hand.
TEST(TreeFileRecovery, ADamagedTreeFileFallsBackToItsCopy) {
    for (const std::string &damage : {std::string(), std::string("\0\0\0\0", 4),
                                      std::string("[Object]\nType=2\nLevel=1\nName=Do")}) {
        SCOPED_TRACE(damage.size());
        TempDir dir;
        const std::string treePath = dir / "Torvex.dir";
        WriteFileBytes(treePath, damage);
        WriteFileBytes(treePath + ".bak", kTwoProjects);
        CProjectTree tree(treePath, dir / "MyWebsites");
        ASSERT_TRUE(tree.LoadTree());
        EXPECT_EQ(tree.Root().children.size(), 2u);
        EXPECT_EQ(tree.LoadedFrom(), treePath + ".bak");
        EXPECT_EQ(ReadFileBytes(treePath + ".damaged"), damage);
        EXPECT_EQ(ReadFileBytes(treePath), kTwoProjects); // sound again
        EXPECT_EQ(ReadFileBytes(treePath + ".bak"), kTwoProjects);
    }
}

TEST(TreeFileRecovery, AnUnreadableTreeFileIsNeverOverwritten) {
    TempDir dir;
    const std::string treePath = dir / "Torvex.dir";
    WriteFileBytes(treePath, kTwoProjects);
    CFaultFileEnv faults;
    faults.Fail(FileStep::Read, "Torvex.dir"); // the file and its copy
    CScopedFileEnv scoped(faults);
    CProjectTree tree(treePath, dir / "MyWebsites");
    ASSERT_TRUE(tree.LoadTree());
    EXPECT_TRUE(tree.Root().children.empty());
    // Set aside whole; a new, empty catalogue takes its place.
    EXPECT_EQ(ReadFileBytes(treePath + ".damaged"), kTwoProjects);
    ASSERT_TRUE(tree.SaveTree(false));
    EXPECT_EQ(ReadFileBytes(treePath + ".damaged"), kTwoProjects);
}

TEST(TreeFileRecovery, ATreeFileThatCannotBeSetAsideIsNotSavedOver) {
    TempDir dir;
    const std::string treePath = dir / "Torvex.dir";
    WriteFileBytes(treePath, kTwoProjects);
    CFaultFileEnv faults;
    faults.Fail(FileStep::Read, "Torvex.dir");
    CScopedFileEnv scoped(faults);
    faults.Fail(FileStep::Rename, "Torvex.dir.damaged");
    CProjectTree tree(treePath, dir / "MyWebsites");
    ASSERT_TRUE(tree.LoadTree());
    std::string error;
    EXPECT_FALSE(tree.SaveAll(error));
    EXPECT_NE(error.find(treePath), std::string::npos) << error;
    faults.Clear();
    EXPECT_EQ(ReadFileBytes(treePath), kTwoProjects);
}

TEST(TreeFileRecovery, AMissingTreeFileStartsEmptyWithoutTheCopy) {
    TempDir dir;
    const std::string treePath = dir / "Torvex.dir";
    WriteFileBytes(treePath + ".bak", kTwoProjects);
    CProjectTree tree(treePath, dir / "MyWebsites");
    ASSERT_TRUE(tree.LoadTree());
    EXPECT_TRUE(tree.Root().children.empty());
    EXPECT_TRUE(FileExists(treePath));
    EXPECT_FALSE(FileExists(treePath + ".damaged"));
}

TEST(TreeFileSave, AProjectFileThatCannotBeWrittenFailsTheSave) {
    TempDir dir;
    const std::string treePath = dir / "Torvex.dir";
    WriteFileBytes(treePath, kTwoProjects);
    CProjectTree tree(treePath, dir / "MyWebsites");
    ASSERT_TRUE(tree.LoadTree());
    tree.Root().children[0]->project->ProjectDir = dir / "docs";
    tree.Root().children[1]->project->ProjectDir = dir / "news";
    CFaultFileEnv faults;
    faults.Fail(FileStep::Rename, dir / "news/project.conf");
    CScopedFileEnv scoped(faults);
    std::string error;
    EXPECT_FALSE(tree.SaveAll(error));
    EXPECT_NE(error.find("news/project.conf"), std::string::npos) << error;
    EXPECT_TRUE(FileExists(dir / "docs/project.conf"));
}

} // namespace
} // namespace torvex
