#include "app/NodeCommands.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace torvex {
namespace {

using test::TempDir;

struct Tree {
    Tree() : tree(dir / "Torvex.dir", dir.Str()) {
        folder = tree.AddFolder(tree.Root(), "Sites");
        sub = tree.AddFolder(*folder, "Sub");
        empty = tree.AddFolder(tree.Root(), "Empty");
        a = AddProject(*folder, "A");
        b = AddProject(*sub, "B");
        c = AddProject(tree.Root(), "C");
    }
    CTreeNode* AddProject(CTreeNode& parent, const std::string& name) {
        auto settings = std::make_unique<CProjectSettings>();
        settings->Name = name;
        settings->ProjectDir = dir / name;
        CStartAddress address;
        address.StartURL = "http://h/" + name;
        settings->Addresses.push_back(address);
        return tree.AddProject(parent, std::move(settings));
    }
    TempDir dir;
    CProjectTree tree;
    CTreeNode* folder;
    CTreeNode* sub;
    CTreeNode* empty;
    CTreeNode* a;
    CTreeNode* b;
    CTreeNode* c;
};

const StopAllowed kAlways = [](const CProjectSettings&) { return true; };
const StopAllowed kNever = [](const CProjectSettings&) { return false; };

TEST(NodeCommandsTest, ProjectsBelowAreDepthFirstInTreeOrder) {
    Tree t;
    std::vector<std::string> names;
    for (const CProjectSettings* p : ProjectsBelow(t.tree.Root())) {
        names.push_back(p->Name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"B", "A", "C"}));
    EXPECT_TRUE(ProjectsBelow(*t.empty).empty());
}

TEST(NodeCommandsTest, StartAndStopFollowTheProjectsBelow) {
    Tree t;
    struct Case {
        const char* what;
        NodeKind a;
        NodeKind b;
        CTreeNode* node;
        StopAllowed stop;
        bool start;
        bool stopOffered;
    };
    const Case cases[] = {
        {"idle folder", NodeKind::ProjectIdle, NodeKind::ProjectIdle, t.folder, kAlways, true,
         false},
        {"timer project", NodeKind::ProjectOnTimer, NodeKind::ProjectIdle, t.a, kAlways, true,
         false},
        {"all running", NodeKind::ProjectRunning, NodeKind::ProjectRunning, t.folder, kAlways,
         false, true},
        {"running, monitor not up", NodeKind::ProjectRunning, NodeKind::ProjectRunning, t.folder,
         kNever, false, false},
        {"waiting is always stoppable", NodeKind::ProjectWaiting, NodeKind::ProjectRunning,
         t.folder, kNever, false, true},
        {"one idle below", NodeKind::ProjectRunning, NodeKind::ProjectIdle, t.folder, kAlways, true,
         true},
        {"project itself running", NodeKind::ProjectRunning, NodeKind::ProjectIdle, t.a, kAlways,
         false, true},
        {"empty folder", NodeKind::ProjectIdle, NodeKind::ProjectIdle, t.empty, kAlways, false,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        t.a->kind = c.a;
        t.b->kind = c.b;
        const CNodeCommands commands = CommandsFor(c.node, c.stop);
        EXPECT_EQ(commands.start, c.start);
        EXPECT_EQ(commands.stop, c.stopOffered);
    }
}

TEST(NodeCommandsTest, DeleteAndRenameRefusals) {
    Tree t;
    EXPECT_FALSE(CommandsFor(&t.tree.Root(), kAlways).deleteItem);
    EXPECT_FALSE(CommandsFor(&t.tree.Root(), kAlways).rename);
    EXPECT_TRUE(CommandsFor(&t.tree.Root(), kAlways).exportItem);
    EXPECT_TRUE(CommandsFor(t.folder, kAlways).deleteItem);
    t.b->kind = NodeKind::ProjectWaiting;
    EXPECT_FALSE(CommandsFor(t.folder, kAlways).deleteItem); // a waiting project below
    EXPECT_FALSE(CommandsFor(t.b, kAlways).deleteItem);
    EXPECT_FALSE(CommandsFor(t.b, kAlways).backupLatest);
    t.b->kind = NodeKind::ProjectRunning;
    EXPECT_FALSE(CommandsFor(t.sub, kAlways).deleteItem);
    EXPECT_TRUE(CommandsFor(t.b, kAlways).rename);
    t.b->kind = NodeKind::ProjectOnTimer;
    EXPECT_TRUE(CommandsFor(t.b, kAlways).deleteItem);
    EXPECT_FALSE(CommandsFor(t.b, kAlways).addToTimer); // on the list already
    EXPECT_TRUE(CommandsFor(t.a, kAlways).addToTimer);
    EXPECT_TRUE(CommandsFor(t.b, kAlways).removeFromTimer);
    EXPECT_FALSE(CommandsFor(t.a, kAlways).removeFromTimer);
    EXPECT_TRUE(CommandsFor(t.sub, kAlways).removeFromTimer);
    EXPECT_FALSE(CommandsFor(t.empty, kAlways).removeFromTimer);
}

TEST(NodeCommandsTest, ProjectCommandsNeedAProject) {
    Tree t;
    const CNodeCommands project = CommandsFor(t.c, kAlways);
    EXPECT_TRUE(project.copyUrl);
    EXPECT_TRUE(project.properties);
    EXPECT_TRUE(project.newAddress);
    EXPECT_FALSE(project.newItem);
    t.c->project->Addresses.clear();
    EXPECT_FALSE(CommandsFor(t.c, kAlways).copyUrl); // nothing to copy or browse
    const CNodeCommands folder = CommandsFor(t.folder, kAlways);
    EXPECT_FALSE(folder.copyUrl);
    EXPECT_FALSE(folder.properties);
    EXPECT_TRUE(folder.newItem);
    const CNodeCommands none = CommandsFor(nullptr, kAlways);
    EXPECT_FALSE(none.start || none.stop || none.exportItem || none.deleteItem);
}

} // namespace
} // namespace torvex
