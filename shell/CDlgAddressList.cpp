#include "shell/CDlgAddressList.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/AddressCheck.h"
#include "app/AddressList.h"
#include "app/NewAddresses.h"
#include "shell/CDlgAddress.h"
#include "shell/CDlgUrlFilter.h"
#include "shell/DialogFields.h"

namespace torvex {

namespace {

constexpr int kUrlColumnWidth = 360;
constexpr int kLevelColumnWidth = 120;

} // namespace

CDlgAddressList::CDlgAddressList(std::vector<CStartAddress> addresses,
                                 const CProjectSettings& defaults, IPrompter& prompter,
                                 QWidget* parent)
    : QDialog(parent), m_addresses(std::move(addresses)), m_defaults(defaults),
      m_prompter(prompter) {
    setObjectName(QStringLiteral("addressList"));
    setWindowTitle(QStringLiteral("Address list"));
    m_list = new QTableWidget(0, 2);
    m_list->setObjectName(QStringLiteral("addresses"));
    m_list->setHorizontalHeaderLabels({QStringLiteral("URL"), QStringLiteral("Level")});
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->setColumnWidth(0, kUrlColumnWidth);
    m_list->setColumnWidth(1, kLevelColumnWidth);
    m_list->setMinimumWidth(kUrlColumnWidth + kLevelColumnWidth + 24);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* add = new QPushButton(QStringLiteral("Add"));
    auto* modify = new QPushButton(QStringLiteral("Modify"));
    auto* remove = new QPushButton(QStringLiteral("Delete"));
    auto* filter = new QPushButton(QStringLiteral("URL Filter"));
    filter->setObjectName(QStringLiteral("urlFilter"));
    auto* commands = new QVBoxLayout;
    for (QPushButton* button : {add, modify, remove, filter}) {
        commands->addWidget(button);
    }
    commands->addStretch();
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical);
    commands->addWidget(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(commands);
    resize(660, 320);

    connect(add, &QPushButton::clicked, this, &CDlgAddressList::AddAddress);
    connect(modify, &QPushButton::clicked, this, &CDlgAddressList::ModifyAddress);
    connect(remove, &QPushButton::clicked, this, &CDlgAddressList::DeleteSelected);
    connect(filter, &QPushButton::clicked, this, &CDlgAddressList::ShowFilterMenu);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTableWidget::itemChanged, this, &CDlgAddressList::OnItemChanged);
    connect(m_list, &QTableWidget::itemDoubleClicked, this,
            [this](QTableWidgetItem*) { ModifyAddress(); });
    connect(m_list, &QWidget::customContextMenuRequested, this, &CDlgAddressList::ShowContextMenu);
    Refill();
}

void CDlgAddressList::Refill() {
    const std::vector<std::size_t> selected = SelectedRows();
    m_filling = true;
    m_list->setRowCount(static_cast<int>(m_addresses.size()));
    for (std::size_t i = 0; i < m_addresses.size(); ++i) {
        const int row = static_cast<int>(i);
        auto* text = new QTableWidgetItem(Q(AddressRowText(m_addresses[i])));
        // The first address is always run: its box stays checked.
        Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
        if (i > 0) {
            flags |= Qt::ItemIsUserCheckable;
        }
        text->setFlags(flags);
        text->setCheckState(m_addresses[i].Enable ? Qt::Checked : Qt::Unchecked);
        m_list->setItem(row, 0, text);
        auto* level = new QTableWidgetItem(QString::number(m_addresses[i].Level));
        level->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        m_list->setItem(row, 1, level);
    }
    m_list->clearSelection();
    for (const std::size_t row : selected) {
        if (row < m_addresses.size()) {
            m_list->selectRow(static_cast<int>(row));
        }
    }
    m_filling = false;
}

std::vector<std::size_t> CDlgAddressList::SelectedRows() const {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows()) {
        rows.push_back(static_cast<std::size_t>(index.row()));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CDlgAddressList::OnItemChanged(QTableWidgetItem* item) {
    if (m_filling || item->column() != 0) {
        return;
    }
    // The row's box already shows the new value (the first row has none to click).
    SetAddressesEnabled(m_addresses, {static_cast<std::size_t>(item->row())},
                        item->checkState() == Qt::Checked);
}

bool CDlgAddressList::Acceptable(const CStartAddress& address, std::size_t except) {
    CProjectSettings others;
    for (std::size_t i = 0; i < m_addresses.size(); ++i) {
        if (i != except) {
            others.Addresses.push_back(m_addresses[i]);
        }
    }
    return AcceptNewAddress(address, others, {}, m_prompter);
}

void CDlgAddressList::AddAddress() {
    CStartAddress fresh = m_defaults.NewAddress();
    fresh.StartURL = std::string(kEmptyAddressText);
    const std::size_t none = m_addresses.size();
    CDlgAddress dialog(
        QStringLiteral("Add"), fresh, !m_addresses.empty(),
        [this, none](const CStartAddress& address) { return Acceptable(address, none); },
        m_prompter, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    m_addresses.push_back(dialog.Address());
    NormaliseAddressList(m_addresses);
    Refill();
    m_list->clearSelection();
    m_list->selectRow(static_cast<int>(m_addresses.size()) - 1);
}

void CDlgAddressList::ModifyAddress() {
    const std::vector<std::size_t> rows = SelectedRows();
    if (rows.size() != 1) {
        return;
    }
    const std::size_t row = rows.front();
    CDlgAddress dialog(
        QStringLiteral("Modify"), m_addresses[row], row > 0,
        [this, row](const CStartAddress& address) { return Acceptable(address, row); }, m_prompter,
        this);
    if (dialog.exec() == QDialog::Accepted) {
        m_addresses[row] = dialog.Address();
        NormaliseAddressList(m_addresses);
        Refill();
    }
}

void CDlgAddressList::DeleteSelected() {
    DeleteAddresses(m_addresses, SelectedRows());
    m_list->clearSelection();
    Refill();
}

void CDlgAddressList::EnableSelected(bool enable) {
    SetAddressesEnabled(m_addresses, SelectedRows(), enable);
    Refill();
}

void CDlgAddressList::ShowFilterMenu() {
    const std::vector<std::size_t> rows = SelectedRows();
    if (rows.empty()) {
        return;
    }
    if (rows.size() > 1) {
        EditChoicesOfSelected();
        return;
    }
    const CFilterCommands commands = FilterCommandsFor(m_addresses, rows.front());
    QMenu menu(this);
    QAction* inherit = menu.addAction(QStringLiteral("&Inherit"));
    inherit->setCheckable(true);
    inherit->setChecked(commands.inheritChecked);
    inherit->setEnabled(commands.inheritEnabled);
    QAction* revise = menu.addAction(QStringLiteral("Inherit and &Revise"));
    revise->setEnabled(commands.reviseEnabled);
    QAction* configure = menu.addAction(QStringLiteral("&Configure"));
    configure->setEnabled(commands.configureEnabled);
    connect(inherit, &QAction::triggered, this, &CDlgAddressList::ToggleInheritOfCurrent);
    connect(revise, &QAction::triggered, this, &CDlgAddressList::ReviseFilterOfCurrent);
    connect(configure, &QAction::triggered, this, &CDlgAddressList::ConfigureFilterOfCurrent);
    menu.exec(QCursor::pos());
}

void CDlgAddressList::ToggleInheritOfCurrent() {
    const std::vector<std::size_t> rows = SelectedRows();
    if (rows.size() == 1) {
        ToggleInherit(m_addresses, rows.front());
        Refill();
    }
}

void CDlgAddressList::ReviseFilterOfCurrent() {
    const std::vector<std::size_t> rows = SelectedRows();
    if (rows.size() != 1 || !FilterCommandsFor(m_addresses, rows.front()).reviseEnabled) {
        return;
    }
    CDlgUrlFilter dialog(RevisedFilter(m_addresses, rows.front()), false, m_prompter, this);
    if (dialog.exec() == QDialog::Accepted) {
        StoreOwnFilter(m_addresses, rows.front(), dialog.Filter());
    }
}

void CDlgAddressList::ConfigureFilterOfCurrent() {
    const std::vector<std::size_t> rows = SelectedRows();
    if (rows.size() != 1 || !FilterCommandsFor(m_addresses, rows.front()).configureEnabled) {
        return;
    }
    CDlgUrlFilter dialog(m_addresses[rows.front()].Filter, false, m_prompter, this);
    if (dialog.exec() == QDialog::Accepted) {
        StoreOwnFilter(m_addresses, rows.front(), dialog.Filter());
    }
}

void CDlgAddressList::EditChoicesOfSelected() {
    const std::vector<std::size_t> rows = SelectedRows();
    if (rows.empty()) {
        return;
    }
    CDlgUrlFilter dialog(m_addresses[rows.front()].Filter, true, m_prompter, this);
    if (dialog.exec() == QDialog::Accepted) {
        ApplyFilterChoices(m_addresses, rows, dialog.Filter());
    }
}

void CDlgAddressList::ShowContextMenu(const QPoint& at) {
    QMenu menu(this);
    const bool any = !SelectedRows().empty();
    QAction* enable = menu.addAction(QStringLiteral("&Enable"));
    QAction* disable = menu.addAction(QStringLiteral("D&isable"));
    QAction* remove = menu.addAction(QStringLiteral("&Delete"));
    for (QAction* action : {enable, disable, remove}) {
        action->setEnabled(any);
    }
    connect(enable, &QAction::triggered, this, [this] { EnableSelected(true); });
    connect(disable, &QAction::triggered, this, [this] { EnableSelected(false); });
    connect(remove, &QAction::triggered, this, &CDlgAddressList::DeleteSelected);
    menu.exec(m_list->viewport()->mapToGlobal(at));
}

} // namespace torvex
