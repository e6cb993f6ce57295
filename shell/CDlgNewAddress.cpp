#include "shell/CDlgNewAddress.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AddressCheck.h"
#include "app/AddressList.h"
#include "app/PropertyFields.h"
#include "base/BoundedText.h"
#include "shell/CDlgAddress.h"
#include "shell/CDlgUrlFilter.h"
#include "shell/CNumberSpin.h"
#include "shell/DialogFields.h"

namespace torvex {

CDlgNewAddress::CDlgNewAddress(const CProjectSettings& project, const CProjectSettings& defaults,
                               NewAddressKind kind, const std::string& initialAddress,
                               IPrompter& prompter, QWidget* parent)
    : QDialog(parent), m_project(project), m_kind(kind), m_prompter(prompter),
      m_current(NewAddressTemplate(defaults, project, kind)) {
    setObjectName(QStringLiteral("newAddress"));
    setWindowTitle(Q(NewAddressCaption(project.Name, kind)));
    m_address = TextField(kMaxStartUrl, "address");
    m_address->setMinimumWidth(400);
    m_address->setText(Q(initialAddress));
    m_description = TextField(kMaxDescription, "description");
    m_level = NumberField(kLevelRange, "level");
    m_level->SetValue(m_current.Level);
    auto* basic = new QPushButton(QStringLiteral("Basic"));
    auto* filter = new QPushButton(QStringLiteral("URL Filter"));
    filter->setObjectName(QStringLiteral("urlFilter"));
    auto* add = new QPushButton(QStringLiteral("Add"));
    add->setObjectName(QStringLiteral("add"));
    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("collected"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Address:")), 0, 0);
    grid->addWidget(m_address, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Desc.:")), 1, 0);
    grid->addWidget(m_description, 1, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Level:")), 2, 0);
    grid->addWidget(m_level, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("(\"0\" - no limit)")), 2, 2);
    grid->setColumnStretch(3, 1);
    auto* commands = new QHBoxLayout;
    commands->addWidget(basic);
    commands->addWidget(filter);
    commands->addStretch();
    commands->addWidget(add);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(commands);
    layout->addWidget(m_list);
    layout->addWidget(buttons);

    connect(basic, &QPushButton::clicked, this, &CDlgNewAddress::EditBasic);
    connect(filter, &QPushButton::clicked, this, &CDlgNewAddress::EditFilter);
    connect(add, &QPushButton::clicked, this, [this] { AddCurrent(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CDlgNewAddress::TakeAddress(const std::string& address, const std::string& name) {
    m_address->setText(Q(address));
    m_description->setText(Q(name));
    m_description->setFocus(Qt::OtherFocusReason);
    m_description->selectAll();
    raise();
    activateWindow();
}

bool CDlgNewAddress::ReadFields(CStartAddress& address) {
    address.StartURL = S(m_address->text());
    return ReadText(m_prompter, m_description, "Desc.", kMaxDescription, address.Description) &&
           ReadNumber(m_prompter, m_level, address.Level);
}

bool CDlgNewAddress::AddCurrent() {
    CStartAddress address = m_current;
    if (!ReadFields(address)) {
        return false;
    }
    if (!AcceptNewAddress(address, m_project, m_collected, m_prompter)) {
        m_address->setFocus(Qt::OtherFocusReason);
        m_address->selectAll();
        return false;
    }
    m_collected.push_back(address);
    ShowCollected();
    m_address->setText(Q(kEmptyAddressText));
    m_description->clear();
    m_address->setFocus(Qt::OtherFocusReason);
    return true;
}

void CDlgNewAddress::ShowCollected() {
    m_list->clear();
    for (const CStartAddress& address : m_collected) {
        m_list->addItem(Q(AddressRowText(address)));
    }
}

void CDlgNewAddress::EditBasic() {
    CStartAddress address = m_current;
    AssignCut(address.StartURL, S(m_address->text()), kMaxStartUrl);
    AssignCut(address.Description, S(m_description->text()), kMaxDescription);
    int level = 0;
    if (m_level->Read(level).empty()) {
        address.Level = level;
    }
    CDlgAddress dialog(QStringLiteral("Basic"), address, false, nullptr, m_prompter, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    m_current = dialog.Address();
    m_address->setText(Q(m_current.StartURL));
    m_description->setText(Q(m_current.Description));
    m_level->SetValue(m_current.Level);
}

void CDlgNewAddress::EditFilter() {
    // A child goes behind the project's first address, whose filter it may inherit: the same
    // commands as in the Address List, on a list of that address and this one.
    std::vector<CStartAddress> pair;
    if (m_kind == NewAddressKind::Child && !m_project.Addresses.empty()) {
        pair.push_back(m_project.Addresses.front());
    }
    pair.push_back(m_current);
    const std::size_t index = pair.size() - 1;
    const CFilterCommands commands = FilterCommandsFor(pair, index);

    enum class Choice { None, Inherit, Revise, Configure };
    Choice choice = Choice::Configure;
    if (commands.inheritEnabled) {
        QMenu menu(this);
        QAction* inherit = menu.addAction(QStringLiteral("&Inherit"));
        inherit->setCheckable(true);
        inherit->setChecked(commands.inheritChecked);
        QAction* revise = menu.addAction(QStringLiteral("Inherit and &Revise"));
        revise->setEnabled(commands.reviseEnabled);
        QAction* configure = menu.addAction(QStringLiteral("&Configure"));
        configure->setEnabled(commands.configureEnabled);
        QAction* chosen = menu.exec(QCursor::pos());
        choice = chosen == inherit     ? Choice::Inherit
                 : chosen == revise    ? Choice::Revise
                 : chosen == configure ? Choice::Configure
                                       : Choice::None;
    }
    if (choice == Choice::Inherit) {
        ToggleInherit(pair, index);
    } else if (choice != Choice::None) {
        const CUrlFilter start =
            choice == Choice::Revise ? RevisedFilter(pair, index) : pair[index].Filter;
        CDlgUrlFilter dialog(start, false, m_prompter, this);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        StoreOwnFilter(pair, index, dialog.Filter());
    }
    const CStartAddress& edited = pair[index];
    m_current.Filter = edited.Filter;
    m_current.Inherit = edited.Inherit;
}

void CDlgNewAddress::accept() {
    const QString text = m_address->text().trimmed();
    if (!text.isEmpty() && text != Q(kEmptyAddressText) && !AddCurrent()) {
        return;
    }
    QDialog::accept();
}

} // namespace torvex
