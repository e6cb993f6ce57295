#include "shell/CMoreOptionsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/OptionChecks.h"
#include "base/BoundedText.h"
#include "engine/IPrompter.h"
#include "platform/DialUp.h"

namespace torvex {

namespace {

QSpinBox *Spin(const QString &name, int low, int high, int value, const QString &suffix = {}) {
    auto *spin = new QSpinBox;
    spin->setObjectName(name);
    spin->setRange(low, high);
    spin->setValue(value);
    spin->setSuffix(suffix);
    return spin;
}

} // namespace

CMoreOptionsDialog::CMoreOptionsDialog(CAppSettings &settings, IDialUpService &dialUp,
                                       IPrompter &prompter, QWidget *parent)
    : QDialog(parent), m_settings(settings), m_prompter(prompter),
      m_dialUpAvailable(dialUp.Available()) {
    setObjectName(QStringLiteral("moreOptionsDialog"));
    setWindowTitle(QStringLiteral("Options"));
    m_tabs = new QTabWidget;
    m_tabs->addTab(BuildDialUpPage(dialUp), QStringLiteral("Dial-up"));
    m_tabs->addTab(BuildHangUpPage(), QStringLiteral("Hang up"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
}

QWidget *CMoreOptionsDialog::BuildDialUpPage(IDialUpService &dialUp) {
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("dialUpPage"));
    m_dialup = new QCheckBox(QStringLiteral("Connect using Dial-Up network"));
    m_dialup->setObjectName(QStringLiteral("dialup"));
    m_dialup->setChecked(m_settings.Dialup);
    m_entries = new QListWidget;
    m_entries->setObjectName(QStringLiteral("dialEntries"));
    m_entries->setMinimumHeight(90);
    std::vector<std::string> entries;
    if (m_dialUpAvailable && dialUp.EnumEntries(entries) == 0) {
        for (const std::string &entry : entries) {
            auto *item = new QListWidgetItem(QString::fromStdString(entry), m_entries);
            if (entry == m_settings.EntryName) {
                m_entries->setCurrentItem(item);
            }
        }
    }
    m_user = new QLineEdit(QString::fromStdString(m_settings.DialupUser));
    m_user->setObjectName(QStringLiteral("dialUser"));
    m_user->setMaxLength(static_cast<int>(kMaxDialUser));
    m_password = new QLineEdit(QString::fromStdString(m_settings.DialupPassword));
    m_password->setObjectName(QStringLiteral("dialPassword"));
    m_password->setMaxLength(static_cast<int>(kMaxDialPassword));
    m_password->setEchoMode(QLineEdit::Password);
    m_redial = Spin(QStringLiteral("redial"), 0, 99, m_settings.Redial);
    m_wait = Spin(QStringLiteral("waitBeforeRedial"), 1, 60, m_settings.WaitBeforeRedial,
                  QStringLiteral(" seconds"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("User name:"), m_user);
    form->addRow(QStringLiteral("Password:"), m_password);
    form->addRow(QStringLiteral("Redial:"), m_redial);
    form->addRow(QStringLiteral("Wait before redial:"), m_wait);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(m_dialup);
    layout->addWidget(new QLabel(QStringLiteral("Dial-up entry:")));
    layout->addWidget(m_entries);
    layout->addLayout(form);
    if (!m_dialUpAvailable) {
        auto *note = new QLabel(QStringLiteral(
            "Dial-up networking is not available on this computer (NetworkManager's nmcli "
            "was not found)."));
        note->setObjectName(QStringLiteral("dialUpMissing"));
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    connect(m_dialup, &QCheckBox::toggled, this, &CMoreOptionsDialog::UpdateDialUpFields);
    UpdateDialUpFields();
    return page;
}

QWidget *CMoreOptionsDialog::BuildHangUpPage() {
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("hangUpPage"));
    m_timeOut = Spin(QStringLiteral("autoTimeOut"), 0, 60, m_settings.AutoTimeOut,
                     QStringLiteral(" seconds"));
    m_notify = new QCheckBox(QStringLiteral("Prompt user with a message box"));
    m_notify->setObjectName(QStringLiteral("endNotify"));
    m_notify->setChecked(m_settings.EndNotify == 1);

    auto *shutdown = new QGroupBox(QStringLiteral("Auto shutdown"));
    auto *shutdownLayout = new QVBoxLayout(shutdown);
    m_shutdownAction = new QButtonGroup(this);
    const char *captions[] = {"Power off the computer", "Log out of the desktop"};
    for (int action = 0; action < 2; ++action) {
        auto *button = new QRadioButton(QString::fromLatin1(captions[action]));
        button->setObjectName(QStringLiteral("shutdownAction%1").arg(action));
        m_shutdownAction->addButton(button, action);
        shutdownLayout->addWidget(button);
    }
    m_shutdownAction->button(m_settings.ShutdownAction == 1 ? 1 : 0)->setChecked(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Count down before hanging up or shutting down:"), m_timeOut);
    auto *finished = new QGroupBox(QStringLiteral("When downloading has finished"));
    auto *finishedLayout = new QVBoxLayout(finished);
    finishedLayout->addWidget(m_notify);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(shutdown);
    layout->addWidget(finished);
    layout->addStretch(1);
    return page;
}

void CMoreOptionsDialog::UpdateDialUpFields() {
    m_dialup->setEnabled(m_dialUpAvailable);
    const bool on = m_dialUpAvailable && m_dialup->isChecked();
    for (QWidget *field :
         std::initializer_list<QWidget *>{m_entries, m_user, m_password, m_redial, m_wait}) {
        field->setEnabled(on);
    }
}

void CMoreOptionsDialog::accept() {
    if (m_dialUpAvailable) {
        const QListWidgetItem *entry = m_entries->currentItem();
        const std::string name = entry ? entry->text().toStdString() : std::string();
        const std::string refusal = DialUpPageRefusal(m_dialup->isChecked(), name);
        if (!refusal.empty()) {
            m_tabs->setCurrentIndex(0);
            m_prompter.Warning(refusal);
            m_entries->setFocus();
            return;
        }
        m_settings.Dialup = m_dialup->isChecked();
        if (!name.empty()) {
            AssignCut(m_settings.EntryName, name, kMaxDialEntryName);
        }
        AssignCut(m_settings.DialupUser, m_user->text().toStdString(), kMaxDialUser);
        AssignCut(m_settings.DialupPassword, m_password->text().toStdString(), kMaxDialPassword);
        m_settings.Redial = m_redial->value();
        m_settings.WaitBeforeRedial = m_wait->value();
    }
    m_settings.AutoTimeOut = m_timeOut->value();
    m_settings.EndNotify = m_notify->isChecked() ? 1 : 0;
    m_settings.ShutdownAction = m_shutdownAction->checkedId() == 1 ? 1 : 0;
    QDialog::accept();
}

} // namespace torvex
