#include "shell/CFormChannel.h"

#include <QHeaderView>

namespace torvex {

CFormChannel::CFormChannel(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(kThreadColumns);
    setHeaderLabels({QStringLiteral("Thread"), QStringLiteral("Status"), QStringLiteral("Total"),
                     QStringLiteral("Readed"), QStringLiteral("Ratio"), QStringLiteral("URL")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
    const int widths[] = {60, 120, 80, 80, 60, 500};
    for (int column = 0; column < kThreadColumns; ++column) {
        setColumnWidth(column, widths[column]);
    }
}

void CFormChannel::CreateRows(int count) {
    Empty();
    for (int i = 0; i < count; ++i) {
        CThreadRow row = ThreadRowOf(i, CSlotView{});
        auto* item = new QTreeWidgetItem(this);
        for (int column = 0; column < kThreadColumns; ++column) {
            item->setText(column, QString::fromStdString(row.Cell(column)));
        }
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
        m_rows.push_back(std::move(row));
    }
}

int CFormChannel::UpdateRow(int index, const CThreadRow& row) {
    if (index < 0 || index >= RowCount()) {
        return 0;
    }
    CThreadRow& shown = m_rows[static_cast<std::size_t>(index)];
    const std::vector<int> changed = ChangedColumns(shown, row);
    QTreeWidgetItem* item = topLevelItem(index);
    for (int column : changed) {
        item->setText(column, QString::fromStdString(row.Cell(column)));
    }
    shown = row;
    return static_cast<int>(changed.size());
}

void CFormChannel::Empty() {
    clear();
    m_rows.clear();
}

int CFormChannel::SelectedThread() const {
    const QTreeWidgetItem* item = currentItem();
    return item && item->isSelected() ? indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item))
                                      : -1;
}

} // namespace torvex
