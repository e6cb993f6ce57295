#include "app/NewProjectWizard.h"

#include <gtest/gtest.h>

#include "base/CSettingsReader.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::TempDir;

TEST(WizardStart, TakesThePendingAddressOnlyWhenBothValuesAreSet) {
    CProjectSettings defaults;
    defaults.Level = 5;
    defaults.BackupLast = 0;
    CPendingAddress pending{"http://h/page.html", "Page"};
    CWizardValues values = WizardStartValues(defaults, pending, false, "", "/w/MyWebsites");
    EXPECT_EQ(values.address, "http://h/page.html");
    EXPECT_EQ(values.name, "Page");
    EXPECT_EQ(values.directory, "/w/MyWebsites/Page");
    EXPECT_EQ(values.level, 5);
    EXPECT_FALSE(values.backupLatest);
    EXPECT_TRUE(pending.IsEmpty()); // taken

    pending = {"http://h/only-address", ""};
    values = WizardStartValues(defaults, pending, true, "http://clip/", "/w/MyWebsites");
    EXPECT_EQ(values.address, "http://");
    EXPECT_EQ(values.name, "");
    EXPECT_EQ(pending.address, "http://h/only-address"); // not used, so still waiting
}

TEST(WizardStart, TakesTheClipboardWhenTheMonitorIsOnAndNothingWaits) {
    CProjectSettings defaults;
    CPendingAddress pending;
    CWizardValues values =
        WizardStartValues(defaults, pending, true, "http://docs.example.org/a/", "/w/M");
    EXPECT_EQ(values.address, "http://docs.example.org/a/");
    EXPECT_EQ(values.name, "docs.example.org");
    EXPECT_TRUE(pending.IsEmpty());

    values = WizardStartValues(defaults, pending, false, "http://docs.example.org/a/", "/w/M");
    EXPECT_EQ(values.address, "http://");
    values = WizardStartValues(defaults, pending, true, "no address", "/w/M");
    EXPECT_EQ(values.address, "http://");
    EXPECT_EQ(values.directory, "/w/M/");
}

TEST(WizardStart, TheDirectoryFollowsTheNameUntilTheUserChangesIt) {
    EXPECT_EQ(DirectoryFollowingName("/w/M/Doc", "Doc", "Docs", "/w/M"), "/w/M/Docs");
    EXPECT_EQ(DirectoryFollowingName("/w/M/", "", "D", "/w/M"), "/w/M/D");
    EXPECT_EQ(DirectoryFollowingName("/else/Doc", "Doc", "Docs", "/w/M"), "/else/Doc");
}

TEST(WizardTarget, IsTheSelectedFolderOrTheParentOfTheSelectedProject) {
    CTreeNode root;
    root.kind = NodeKind::RootExpanded;
    CTreeNode folder;
    folder.kind = NodeKind::FolderCollapsed;
    folder.parent = &root;
    CTreeNode project;
    project.kind = NodeKind::ProjectRunning;
    project.parent = &folder;
    EXPECT_EQ(&WizardTargetFolder(nullptr, root), &root);
    EXPECT_EQ(&WizardTargetFolder(&root, root), &root);
    EXPECT_EQ(&WizardTargetFolder(&folder, root), &folder);
    EXPECT_EQ(&WizardTargetFolder(&project, root), &folder);
}

TEST(WizardProject, TakesThePageValuesAndTheDefaultsFilter) {
    CProjectSettings defaults;
    defaults.FilterSameLevel = true;
    defaults.HostFilter = 0;
    defaults.PathFilter = 1;
    defaults.ProtocolFilter = kProtocolNoFtp;
    defaults.DownthreadNum = 7;
    defaults.BackupLast = 1;
    CWizardValues values;
    values.name = "Docs";
    values.directory = "/w/Docs";
    values.address = "http://h/";
    values.level = 150; // beyond the range: clamped as loading clamps
    values.backupLatest = false;
    const auto project = MakeWizardProject(defaults, values, 1700000000);
    EXPECT_EQ(project->Name, "Docs");
    EXPECT_EQ(project->ProjectDir, "/w/Docs");
    EXPECT_EQ(project->CreateTime, 1700000000);
    EXPECT_EQ(project->BackupLast, 0);
    EXPECT_EQ(project->DownthreadNum, 7);
    ASSERT_EQ(project->Addresses.size(), 1u);
    const CStartAddress& first = project->Addresses[0];
    EXPECT_EQ(first.StartURL, "http://h/");
    EXPECT_EQ(first.Level, 99);
    EXPECT_TRUE(first.Filter.FilterSameLevel);
    EXPECT_EQ(first.Filter.HostFilter, 0);
    EXPECT_EQ(first.Filter.PathFilter, 1);
    EXPECT_EQ(first.Filter.ProtocolFilter, kProtocolNoFtp);
}

TEST(WizardProject, IsAddedSavedAndWrittenToItsProjectConf) {
    TempDir dir;
    CProjectTree tree(dir / "Torvex.dir", dir / "MyWebsites");
    ASSERT_TRUE(tree.LoadTree());
    CTreeNode* folder = tree.AddFolder(tree.Root(), "Sites");
    CWizardValues values;
    values.name = "Docs";
    values.directory = dir / "docs";
    values.address = "http://h/";
    std::string error;
    CTreeNode* node =
        AddWizardProject(tree, *folder, MakeWizardProject(CProjectSettings(), values, 1), error);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(error, "");
    EXPECT_EQ(node->parent, folder);

    CProjectSettings conf;
    std::string folders;
    ASSERT_TRUE(conf.LoadProjectFile(dir / "docs/project.conf", &folders));
    EXPECT_EQ(folders, "/Sites");
    EXPECT_EQ(conf.Addresses.at(0).StartURL, "http://h/");
    CProjectTree reloaded(dir / "Torvex.dir", dir / "MyWebsites");
    ASSERT_TRUE(reloaded.LoadTree());
    EXPECT_NE(CProjectTree::FindChildByName(*reloaded.Root().children.at(0), "Docs", true),
              nullptr);

    // The same name again is refused and nothing is added.
    EXPECT_EQ(
        AddWizardProject(tree, *folder, MakeWizardProject(CProjectSettings(), values, 1), error),
        nullptr);
    EXPECT_EQ(folder->children.size(), 1u);
}

TEST(WizardProject, SaysWhichFileCouldNotBeWritten) {
    TempDir dir;
    test::WriteFileBytes(dir / "blocker", "x");
    CProjectTree tree(dir / "Torvex.dir", dir / "MyWebsites");
    ASSERT_TRUE(tree.LoadTree());
    CWizardValues values;
    values.name = "Docs";
    values.directory = dir / "blocker/docs"; // below a file: cannot be made
    values.address = "http://h/";
    std::string error;
    CTreeNode* node = AddWizardProject(tree, tree.Root(),
                                       MakeWizardProject(CProjectSettings(), values, 1), error);
    ASSERT_NE(node, nullptr); // kept in the tree, which was saved
    EXPECT_EQ(error,
              "Error: Failed to write file:\n\"" + (dir / "blocker/docs/project.conf") + "\"!");
    EXPECT_TRUE(FileExists(dir / "Torvex.dir"));
}

} // namespace
} // namespace torvex
