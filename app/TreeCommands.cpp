#include "app/TreeCommands.h"

namespace torvex {

std::string DeleteCaption(const CTreeNode &node) {
    return std::string(kRootLabel) + " - " + node.label;
}

std::string DeleteQuestion(const CTreeNode &node) {
    return node.IsProject() ? "Are you sure to delete this project?"
                            : "Are you sure to delete this folder?";
}

std::string DeleteRefusal(const CTreeNode &node) {
    if (node.IsRoot() || node.parent == nullptr) {
        return "The root of the tree cannot be deleted.";
    }
    bool active = node.kind == NodeKind::ProjectRunning || node.kind == NodeKind::ProjectWaiting;
    std::vector<const CTreeNode *> stack{&node};
    while (!active && !stack.empty()) {
        const CTreeNode *current = stack.back();
        stack.pop_back();
        active =
            current->kind == NodeKind::ProjectRunning || current->kind == NodeKind::ProjectWaiting;
        for (const auto &child : current->children) {
            stack.push_back(child.get());
        }
    }
    if (!active) {
        return {};
    }
    return node.IsProject() ? "The project is running or waiting to run. Please stop it first."
                            : "A project in this folder is running or waiting to run. Please "
                              "stop it first.";
}

CTreeNode *SelectionAfterDelete(const CTreeNode &node) {
    CTreeNode *parent = node.parent;
    if (parent == nullptr) {
        return nullptr;
    }
    auto &siblings = parent->children;
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i].get() != &node) {
            continue;
        }
        if (i + 1 < siblings.size()) {
            return siblings[i + 1].get();
        }
        return i > 0 ? siblings[i - 1].get() : parent;
    }
    return parent;
}

std::string ExportFileName(const CTreeNode &node) {
    std::string name = node.label;
    for (char &c : name) {
        if (c == '/' || static_cast<unsigned char>(c) < 0x20) {
            c = '_';
        }
    }
    if (name.empty() || name == "." || name == "..") {
        name = std::string(kRootLabel);
    }
    return name + ".tvp";
}

CMoveResult MoveNode(CProjectTree &tree, CTreeNode &node, CTreeNode &target) {
    CMoveResult result;
    CTreeNode *oldParent = node.parent;
    result.refusal = tree.MoveItem(node, target);
    result.moved = result.refusal.empty() && node.parent != oldParent;
    return result;
}

} // namespace torvex
