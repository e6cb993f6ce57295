#include "shell/CSheetProperty.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/AddressCheck.h"
#include "app/ProjectDirectory.h"
#include "app/ProjectProperties.h"
#include "engine/IPrompter.h"
#include "shell/CDlgAddressList.h"
#include "shell/CDlgStartAddress.h"
#include "shell/CPageAdvanced.h"
#include "shell/CPageBasic.h"
#include "shell/CPageDownload.h"
#include "shell/CPageFileFilter.h"
#include "shell/CPageLinkage.h"
#include "shell/CPageProxy.h"
#include "shell/CPageUrlFilter.h"
#include "shell/DialogFields.h"

namespace torvex {

CSheetProperty::CSheetProperty(CProjectTree& tree, CTreeNode& node, const std::string& workDir,
                               IPrompter& prompter, QWidget* parent)
    : QDialog(parent), m_prompter(prompter), m_workDir(workDir), m_tree(&tree), m_node(&node),
      m_defaults(LoadDefaultsIn(workDir)), m_edited(*node.project) {
    setWindowTitle(QStringLiteral("Properties - %1").arg(Q(node.label)));
    Build(false, !AddressesEditable(node));
}

CSheetProperty::CSheetProperty(const std::string& workDir, IPrompter& prompter, QWidget* parent)
    : QDialog(parent), m_prompter(prompter), m_workDir(workDir),
      m_defaults(LoadDefaultsIn(workDir)), m_edited(m_defaults) {
    setWindowTitle(QStringLiteral("Default settings"));
    Build(true, false);
}

void CSheetProperty::Build(bool defaults, bool addressesLocked) {
    setObjectName(QStringLiteral("propertySheet"));
    CPageContext context;
    context.prompter = &m_prompter;
    context.defaults = defaults;
    context.addressesLocked = addressesLocked;
    context.newAddress = m_defaults.NewAddress();
    context.newAddress.StartURL = std::string(kEmptyAddressText);

    m_basic = new CPageBasic(context);
    m_pages = {m_basic,
               new CPageUrlFilter(context),
               new CPageFileFilter(context),
               new CPageDownload(context),
               new CPageLinkage(context),
               new CPageProxy(context),
               new CPageAdvanced(context)};
    const QStringList captions = {QStringLiteral("Basic"),       QStringLiteral("URL Filter"),
                                  QStringLiteral("File Filter"), QStringLiteral("Download"),
                                  QStringLiteral("Linkage"),     QStringLiteral("Proxy"),
                                  QStringLiteral("Advanced")};
    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("tabs"));
    for (int i = 0; i < kPropertyTabs; ++i) {
        m_pages[static_cast<std::size_t>(i)]->Load(m_edited);
        m_tabs->addTab(m_pages[static_cast<std::size_t>(i)], captions[i]);
    }
    // The defaults file keeps no proxy: its tab would edit nothing.
    m_tabs->setTabEnabled(static_cast<int>(PropertyTab::Proxy), !defaults);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    if (!defaults) {
        m_directory = TextField(kMaxProjectDir, "directory");
        m_directory->setText(Q(m_edited.ProjectDir));
        m_browse = new QPushButton(QStringLiteral("..."));
        m_browse->setObjectName(QStringLiteral("browse"));
        // Its run writes there and is found again by it.
        m_directory->setEnabled(!addressesLocked);
        m_browse->setEnabled(!addressesLocked);
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Project directory")));
        row->addWidget(m_directory, 1);
        row->addWidget(m_browse);
        layout->addLayout(row);
        connect(m_browse, &QPushButton::clicked, this, &CSheetProperty::BrowseDirectory);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(560, 480);

    connect(m_tabs, &QTabWidget::currentChanged, this, &CSheetProperty::OnTabChanged);
    connect(m_basic, &CPageBasic::startAddressRequested, this, &CSheetProperty::EditStartAddress);
    connect(m_basic, &CPageBasic::addressListRequested, this, &CSheetProperty::EditAddressList);
}

void CSheetProperty::ShowTab(PropertyTab tab) {
    const int index = static_cast<int>(tab);
    if (!m_tabs->isTabEnabled(index)) {
        return;
    }
    m_switching = true; // nothing was edited yet
    m_tabs->setCurrentIndex(index);
    m_current = index;
    m_switching = false;
}

bool CSheetProperty::StoreTab(int index) {
    return m_pages[static_cast<std::size_t>(index)]->Store(m_edited);
}

void CSheetProperty::OnTabChanged(int index) {
    if (m_switching) {
        return;
    }
    if (!StoreTab(m_current)) {
        // The refused value keeps its tab; the message was shown and the field focused.
        m_switching = true;
        m_tabs->setCurrentIndex(m_current);
        m_switching = false;
        return;
    }
    m_current = index;
    // Another tab's dialogs may have changed what this one shows.
    m_pages[static_cast<std::size_t>(index)]->Load(m_edited);
}

void CSheetProperty::EditStartAddress() {
    const CStartAddress& first =
        m_edited.Addresses.empty() ? CStartAddress() : m_edited.Addresses.front();
    CDlgStartAddress dialog(S(m_basic->AddressText()), first.DateFormat,
                            first.RequestMethod == "POST", m_prompter, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    m_basic->Keep(m_edited);
    CStartAddress& kept = m_edited.Addresses.front();
    kept.StartURL = dialog.Address();
    kept.DateFormat = dialog.DateFormat();
    kept.RequestMethod = dialog.Post() ? "POST" : "GET";
    m_basic->SetAddressText(Q(dialog.Address()));
}

void CSheetProperty::EditAddressList() {
    m_basic->Keep(m_edited);
    CDlgAddressList dialog(m_edited.Addresses, m_defaults, m_prompter, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    m_edited.Addresses = dialog.Addresses();
    m_basic->LoadAddress(m_edited);
}

void CSheetProperty::BrowseDirectory() {
    const QString chosen = BrowseProjectDirectory(this, m_directory->text());
    if (!chosen.isEmpty()) {
        m_directory->setText(chosen);
    }
}

void CSheetProperty::accept() {
    if (!StoreTab(m_current)) {
        return;
    }
    if (m_node == nullptr) {
        std::string error;
        if (!SaveDefaultsIn(m_workDir, m_edited, error)) {
            m_prompter.Error(error);
            return; // kept open: the user may try again or cancel
        }
        QDialog::accept();
        return;
    }
    if (m_directory->isEnabled()) {
        const std::string directory = S(m_directory->text());
        if (directory != m_node->project->ProjectDir &&
            !AcceptProjectDirectory(directory, *m_tree, m_node->project, m_prompter)) {
            m_directory->setFocus();
            m_directory->selectAll();
            return;
        }
        m_edited.ProjectDir = directory;
    }
    std::string error;
    if (!ApplyProperties(*m_tree, *m_node, m_edited, error)) {
        m_prompter.Error(error);
    }
    QDialog::accept();
}

} // namespace torvex
