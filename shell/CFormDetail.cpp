#include "shell/CFormDetail.h"

#include <QHeaderView>

#include "shell/ShellIcons.h"

namespace torvex {

namespace {

constexpr int kNameRole = Qt::UserRole + 1;
constexpr int kImageRole = Qt::UserRole + 2;

void SetText(QTreeWidgetItem* item, int column, const std::string& text) {
    const QString value = QString::fromStdString(text);
    if (item->text(column) != value) {
        item->setText(column, value);
    }
}

} // namespace

CFormDetail::CFormDetail(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(kRecordColumns);
    setHeaderLabels({QStringLiteral("Status"), QStringLiteral("Start Time"),
                     QStringLiteral("Downloaded"), QStringLiteral("Total Files"),
                     QStringLiteral("Queue"), QStringLiteral("Time Elapsed"),
                     QStringLiteral("Local Start File")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setSortingEnabled(false);
    const int widths[] = {28, 150, 80, 80, 80, 80, 800};
    for (int column = 0; column < kRecordColumns; ++column) {
        setColumnWidth(column, widths[column]);
    }
    headerItem()->setTextAlignment(0, Qt::AlignCenter);
    header()->setSortIndicatorShown(true);
}

void CFormDetail::SetRow(QTreeWidgetItem* item, const CRecordRow& row) {
    item->setData(0, kNameRole, QString::fromStdString(row.name));
    if (item->data(0, kImageRole).toInt() != row.image + 1) {
        item->setData(0, kImageRole, row.image + 1);
        item->setIcon(0, RecordStateIcon(row.image));
    }
    SetText(item, 1, row.startTime);
    SetText(item, 2, row.downloaded);
    SetText(item, 3, row.totalFiles);
    SetText(item, 4, row.queue);
    SetText(item, 5, row.elapsed);
    SetText(item, 6, row.localStartFile);
    item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(5, Qt::AlignCenter);
}

void CFormDetail::Fill(const std::vector<CRecordRow>& rows, CRecordOrder order) {
    clear();
    m_rows = rows;
    const int count = static_cast<int>(rows.size());
    for (int i = 0; i < count; ++i) {
        const CRecordRow& row =
            rows[static_cast<std::size_t>(order.newestFirst ? count - 1 - i : i)];
        auto* item = new QTreeWidgetItem(this);
        SetRow(item, row);
    }
    // "0" lists in record order under a descending mark and shows the newest (last) row.
    header()->setSortIndicator(1, order.newestFirst ? Qt::AscendingOrder : Qt::DescendingOrder);
    if (count > 0) {
        scrollToItem(topLevelItem(order.showLastRow ? count - 1 : 0));
    }
}

void CFormDetail::Update(const std::vector<CRecordRow>& rows, CRecordOrder order) {
    if (rows.size() != m_rows.size() || topLevelItemCount() != static_cast<int>(rows.size())) {
        Fill(rows, order);
        return;
    }
    m_rows = rows;
    const int count = static_cast<int>(rows.size());
    for (int i = 0; i < count; ++i) {
        SetRow(topLevelItem(i),
               rows[static_cast<std::size_t>(order.newestFirst ? count - 1 - i : i)]);
    }
}

void CFormDetail::Empty() {
    clear();
    m_rows.clear();
}

std::vector<std::string> CFormDetail::SelectedRecords() const {
    std::vector<std::string> names;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = topLevelItem(i);
        if (item->isSelected()) {
            names.push_back(item->data(0, kNameRole).toString().toStdString());
        }
    }
    return names;
}

} // namespace torvex
