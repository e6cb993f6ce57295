#include "shell/CDlgAddress.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/PropertyFields.h"
#include "project/PasswordScramble.h"
#include "shell/CNumberSpin.h"
#include "shell/DialogFields.h"

namespace torvex {

CDlgAddress::CDlgAddress(const QString& title, const CStartAddress& address, bool childChoice,
                         Acceptance acceptance, IPrompter& prompter, QWidget* parent)
    : QDialog(parent), m_address(address), m_acceptance(std::move(acceptance)),
      m_prompter(prompter) {
    setObjectName(QStringLiteral("addressDialog"));
    setWindowTitle(title);
    m_url = TextField(kMaxStartUrl, "address");
    m_url->setMinimumWidth(420);
    m_level = NumberField(kLevelRange, "level");
    m_description = TextField(kMaxDescription, "description");
    m_user = TextField(kMaxUsername, "username");
    m_password = TextField(kMaxPlainPassword, "password");
    m_password->setEchoMode(QLineEdit::Password);
    m_dateFormat = TextField(kMaxDateFormat, "dateFormat");
    m_post = new QCheckBox(QStringLiteral("Request the URL with \"POST\" method"));
    m_child = new QCheckBox(QStringLiteral("Child address (of the stand-alone address before it)"));
    m_child->setObjectName(QStringLiteral("child"));
    m_child->setVisible(childChoice);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Start address"), m_url);
    auto* level = new QHBoxLayout;
    level->addWidget(m_level);
    level->addWidget(new QLabel(QStringLiteral("(\"0\" - no limit)")));
    level->addStretch();
    form->addRow(QStringLiteral("Level"), level);
    form->addRow(QStringLiteral("Description"), m_description);
    form->addRow(QStringLiteral("Username"), m_user);
    form->addRow(QStringLiteral("Password"), m_password);
    form->addRow(QStringLiteral("Date format"), m_dateFormat);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_post);
    layout->addWidget(m_child);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_url->setText(Q(address.StartURL));
    m_level->SetValue(address.Level);
    m_description->setText(Q(address.Description));
    m_user->setText(Q(address.Username));
    m_password->setText(Q(address.Password));
    m_dateFormat->setText(Q(address.DateFormat));
    m_post->setChecked(address.RequestMethod == "POST");
    m_child->setChecked(address.Child != 0);
}

void CDlgAddress::accept() {
    CStartAddress edited = m_address;
    if (!ReadText(m_prompter, m_url, "Start address", kMaxStartUrl, edited.StartURL) ||
        !ReadNumber(m_prompter, m_level, edited.Level) ||
        !ReadText(m_prompter, m_description, "Description", kMaxDescription, edited.Description) ||
        !ReadText(m_prompter, m_user, "Username", kMaxUsername, edited.Username) ||
        !ReadText(m_prompter, m_password, "Password", kMaxPlainPassword, edited.Password) ||
        !ReadText(m_prompter, m_dateFormat, "Date format", kMaxDateFormat, edited.DateFormat)) {
        return;
    }
    edited.RequestMethod = m_post->isChecked() ? "POST" : "GET";
    if (!m_child->isHidden()) {
        edited.Child = m_child->isChecked() ? 1 : 0;
    }
    if (m_acceptance && !m_acceptance(edited)) {
        m_url->setFocus();
        m_url->selectAll();
        return;
    }
    m_address = edited;
    QDialog::accept();
}

} // namespace torvex
