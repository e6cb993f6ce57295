#include "shell/CFormTree.h"

#include <functional>

#include <QDropEvent>
#include <QHeaderView>
#include <QTimer>

#include "shell/ShellIcons.h"

namespace torvex {

namespace {

constexpr int kNodeRole = Qt::UserRole + 1;

} // namespace

CTreeNode* NodeOfItem(const QTreeWidgetItem* item) {
    if (!item) {
        return nullptr;
    }
    return static_cast<CTreeNode*>(item->data(0, kNodeRole).value<void*>());
}

CFormTree::CFormTree(CProjectTree& tree, QWidget* parent) : QTreeWidget(parent), m_tree(tree) {
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setUniformRowHeights(true);
    // Nodes move by dragging; the window moves them in the tree and the pane is rebuilt, so
    // the view itself never moves an item.
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::InternalMove);
    setDefaultDropAction(Qt::IgnoreAction);
    connect(this, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { OnExpansion(item, true); });
    connect(this, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* item) { OnExpansion(item, false); });
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
                if (!m_rebuilding) {
                    Q_EMIT nodeSelected(NodeOfItem(current));
                }
            });
}

QTreeWidgetItem* CFormTree::AddItem(QTreeWidgetItem* parent, CTreeNode& node) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setData(0, kNodeRole, QVariant::fromValue(static_cast<void*>(&node)));
    item->setText(0, QString::fromStdString(node.label));
    item->setIcon(0, NodeKindIcon(node.kind));
    for (auto& child : node.children) {
        AddItem(item, *child);
    }
    return item;
}

void CFormTree::Rebuild() {
    const CTreeNode* selected = SelectedNode();
    m_rebuilding = true;
    clear();
    QTreeWidgetItem* root = AddItem(nullptr, m_tree.Root());
    // Expansion follows the kinds the tree file gave; expanding must not rewrite them.
    std::function<void(QTreeWidgetItem*)> expand = [&](QTreeWidgetItem* item) {
        const CTreeNode* node = NodeOfItem(item);
        item->setExpanded(node && node->IsExpanded());
        for (int i = 0; i < item->childCount(); ++i) {
            expand(item->child(i));
        }
    };
    expand(root);
    m_rebuilding = false;
    Select(selected ? selected : &m_tree.Root());
}

void CFormTree::Refresh(QTreeWidgetItem* item) {
    if (const CTreeNode* node = NodeOfItem(item)) {
        item->setIcon(0, NodeKindIcon(node->kind));
        const QString label = QString::fromStdString(node->label);
        if (item->text(0) != label) {
            item->setText(0, label);
        }
    }
    for (int i = 0; i < item->childCount(); ++i) {
        Refresh(item->child(i));
    }
}

void CFormTree::RefreshKinds() {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        Refresh(topLevelItem(i));
    }
}

CTreeNode* CFormTree::SelectedNode() const {
    return NodeOfItem(currentItem());
}

QTreeWidgetItem* CFormTree::ItemOf(const CTreeNode* node) const {
    if (!node) {
        return nullptr;
    }
    std::function<QTreeWidgetItem*(QTreeWidgetItem*)> find =
        [&](QTreeWidgetItem* item) -> QTreeWidgetItem* {
        if (NodeOfItem(item) == node) {
            return item;
        }
        for (int i = 0; i < item->childCount(); ++i) {
            if (QTreeWidgetItem* found = find(item->child(i))) {
                return found;
            }
        }
        return nullptr;
    };
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (QTreeWidgetItem* found = find(topLevelItem(i))) {
            return found;
        }
    }
    return nullptr;
}

void CFormTree::Select(const CTreeNode* node) {
    if (QTreeWidgetItem* item = ItemOf(node)) {
        setCurrentItem(item);
        scrollToItem(item);
    }
}

void CFormTree::OnExpansion(QTreeWidgetItem* item, bool expanded) {
    CTreeNode* node = NodeOfItem(item);
    if (m_rebuilding || !node) {
        return;
    }
    if (node->IsRoot()) {
        node->kind = expanded ? NodeKind::RootExpanded : NodeKind::RootCollapsed;
    } else if (node->IsFolder()) {
        node->kind = expanded ? NodeKind::FolderExpanded : NodeKind::FolderCollapsed;
    }
    item->setIcon(0, NodeKindIcon(node->kind));
}

void CFormTree::startDrag(Qt::DropActions actions) {
    CTreeNode *node = SelectedNode();
    if (node == nullptr || node->IsRoot()) {
        return;
    }
    m_dragged = node;
    QTreeWidget::startDrag(actions);
    m_dragged = nullptr;
}

CTreeNode *CFormTree::DropTarget(const QPoint &position) const {
    CTreeNode *target = NodeOfItem(itemAt(position));
    if (m_dragged == nullptr || target == nullptr || target->IsProject()) {
        return nullptr;
    }
    return target;
}

void CFormTree::dragMoveEvent(QDragMoveEvent *event) {
    QTreeWidget::dragMoveEvent(event);
    if (DropTarget(event->position().toPoint()) == nullptr) {
        event->ignore();
    }
}

void CFormTree::dropEvent(QDropEvent *event) {
    CTreeNode *target = DropTarget(event->position().toPoint());
    CTreeNode *node = m_dragged;
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (target == nullptr || node == nullptr) {
        return;
    }
    // After the drag has ended: the window rebuilds the items the drag still refers to.
    QTimer::singleShot(0, this, [this, node, target] { Q_EMIT moveRequested(node, target); });
}

} // namespace torvex
