#pragma once

#include <string>

#include "project/CProjectTree.h"

// What the tree pane's own commands decide: new folder, rename, delete, move, export and
// import, apart from their dialogs. Front end's thread.

namespace torvex {

constexpr std::string_view kDeleteFilesText = "Delete all related files.";

// The delete confirmation of `node`: its caption ("Torvex - " and the label) and question.
std::string DeleteCaption(const CTreeNode &node);
std::string DeleteQuestion(const CTreeNode &node);
// Why `node` cannot be deleted now (the root, or a project that runs or waits at or below it);
// empty when it can.
std::string DeleteRefusal(const CTreeNode &node);
// The node selected after `node` is deleted: the next sibling, else the one before, else the
// parent.
CTreeNode *SelectionAfterDelete(const CTreeNode &node);

// The file name the export dialog proposes: the label (with characters no file name can hold
// replaced) and ".tvp".
std::string ExportFileName(const CTreeNode &node);

// What a move by dragging does. `moved` is set when the tree changed; `refusal` is the text to
// show when the target has a child of the same name.
struct CMoveResult {
    bool moved = false;
    std::string refusal;
};
CMoveResult MoveNode(CProjectTree &tree, CTreeNode &node, CTreeNode &target);

} // namespace torvex
