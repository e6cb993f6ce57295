#include "shell/CPageProxy.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/PropertyFields.h"
#include "project/PasswordScramble.h"
#include "shell/CNumberSpin.h"
#include "shell/DialogFields.h"

namespace torvex {

namespace {

// UseGlobeProxy is 1 for the first choice.
constexpr int kDefaultProxyChoice = 0;

} // namespace

CPageProxy::CPageProxy(const CPageContext& context, QWidget* parent)
    : CPropertyPage(context, parent) {
    setObjectName(QStringLiteral("proxyPage"));
    auto* layout = new QVBoxLayout(this);
    m_which = RadioGroup(this, layout,
                         {QStringLiteral("Use the default proxy setting for this project"),
                          QStringLiteral("Use the specified proxy setting for this project")});
    auto* own = new QGroupBox(QStringLiteral("Proxy"));
    auto* ownLayout = new QVBoxLayout(own);
    auto* kinds = new QHBoxLayout;
    m_proxy = RadioGroup(
        this, kinds,
        {QStringLiteral("No Proxy"), QStringLiteral("HTTP Proxy"), QStringLiteral("Socks5 Proxy")});
    ownLayout->addLayout(kinds);
    m_server = TextField(kMaxProxyServer, "server");
    m_port = NumberField(kPortRange, "port");
    m_port->setButtonSymbols(QAbstractSpinBox::NoButtons);
    m_user = TextField(kMaxProxyUser, "user");
    m_password = TextField(kMaxPlainPassword, "password");
    m_password->setEchoMode(QLineEdit::Password);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Server:"), m_server);
    form->addRow(QStringLiteral("Port:"), m_port);
    form->addRow(QStringLiteral("User name:"), m_user);
    form->addRow(QStringLiteral("Password:"), m_password);
    ownLayout->addLayout(form);
    layout->addWidget(own);
    layout->addStretch();
    connect(m_which, &QButtonGroup::idClicked, this, [this](int) { UpdateEnabled(); });
    connect(m_proxy, &QButtonGroup::idClicked, this, [this](int) { UpdateEnabled(); });
}

void CPageProxy::Load(const CProjectSettings& settings) {
    SetPosition(m_which, settings.UseGlobeProxy ? kDefaultProxyChoice : 1);
    SetPosition(m_proxy, settings.Proxy);
    m_server->setText(Q(settings.ProxyServer));
    m_port->SetValue(settings.ProxyPort);
    m_user->setText(Q(settings.ProxyUser));
    m_password->setText(Q(settings.ProxyPassword));
    UpdateEnabled();
}

bool CPageProxy::Store(CProjectSettings& settings) {
    if (Context().defaults) {
        return true; // the defaults file keeps no proxy
    }
    CProjectSettings edited = settings;
    edited.UseGlobeProxy = Position(m_which) == kDefaultProxyChoice;
    edited.Proxy = Position(m_proxy);
    if (m_server->isEnabled() &&
        (!ReadText(Prompter(), m_server, "Server", kMaxProxyServer, edited.ProxyServer) ||
         !ReadNumber(Prompter(), m_port, edited.ProxyPort) ||
         !ReadText(Prompter(), m_user, "User name", kMaxProxyUser, edited.ProxyUser) ||
         !ReadText(Prompter(), m_password, "Password", kMaxPlainPassword, edited.ProxyPassword))) {
        return false;
    }
    settings.UseGlobeProxy = edited.UseGlobeProxy;
    settings.Proxy = edited.Proxy;
    settings.ProxyServer = edited.ProxyServer;
    settings.ProxyPort = edited.ProxyPort;
    settings.ProxyUser = edited.ProxyUser;
    settings.ProxyPassword = edited.ProxyPassword;
    return true;
}

void CPageProxy::UpdateEnabled() {
    const bool own = Position(m_which) != kDefaultProxyChoice;
    for (QAbstractButton* button : m_proxy->buttons()) {
        button->setEnabled(own);
    }
    const bool fields = own && Position(m_proxy) != 0;
    for (QWidget* field : {static_cast<QWidget*>(m_server), static_cast<QWidget*>(m_port),
                           static_cast<QWidget*>(m_user), static_cast<QWidget*>(m_password)}) {
        field->setEnabled(fields);
    }
}

} // namespace torvex
