#include "app/NodeCommands.h"

namespace torvex {

namespace {

void Collect(const CTreeNode& node, std::vector<CProjectSettings*>& out) {
    if (node.IsProject()) {
        if (node.project) {
            out.push_back(node.project);
        }
        return;
    }
    for (const auto& child : node.children) {
        Collect(*child, out);
    }
}

// Whether any project at or below `node` satisfies `test`.
template <typename Test> bool AnyProject(const CTreeNode& node, const Test& test) {
    if (node.IsProject()) {
        return test(node);
    }
    for (const auto& child : node.children) {
        if (AnyProject(*child, test)) {
            return true;
        }
    }
    return false;
}

} // namespace

std::vector<CProjectSettings*> ProjectsBelow(const CTreeNode& node) {
    std::vector<CProjectSettings*> projects;
    Collect(node, projects);
    return projects;
}

bool IsIdleProject(const CTreeNode& node) {
    return node.kind == NodeKind::ProjectIdle || node.kind == NodeKind::ProjectOnTimer;
}

CNodeCommands CommandsFor(const CTreeNode* node, const StopAllowed& stopAllowed) {
    CNodeCommands commands;
    if (!node) {
        return commands;
    }
    const auto stoppable = [&](const CTreeNode& n) {
        if (n.kind == NodeKind::ProjectWaiting) {
            return true;
        }
        return n.kind == NodeKind::ProjectRunning && n.project &&
               (!stopAllowed || stopAllowed(*n.project));
    };
    const auto active = [](const CTreeNode& n) {
        return n.kind == NodeKind::ProjectRunning || n.kind == NodeKind::ProjectWaiting;
    };
    commands.start = AnyProject(*node, [](const CTreeNode& n) { return IsIdleProject(n); });
    commands.stop = AnyProject(*node, stoppable);
    commands.exportItem = true;
    if (node->IsProject()) {
        const bool idle = IsIdleProject(*node);
        const bool hasAddress = node->project && !node->project->Addresses.empty();
        commands.deleteItem = idle;
        commands.rename = true;
        commands.properties = node->project != nullptr;
        commands.newAddress = node->project != nullptr;
        commands.addToTimer = node->kind == NodeKind::ProjectIdle;
        commands.removeFromTimer = node->kind == NodeKind::ProjectOnTimer;
        commands.backupLatest = idle;
        commands.copyUrl = hasAddress;
    } else {
        commands.newItem = true;
        commands.rename = !node->IsRoot();
        commands.deleteItem = !node->IsRoot() && !AnyProject(*node, active);
        commands.addToTimer =
            AnyProject(*node, [](const CTreeNode& n) { return n.kind == NodeKind::ProjectIdle; });
        commands.removeFromTimer = AnyProject(
            *node, [](const CTreeNode &n) { return n.kind == NodeKind::ProjectOnTimer; });
    }
    return commands;
}

} // namespace torvex
