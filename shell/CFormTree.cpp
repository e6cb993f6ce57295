#include "shell/CFormTree.h"

#include <functional>

#include <QHeaderView>

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

} // namespace torvex
