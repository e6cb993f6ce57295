#include "app/ProjectRestore.h"

#include <deque>
#include <filesystem>

#include <gtest/gtest.h>

#include "app/TreeCommands.h"
#include "support/RunFakes.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

using test::CScriptedPrompter;
using test::TempDir;
using test::WriteFileBytes;
namespace fs = std::filesystem;

class ScriptedNames : public INameAsker {
public:
    bool AskName(std::string &name, std::size_t capacity) override {
        asked.push_back(name);
        if (answers.empty()) {
            return false;
        }
        name = answers.front().substr(0, capacity);
        answers.pop_front();
        return true;
    }
    std::deque<std::string> answers; // Cancel when none is left
    std::vector<std::string> asked;
};

void WriteProject(const std::string& dir, const std::string& name, const std::string& folders,
                  const std::string& fileName = "project.conf") {
    ASSERT_TRUE(test::WriteProjectConf(dir, name, folders, fileName));
}

std::unique_ptr<CProjectSettings> Settings(const std::string &name, const std::string &dir) {
    auto settings = std::make_unique<CProjectSettings>();
    settings->Name = name;
    settings->ProjectDir = dir;
    return settings;
}

// A tree with the folder "Sites" holding the project "Docs", the project "Old" under the root,
// and a disk of lost projects, searched into rows.
class ProjectRestoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree = std::make_unique<CProjectTree>(dir.Str() + "/Torvex.dir", dir.Str() + "/Web");
        tree->LoadTree();
        sites = tree->AddFolder(tree->Root(), "Sites");
        tree->AddProject(*sites, Settings("Docs", dir.Str() + "/disk/docs"));
        tree->AddProject(tree->Root(), Settings("Old", dir.Str() + "/disk/old"));
        disk = dir.Str() + "/disk";
        WriteProject(disk + "/docs", "Docs", "/Sites");
    }

    void Search() {
        search.Start({disk}, TreeProjectDirectories(*tree));
        search.Wait();
    }

    std::vector<std::string> RowNames() {
        std::vector<std::string> rowNames;
        for (const CFoundProject &row : search.Rows()) {
            rowNames.push_back(row.name);
        }
        return rowNames;
    }

    int RestoreAll(bool originalFolders, CTreeNode *fallback = nullptr) {
        CProjectRestore restore(*tree, search.Rows(), fallback ? *fallback : tree->Root(),
                                originalFolders, prompter, names, 1700000000);
        int steps = 0;
        while (!restore.Next().done && ++steps < 100) {
        }
        return restore.Restored();
    }

    TempDir dir;
    std::unique_ptr<CProjectTree> tree;
    CTreeNode *sites = nullptr;
    std::string disk;
    CProjectSearch search;
    CScriptedPrompter prompter;
    ScriptedNames names;
};

TEST_F(ProjectRestoreTest, OriginalFoldersAreFoundOrMadeAndTheRootTakesSlash) {
    WriteProject(disk + "/top", "Top", "/");
    WriteProject(disk + "/guide", "Guide", "/Sites/Guides/2024");
    WriteProject(disk + "/copy", "Copy", "/Sites", "project.conf.bak");
    Search();
    ASSERT_EQ(search.Rows().size(), 3u); // Docs is in the tree already
    EXPECT_EQ(RestoreAll(true), 3);
    EXPECT_TRUE(search.Rows().empty());
    CTreeNode *top = CProjectTree::FindChildByName(tree->Root(), "Top", true);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->project->CreateTime, 1700000000);
    EXPECT_EQ(top->project->ProjectDir, disk + "/top");
    CTreeNode *guides = CProjectTree::FindChildByName(*sites, "Guides", true);
    ASSERT_NE(guides, nullptr);
    CTreeNode *year = CProjectTree::FindChildByName(*guides, "2024", true);
    ASSERT_NE(year, nullptr);
    EXPECT_NE(CProjectTree::FindChildByName(*year, "Guide", true), nullptr);
    EXPECT_NE(CProjectTree::FindChildByName(*sites, "Copy", true), nullptr);
    EXPECT_TRUE(prompter.said.empty());

    // Searching again lists nothing: every project is in the tree now.
    Search();
    EXPECT_TRUE(search.Rows().empty());
}

TEST_F(ProjectRestoreTest, AFolderPathThroughAProjectAsksAndARefusalKeepsTheRow) {
    WriteProject(disk + "/a", "Alpha", "/Old/Deeper");
    WriteProject(disk + "/b", "Beta", "/Old");
    Search();
    ASSERT_EQ(search.Rows().size(), 2u);
    // Alpha: OK to the folder question, the folder becomes "Older"; Beta: Cancel.
    prompter.answers = {true, false};
    names.answers = {"Older"};
    EXPECT_EQ(RestoreAll(true), 1);
    CTreeNode *older = CProjectTree::FindChildByName(tree->Root(), "Older", true);
    ASSERT_NE(older, nullptr);
    CTreeNode *deeper = CProjectTree::FindChildByName(*older, "Deeper", true);
    ASSERT_NE(deeper, nullptr);
    EXPECT_NE(CProjectTree::FindChildByName(*deeper, "Alpha", true), nullptr);
    EXPECT_EQ(RowNames(), std::vector<std::string>{"Beta"});
    EXPECT_EQ(names.asked, std::vector<std::string>{"Old"});
}

TEST_F(ProjectRestoreTest, NameConflictsAskForANameOrKeepTheRow) {
    WriteProject(disk + "/x", "Old", "/");
    WriteProject(disk + "/y", "old", "/");
    WriteProject(disk + "/z", "Bad/Name", "/");
    Search();
    ASSERT_EQ(search.Rows().size(), 3u);
    // x: OK, renamed "Old" again (used: told) then "Renewed"; y: OK then Cancel in the
    // dialog; z: an unusable name is told, then renamed.
    prompter.answers = {true, true};
    names.answers = {"Old", "Renewed"};
    const int restored = RestoreAll(false);
    EXPECT_EQ(restored, 1);
    EXPECT_NE(CProjectTree::FindChildByName(tree->Root(), "Renewed", true), nullptr);
    EXPECT_EQ(search.Rows().size(), 2u);
    ASSERT_EQ(prompter.said.size(), 4u);
    EXPECT_NE(prompter.said[0].find("okcancel: The project \"Old\"  has the same name"),
              std::string::npos);
    EXPECT_NE(prompter.said[1].find("this name is used"), std::string::npos);
    EXPECT_NE(prompter.said[3].find("invalid characters"), std::string::npos);

    names.answers = {"Good Name"};
    search.Rows()[0].checked = false; // only the unusable name
    EXPECT_EQ(RestoreAll(false), 1);
    EXPECT_NE(CProjectTree::FindChildByName(tree->Root(), "Good Name", true), nullptr);
    EXPECT_EQ(RowNames(), std::vector<std::string>{"old"});
}

TEST_F(ProjectRestoreTest, ARowWhoseFileWentOrWasRestoredMeanwhileIsNotAddedTwice) {
    WriteProject(disk + "/gone", "Gone", "/");
    WriteProject(disk + "/dup", "Dup", "/");
    Search();
    ASSERT_EQ(search.Rows().size(), 2u);
    fs::remove(disk + "/gone/project.conf");
    tree->AddProject(tree->Root(), Settings("Dup", disk + "/dup"));
    EXPECT_EQ(RestoreAll(true), 0);
    EXPECT_EQ(RowNames(), std::vector<std::string>{"Gone"});
    EXPECT_EQ(tree->Root().children.size(), 3u);
}

TEST(TreeCommands, DeleteTextsRefusalsAndTheNextSelection) {
    TempDir dir;
    CProjectTree tree(dir.Str() + "/Torvex.dir", dir.Str() + "/Web");
    tree.LoadTree();
    CTreeNode *folder = tree.AddFolder(tree.Root(), "Set");
    CTreeNode *a = tree.AddProject(*folder, Settings("A", dir.Str() + "/a"));
    CTreeNode *b = tree.AddProject(*folder, Settings("B/x", dir.Str() + "/b"));
    ASSERT_EQ(b, nullptr); // a slash never gets into a name
    b = tree.AddProject(*folder, Settings("B", dir.Str() + "/b"));
    EXPECT_EQ(DeleteCaption(*a), "Torvex - A");
    EXPECT_EQ(DeleteQuestion(*a), "Are you sure to delete this project?");
    EXPECT_EQ(DeleteQuestion(*folder), "Are you sure to delete this folder?");
    EXPECT_EQ(SelectionAfterDelete(*a), b);
    EXPECT_EQ(SelectionAfterDelete(*b), a);
    EXPECT_EQ(SelectionAfterDelete(*folder), &tree.Root());
    EXPECT_FALSE(DeleteRefusal(tree.Root()).empty());
    for (NodeKind kind : {NodeKind::ProjectRunning, NodeKind::ProjectWaiting}) {
        b->kind = kind;
        EXPECT_FALSE(DeleteRefusal(*b).empty());
        EXPECT_FALSE(DeleteRefusal(*folder).empty());
        EXPECT_FALSE(tree.DeleteItem(*folder, true));
    }
    b->kind = NodeKind::ProjectIdle;
    EXPECT_TRUE(DeleteRefusal(*folder).empty());

    a->label = "we/ird\tname";
    EXPECT_EQ(ExportFileName(*a), "we_ird_name.tvp");
    EXPECT_EQ(ExportFileName(tree.Root()), "Torvex.tvp");

    CTreeNode *other = tree.AddFolder(tree.Root(), "Other");
    tree.AddProject(*other, Settings("B", dir.Str() + "/b2"));
    CMoveResult moved = MoveNode(tree, *b, *other);
    EXPECT_FALSE(moved.moved);
    EXPECT_NE(moved.refusal.find("cannot move"), std::string::npos);
    moved = MoveNode(tree, *folder, *folder);
    EXPECT_FALSE(moved.moved);
    EXPECT_TRUE(moved.refusal.empty());
    moved = MoveNode(tree, *a, *other);
    EXPECT_TRUE(moved.moved);
    EXPECT_EQ(a->parent, other);
}

} // namespace
} // namespace torvex
