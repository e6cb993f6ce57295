#include "shell/CDefaultProxyDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/BoundedText.h"
#include "project/CProjectSettings.h"
#include "project/PasswordScramble.h"

namespace torvex {

namespace {

QLineEdit *Field(const QString &name, const std::string &text, std::size_t capacity) {
    auto *field = new QLineEdit(QString::fromStdString(text));
    field->setObjectName(name);
    field->setMaxLength(static_cast<int>(capacity));
    return field;
}

} // namespace

CDefaultProxyDialog::CDefaultProxyDialog(CAppSettings &settings, QWidget *parent)
    : QDialog(parent), m_settings(settings) {
    setObjectName(QStringLiteral("defaultProxyDialog"));
    setWindowTitle(QStringLiteral("Default Proxy Server"));

    auto *modes = new QGroupBox(QStringLiteral("Proxy"));
    auto *modeLayout = new QVBoxLayout(modes);
    m_mode = new QButtonGroup(this);
    const char *captions[] = {"No Proxy", "HTTP Proxy", "Socks5 Proxy"};
    for (int mode = 0; mode < 3; ++mode) {
        auto *button = new QRadioButton(QString::fromLatin1(captions[mode]));
        button->setObjectName(QStringLiteral("proxyMode%1").arg(mode));
        m_mode->addButton(button, mode);
        modeLayout->addWidget(button);
    }
    const int mode = settings.Proxy >= 0 && settings.Proxy <= 2 ? settings.Proxy : 0;
    m_mode->button(mode)->setChecked(true);

    m_server = Field(QStringLiteral("proxyServer"), settings.ProxyServer, kMaxProxyServer);
    m_port = Field(QStringLiteral("proxyPort"), std::to_string(settings.ProxyPort), 5);
    m_port->setValidator(new QIntValidator(0, 99999, m_port));
    m_user = Field(QStringLiteral("proxyUser"), settings.ProxyUser, kMaxProxyUser);
    m_password = Field(QStringLiteral("proxyPassword"), settings.ProxyPassword, kMaxPlainPassword);
    m_password->setEchoMode(QLineEdit::Password);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Server:"), m_server);
    form->addRow(QStringLiteral("Port:"), m_port);
    form->addRow(QStringLiteral("User name:"), m_user);
    form->addRow(QStringLiteral("Password:"), m_password);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_mode, &QButtonGroup::idClicked, this, &CDefaultProxyDialog::UpdateFields);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(modes);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(360);
    UpdateFields();
}

void CDefaultProxyDialog::UpdateFields() {
    const bool proxy = m_mode->checkedId() != 0;
    for (QLineEdit *field : {m_server, m_port, m_user, m_password}) {
        field->setEnabled(proxy);
    }
}

void CDefaultProxyDialog::accept() {
    m_settings.Proxy = m_mode->checkedId();
    AssignCut(m_settings.ProxyServer, m_server->text().trimmed().toStdString(), kMaxProxyServer);
    m_settings.ProxyPort = ProxyPortInRange(m_settings.Proxy, m_port->text().toInt());
    AssignCut(m_settings.ProxyUser, m_user->text().toStdString(), kMaxProxyUser);
    AssignCut(m_settings.ProxyPassword, m_password->text().toStdString(), kMaxPlainPassword);
    QDialog::accept();
}

} // namespace torvex
