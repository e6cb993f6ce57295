#include "project/CProjectTree.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace torvex {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::unique_ptr<CProjectSettings> Project(const std::string& name, const std::string& dir) {
    auto settings = std::make_unique<CProjectSettings>();
    settings->Name = name;
    settings->ProjectDir = dir;
    CStartAddress address;
    address.StartURL = "http://h/" + name + "/";
    settings->Addresses.push_back(address);
    return settings;
}

// Folders are never renamed; a project keeps its name and moves to a directory of its own.
class ImportAnswers : public IImportPrompter {
public:
    bool RenameFolder(std::string&) override { return false; }
    bool ChangeProject(std::string_view, std::string&, std::string& directory) override {
        directory += "-imported";
        return true;
    }
};

std::vector<std::string> Labels(const CTreeNode& node) {
    std::vector<std::string> labels;
    for (const auto& child : node.children) {
        labels.push_back(child->label);
    }
    return labels;
}

TEST(ProjectTreeFile, PlacesObjectsByLevelAndKeepsDirectoriesRelative) {
    TempDir dir;
    const std::string treePath = dir.Str() + "/Torvex.dir";
    WriteFileBytes(treePath,
                   "TorvexVersion=0.93\nROOT_EXPAND=1\n"
                   "[Object]\nType=1\nExpand=1\nLevel=3\nName=Deep\n"
                   "[Object]\nType=2\nLevel=2\nName=Site\nProjectDir=sites/site\n"
                   "[URL]\nStartURL=http://h/\nLevel=2\n"
                   "[Object]\nType=1\nExpand=0\nLevel=3\nName=UnderProject\n"
                   "[Object]\nType=9\nLevel=1\nName=Unknown\n"
                   "[Object]\nType=2\nLevel=1\nName=Other\nProjectDir=/elsewhere/other\n");
    CProjectTree tree(treePath, dir.Str() + "/MyWebsites");
    ASSERT_TRUE(tree.LoadTree());
    CTreeNode& root = tree.Root();
    EXPECT_EQ(root.kind, NodeKind::RootExpanded);
    ASSERT_EQ(Labels(root), (std::vector<std::string>{"Deep", "Other"}));
    CTreeNode& deep = *root.children[0];
    EXPECT_EQ(deep.kind, NodeKind::FolderExpanded);
    ASSERT_EQ(Labels(deep), std::vector<std::string>{"Site"});
    CTreeNode& site = *deep.children[0];
    // Placement follows levels only, so the folder lands below the project.
    EXPECT_EQ(Labels(site), std::vector<std::string>{"UnderProject"});
    EXPECT_EQ(site.project->ProjectDir, dir.Str() + "/sites/site");
    EXPECT_EQ(root.children[1]->project->ProjectDir, "/elsewhere/other");

    ASSERT_TRUE(tree.SaveTree(false));
    const std::string saved = ReadFileBytes(treePath);
    EXPECT_NE(saved.find("Name=Site\nProjectDir=sites/site\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("ProjectDir=/elsewhere/other\n"), std::string::npos);
}

TEST(ProjectTreeEdit, NamesMovesAndDeletions) {
    TempDir dir;
    CProjectTree tree(dir.Str() + "/Torvex.dir", dir.Str() + "/MyWebsites");
    tree.LoadTree();
    CTreeNode& root = tree.Root();
    CTreeNode* docs = tree.AddFolder(root, "Docs");
    CTreeNode* inner = tree.AddFolder(*docs, "Inner");
    ASSERT_NE(tree.AddProject(root, Project("Site", dir.Str() + "/p/site")), nullptr);
    CTreeNode* news = tree.AddFolder(root, "News");
    EXPECT_EQ(Labels(root), (std::vector<std::string>{"Docs", "News", "Site"}));

    EXPECT_EQ(CProjectTree::CheckName(root, "docs"), "Sorry, this name is used. Please choose another.");
    EXPECT_FALSE(tree.RenameItem(*docs, "DOCS"));
    EXPECT_EQ(CProjectTree::CheckName(root, ".hidden").substr(0, 45),
              "Sorry, the name contains invalid characters. ");
    EXPECT_EQ(CProjectTree::CheckName(root, ""), "Please enter the name.");
    // A name is one line of the tree file and at most 64 characters.
    for (const std::string& name :
         std::vector<std::string>{"a\nb", "tab\there", std::string("nul\0", 4), "del\x7f"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(CProjectTree::CheckName(root, name).substr(0, 45),
                  "Sorry, the name contains invalid characters. ");
    }
    EXPECT_EQ(CProjectTree::CheckName(root, std::string(64, 'n')), "");
    EXPECT_EQ(CProjectTree::CheckName(root, std::string(65, 'n')),
              "Sorry, the name should be no longer than 64 characters.");

    EXPECT_EQ(tree.MoveItem(*docs, *inner), "");   // into its own subtree: nothing happens
    EXPECT_EQ(inner->parent, docs);
    ASSERT_NE(tree.AddProject(*news, Project("Docs", dir.Str() + "/p/docs")), nullptr);
    EXPECT_EQ(tree.MoveItem(*docs, *news).substr(0, 26), "Sorry, you cannot move it.");
    EXPECT_EQ(tree.MoveItem(*inner, *news), "");
    EXPECT_EQ(Labels(*news), (std::vector<std::string>{"Inner", "Docs"}));
    EXPECT_EQ(docs->kind, NodeKind::FolderCollapsed);

    news->children[1]->kind = NodeKind::ProjectRunning;
    EXPECT_FALSE(tree.DeleteItem(*news, false));
    news->children[1]->kind = NodeKind::ProjectIdle;
    EXPECT_TRUE(tree.DeleteItem(*news, false));
    EXPECT_EQ(Labels(root), (std::vector<std::string>{"Docs", "Site"}));
}

TEST(ProjectTreeExport, OneProjectFilesCarryNoProxyAndFolderImportsMergeWithSuffixes) {
    TempDir dir;
    CProjectTree tree(dir.Str() + "/Torvex.dir", dir.Str() + "/MyWebsites");
    tree.LoadTree();
    CTreeNode& root = tree.Root();
    CTreeNode* folder = tree.AddFolder(root, "Set");
    CTreeNode* site = tree.AddProject(*folder, Project("Site", dir.Str() + "/MyWebsites/Site"));
    site->project->CreateTime = 1234;

    const std::string one = dir.Str() + "/site.tvp";
    ASSERT_TRUE(tree.ExportItem(*site, one));
    const std::string text = ReadFileBytes(one);
    EXPECT_EQ(text.find("Proxy"), std::string::npos) << text;
    EXPECT_EQ(text.find("CreateTime"), std::string::npos);

    const std::string many = dir.Str() + "/set.tvp";
    ASSERT_TRUE(tree.ExportItem(*folder, many));
    ImportAnswers prompter;
    ASSERT_TRUE(tree.ImportFile(many, root, ImportMode::Automatic, prompter, 99));
    ASSERT_TRUE(tree.ImportFile(many, root, ImportMode::Automatic, prompter, 99));
    EXPECT_EQ(Labels(root), std::vector<std::string>{"Set"});
    EXPECT_EQ(Labels(*folder), (std::vector<std::string>{"Site", "Site1", "Site2"}));
    EXPECT_EQ(folder->children[2]->project->ProjectDir, dir.Str() + "/MyWebsites/Site2");

    // A one-project file takes the name and directory the user confirms.
    ASSERT_TRUE(tree.ImportFile(one, root, ImportMode::Prompt, prompter, 99));
    ASSERT_EQ(Labels(root), (std::vector<std::string>{"Set", "Site"}));
    EXPECT_EQ(root.children[1]->project->CreateTime, 99);
}

std::size_t CountProjects(const CTreeNode &node) {
    std::size_t count = node.IsProject() ? 1 : 0;
    for (const auto &child : node.children) {
        count += CountProjects(*child);
    }
    return count;
}

// Remembers why it was asked and gives the project a usable name.
class RenamingAnswers : public IImportPrompter {
public:
    bool RenameFolder(std::string &name) override {
        name = "Renamed folder";
        return true;
    }
    bool ChangeProject(std::string_view reason, std::string &name, std::string &) override {
        reasons.emplace_back(reason);
        name = "Usable";
        return true;
    }
    std::vector<std::string> reasons;
};

TEST(ProjectTreeImport, DamagedFilesAreRefusedAndNothingIsLost) {
    TempDir dir;
    CProjectTree tree(dir.Str() + "/Torvex.dir", dir.Str() + "/MyWebsites");
    tree.LoadTree();
    CTreeNode *keep = tree.AddFolder(tree.Root(), "Keep");
    tree.AddProject(*keep, Project("Kept", dir.Str() + "/kept"));
    const std::string whole = dir.Str() + "/whole.tvp";
    ASSERT_TRUE(tree.ExportItem(tree.Root(), whole));
    const std::string text = ReadFileBytes(whole);

    const struct {
        const char *what;
        std::string bytes;
        int kind;
    } cases[] = {
        {"empty", "", -1},
        {"binary",
         std::string("\x7f"
                     "ELF\x02\x01\x01\0\0\0\xff\xfe[Object]\0Type=2",
                     27),
         -1},
        {"no version", "Export=2\n[Object]\nType=2\nLevel=1\nName=X\n", -1},
        {"cut in the middle", text.substr(0, text.size() / 2), 2},
        {"cut in the version", text.substr(0, 9), -1},
    };
    ImportAnswers prompter;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.Str() + "/bad.tvp";
        WriteFileBytes(path, c.bytes);
        EXPECT_EQ(CProjectTree::ExportKind(path), c.kind);
        const bool imported = tree.ImportFile(path, *keep, ImportMode::Automatic, prompter, 1);
        EXPECT_EQ(imported, c.kind >= 0);
        ASSERT_EQ(tree.Root().children[0].get(), keep);
        EXPECT_NE(CProjectTree::FindChildByName(*keep, "Kept", true), nullptr);
    }
    EXPECT_FALSE(
        tree.ImportFile(dir.Str() + "/missing.tvp", *keep, ImportMode::Automatic, prompter, 1));
}

TEST(ProjectTreeImport, AThousandProjectsAndNamesNoNodeCanHave) {
    TempDir dir;
    CProjectTree tree(dir.Str() + "/Torvex.dir", dir.Str() + "/MyWebsites");
    tree.LoadTree();
    std::string text = "TorvexVersion=0.93\nExport=1\n[Object]\nType=1\nLevel=0\nName=Big\n";
    for (int i = 0; i < 1000; ++i) {
        text += "[Object]\nType=2\nLevel=1\nName=P" + std::to_string(i) +
                "\n[URL]\nStartURL=http://h/" + std::to_string(i) + "/\n";
    }
    text += "[Object]\nType=2\nLevel=1\nName=sl/ash\n"
            "[Object]\nType=2\nLevel=1\nName=ctl\x01x\n"
            "[Object]\nType=1\nLevel=1\nName=a:b\n"
            "[Object]\nType=2\nLevel=2\nName=Inside\n";
    const std::string path = dir.Str() + "/big.tvp";
    WriteFileBytes(path, text);
    ImportAnswers answers;
    ASSERT_TRUE(tree.ImportFile(path, tree.Root(), ImportMode::Automatic, answers, 1));
    CTreeNode *big = CProjectTree::FindChildByName(tree.Root(), "Big", true);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(CountProjects(*big), 1003u);
    EXPECT_NE(CProjectTree::FindChildByName(*big, "sl_ash", true), nullptr);
    EXPECT_NE(CProjectTree::FindChildByName(*big, "ctl_x", true), nullptr);
    CTreeNode *folder = CProjectTree::FindChildByName(*big, "a_b", true);
    ASSERT_NE(folder, nullptr);
    EXPECT_NE(CProjectTree::FindChildByName(*folder, "Inside", true), nullptr);

    // In prompt mode the user is told why and names them anew.
    CProjectTree other(dir.Str() + "/Other.dir", dir.Str() + "/Web");
    other.LoadTree();
    RenamingAnswers renaming;
    WriteFileBytes(path, "TorvexVersion=0.93\nExport=1\n[Object]\nType=1\nLevel=0\nName=x*y\n"
                         "[Object]\nType=2\nLevel=1\nName=sl/ash\n");
    ASSERT_TRUE(other.ImportFile(path, other.Root(), ImportMode::Prompt, renaming, 1));
    CTreeNode *renamed = CProjectTree::FindChildByName(other.Root(), "Renamed folder", true);
    ASSERT_NE(renamed, nullptr);
    EXPECT_NE(CProjectTree::FindChildByName(*renamed, "Usable", true), nullptr);
    ASSERT_EQ(renaming.reasons.size(), 1u);
    EXPECT_NE(renaming.reasons[0].find("invalid characters"), std::string::npos);
}

} // namespace
} // namespace torvex
