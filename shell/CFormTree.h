#pragma once

#include <QTreeWidget>

#include "project/CProjectTree.h"

namespace torvex {

// The left pane: shows the nodes of the core's CProjectTree (the root, folders, projects) with
// their kind as icon, and keeps the expanded state of the root and folders in their kinds so
// that the tree file keeps it. The tree is not owned; the pane is rebuilt with Rebuild() after
// the tree's structure changed and refreshed with RefreshKinds() after kinds changed. GUI
// thread only.
class CFormTree final : public QTreeWidget {
    Q_OBJECT
public:
    explicit CFormTree(CProjectTree& tree, QWidget* parent = nullptr);

    void Rebuild();
    void RefreshKinds();
    CTreeNode* SelectedNode() const;
    void Select(const CTreeNode* node);
    QTreeWidgetItem* ItemOf(const CTreeNode* node) const;

Q_SIGNALS:
    // The selection moved to `node` (null: nothing selected).
    void nodeSelected(torvex::CTreeNode* node);
    // `node` was dragged onto `target`; the window decides and rebuilds the pane.
    void moveRequested(torvex::CTreeNode *node, torvex::CTreeNode *target);

protected:
    void startDrag(Qt::DropActions actions) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // The folder or root under `position` that the dragged node may be dropped on, or null.
    CTreeNode *DropTarget(const QPoint &position) const;
    QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, CTreeNode& node);
    void Refresh(QTreeWidgetItem* item);
    void OnExpansion(QTreeWidgetItem* item, bool expanded);

    CProjectTree& m_tree;
    bool m_rebuilding = false;
    CTreeNode *m_dragged = nullptr;
};

CTreeNode* NodeOfItem(const QTreeWidgetItem* item);

} // namespace torvex
