#include "shell/CUrlFilterEditor.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/CDlgProtocolFilter.h"
#include "shell/DialogFields.h"

namespace torvex {

CUrlFilterEditor::CUrlFilterEditor(IPrompter& prompter, Scope scope, QWidget* parent)
    : QWidget(parent), m_prompter(prompter), m_scope(scope) {
    auto* hosts = new QGroupBox(QStringLiteral("Hosts"));
    auto* hostLayout = new QVBoxLayout(hosts);
    m_host =
        RadioGroup(this, hostLayout,
                   {QStringLiteral("all hosts"), QStringLiteral("hosts within the start domain"),
                    QStringLiteral("the start host only"), QStringLiteral("specified hosts")});
    auto* hostLists = new QFormLayout;
    m_fhost = TextField(kMaxFilterList, "fhost");
    m_ehost = TextField(kMaxFilterList, "ehost");
    hostLists->addRow(QStringLiteral("Specified hosts:"), m_fhost);
    hostLists->addRow(QStringLiteral("Excluded hosts:"), m_ehost);
    hostLayout->addLayout(hostLists);

    auto* paths = new QGroupBox(QStringLiteral("Paths"));
    auto* pathLayout = new QVBoxLayout(paths);
    m_path = RadioGroup(this, pathLayout,
                        {QStringLiteral("all path"), QStringLiteral("start directory"),
                         QStringLiteral("specified path")});
    auto* pathLists = new QFormLayout;
    m_fpath = TextField(kMaxFilterList, "fpath");
    m_epath = TextField(kMaxFilterList, "epath");
    pathLists->addRow(QStringLiteral("Specified paths:"), m_fpath);
    pathLists->addRow(QStringLiteral("Excluded paths:"), m_epath);
    pathLayout->addLayout(pathLists);

    m_sameLevel = new QCheckBox(QStringLiteral("Apply to same-level links"));
    m_sameLevel->setObjectName(QStringLiteral("sameLevel"));
    m_protocol = new QPushButton(QStringLiteral(">> Protocol Filter <<"));
    m_protocol->setObjectName(QStringLiteral("protocolFilter"));
    auto* note = new QLabel(QStringLiteral("Separate the items of a list with \";\"; \"*\" stands "
                                           "for any text."));
    note->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hosts);
    layout->addWidget(paths);
    layout->addWidget(note);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_sameLevel);
    bottom->addStretch();
    bottom->addWidget(m_protocol);
    layout->addLayout(bottom);
    layout->addStretch();

    const bool lists = scope == Scope::Full;
    for (QWidget* field : {static_cast<QWidget*>(m_fhost), static_cast<QWidget*>(m_ehost),
                           static_cast<QWidget*>(m_fpath), static_cast<QWidget*>(m_epath)}) {
        field->setVisible(lists);
        if (auto* label = hostLists->labelForField(field)) {
            label->setVisible(lists);
        }
        if (auto* label = pathLists->labelForField(field)) {
            label->setVisible(lists);
        }
    }
    note->setVisible(lists);
    m_protocol->setVisible(scope != Scope::ChoicesOnly);

    connect(m_host, &QButtonGroup::idClicked, this, [this](int) { UpdateEnabled(); });
    connect(m_path, &QButtonGroup::idClicked, this, [this](int) { UpdateEnabled(); });
    connect(m_protocol, &QPushButton::clicked, this, &CUrlFilterEditor::EditProtocols);
}

void CUrlFilterEditor::Load(const CUrlFilter& filter) {
    SetPosition(m_host, filter.HostFilter);
    SetPosition(m_path, filter.PathFilter);
    m_fhost->setText(Q(filter.FHost));
    m_ehost->setText(Q(filter.EHost));
    m_fpath->setText(Q(filter.FPath));
    m_epath->setText(Q(filter.EPath));
    m_sameLevel->setChecked(filter.FilterSameLevel);
    m_protocols = filter.ProtocolFilter;
    UpdateEnabled();
}

bool CUrlFilterEditor::Store(CUrlFilter& filter) {
    CUrlFilter edited = filter;
    if (m_scope == Scope::Full &&
        (!ReadText(m_prompter, m_fhost, "Specified hosts", kMaxFilterList, edited.FHost) ||
         !ReadText(m_prompter, m_ehost, "Excluded hosts", kMaxFilterList, edited.EHost) ||
         !ReadText(m_prompter, m_fpath, "Specified paths", kMaxFilterList, edited.FPath) ||
         !ReadText(m_prompter, m_epath, "Excluded paths", kMaxFilterList, edited.EPath))) {
        return false;
    }
    edited.HostFilter = Position(m_host);
    edited.PathFilter = Position(m_path);
    edited.FilterSameLevel = m_sameLevel->isChecked();
    if (m_scope != Scope::ChoicesOnly) {
        edited.ProtocolFilter = m_protocols;
    }
    filter = edited;
    return true;
}

void CUrlFilterEditor::UpdateEnabled() {
    m_fhost->setEnabled(Position(m_host) == static_cast<int>(HostFilterMode::SpecifiedHosts));
    m_fpath->setEnabled(Position(m_path) == static_cast<int>(PathFilterMode::SpecifiedPaths));
}

void CUrlFilterEditor::EditProtocols() {
    CDlgProtocolFilter dialog(m_protocols, this);
    if (dialog.exec() == QDialog::Accepted) {
        m_protocols = dialog.Bits();
    }
}

} // namespace torvex
