#include "shell/CPageBasic.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AddressCheck.h"
#include "app/PropertyFields.h"
#include "base/BoundedText.h"
#include "project/PasswordScramble.h"
#include "shell/CNumberSpin.h"
#include "shell/DialogFields.h"

namespace torvex {

namespace {

constexpr int kNoImagesBit = 1;
constexpr int kNoDropdownBit = 2;

} // namespace

CPageBasic::CPageBasic(const CPageContext& context, QWidget* parent)
    : CPropertyPage(context, parent) {
    setObjectName(QStringLiteral("basicPage"));
    m_address = TextField(kMaxStartUrl, "address");
    m_level = NumberField(kLevelRange, "level");
    m_description = TextField(kMaxDescription, "description");
    m_user = TextField(kMaxUsername, "username");
    m_password = TextField(kMaxPlainPassword, "password");
    m_password->setEchoMode(QLineEdit::Password);
    m_startAddr = new QPushButton(QStringLiteral("Start Addr"));
    m_startAddr->setObjectName(QStringLiteral("startAddr"));
    m_addressList = new QPushButton(QStringLiteral(">> Address List <<"));
    m_addressList->setObjectName(QStringLiteral("addressList"));
    m_noImages = new QCheckBox(QStringLiteral("Don't retrieve images"));
    m_noImages->setObjectName(QStringLiteral("noImages"));
    m_noDropdown = new QCheckBox(QStringLiteral("Don't retrieve dropdown list"));
    m_noDropdown->setObjectName(QStringLiteral("noDropdown"));
    m_backup = new QCheckBox(QStringLiteral("Backup latest record"));
    m_backup->setObjectName(QStringLiteral("backup"));
    m_noCookies = new QCheckBox(QStringLiteral("Disable cookies"));
    m_noCookies->setObjectName(QStringLiteral("noCookies"));

    auto* grid = new QGridLayout;
    auto* addressLabel = new QLabel(QStringLiteral("Start address:"));
    grid->addWidget(addressLabel, 0, 0);
    grid->addWidget(m_address, 0, 1, 1, 3);
    grid->addWidget(m_startAddr, 0, 4);
    grid->addWidget(new QLabel(QStringLiteral("Level:")), 1, 0);
    grid->addWidget(m_level, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("(\"0\" - no limit)")), 1, 2);
    auto* descriptionLabel = new QLabel(QStringLiteral("Description:"));
    grid->addWidget(descriptionLabel, 2, 0);
    grid->addWidget(m_description, 2, 1, 1, 4);
    grid->setColumnStretch(3, 1);

    auto* access =
        new QGroupBox(QStringLiteral("To access protected site, use this username and password"));
    auto* accessGrid = new QGridLayout(access);
    accessGrid->addWidget(new QLabel(QStringLiteral("Username:")), 0, 0);
    accessGrid->addWidget(m_user, 0, 1);
    accessGrid->addWidget(new QLabel(QStringLiteral("Password:")), 0, 2);
    accessGrid->addWidget(m_password, 0, 3);

    auto* options = new QGridLayout;
    options->addWidget(m_noImages, 0, 0);
    options->addWidget(m_noDropdown, 0, 1);
    options->addWidget(m_backup, 1, 0);
    options->addWidget(m_noCookies, 1, 1);

    auto* listRow = new QHBoxLayout;
    listRow->addStretch();
    listRow->addWidget(m_addressList);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(access);
    layout->addLayout(options);
    layout->addStretch();
    layout->addLayout(listRow);

    if (context.defaults) {
        // The defaults file holds no address: only the level new addresses get.
        for (QWidget* widget :
             {static_cast<QWidget*>(addressLabel), static_cast<QWidget*>(m_address),
              static_cast<QWidget*>(m_startAddr), static_cast<QWidget*>(descriptionLabel),
              static_cast<QWidget*>(m_description), static_cast<QWidget*>(access),
              static_cast<QWidget*>(m_addressList)}) {
            widget->hide();
        }
    } else if (context.addressesLocked) {
        for (QWidget* widget :
             {static_cast<QWidget*>(m_address), static_cast<QWidget*>(m_startAddr),
              static_cast<QWidget*>(m_description), static_cast<QWidget*>(m_user),
              static_cast<QWidget*>(m_password), static_cast<QWidget*>(m_addressList)}) {
            widget->setEnabled(false);
        }
    }
    connect(m_startAddr, &QPushButton::clicked, this, &CPageBasic::startAddressRequested);
    connect(m_addressList, &QPushButton::clicked, this, &CPageBasic::addressListRequested);
}

void CPageBasic::LoadAddress(const CProjectSettings& settings) {
    if (Context().defaults) {
        m_level->SetValue(settings.Level);
        return;
    }
    const CStartAddress& first =
        settings.Addresses.empty() ? Context().newAddress : settings.Addresses.front();
    m_address->setText(Q(first.StartURL));
    m_level->SetValue(first.Level);
    m_description->setText(Q(first.Description));
    m_user->setText(Q(first.Username));
    m_password->setText(Q(first.Password));
}

void CPageBasic::Load(const CProjectSettings& settings) {
    LoadAddress(settings);
    m_noImages->setChecked((settings.FileType & kNoImagesBit) != 0);
    m_noDropdown->setChecked((settings.FileType & kNoDropdownBit) != 0);
    m_backup->setChecked(settings.BackupLast != 0);
    m_noCookies->setChecked(!settings.Cookie);
}

bool CPageBasic::Store(CProjectSettings& settings) {
    int level = 0;
    if (!ReadNumber(Prompter(), m_level, level)) {
        return false;
    }
    if (Context().defaults) {
        settings.Level = level;
    } else {
        CStartAddress first =
            settings.Addresses.empty() ? Context().newAddress : settings.Addresses.front();
        if (!Context().addressesLocked) {
            const std::string address = S(m_address->text());
            if (const std::string refusal = CheckStartAddress(address, first.DateFormat);
                !refusal.empty()) {
                return Refuse(Prompter(), m_address, refusal);
            }
            first.StartURL = address;
            if (!ReadText(Prompter(), m_description, "Description", kMaxDescription,
                          first.Description) ||
                !ReadText(Prompter(), m_user, "Username", kMaxUsername, first.Username) ||
                !ReadText(Prompter(), m_password, "Password", kMaxPlainPassword, first.Password)) {
                return false;
            }
        }
        first.Level = level;
        FirstAddress(settings) = first;
    }
    settings.FileType = WithBit(settings.FileType, kNoImagesBit, m_noImages->isChecked());
    settings.FileType = WithBit(settings.FileType, kNoDropdownBit, m_noDropdown->isChecked());
    settings.BackupLast = m_backup->isChecked() ? 1 : 0;
    settings.Cookie = !m_noCookies->isChecked();
    return true;
}

void CPageBasic::Keep(CProjectSettings& settings) const {
    if (Context().defaults || Context().addressesLocked) {
        return;
    }
    CStartAddress& first = FirstAddress(settings);
    AssignCut(first.StartURL, S(m_address->text()), kMaxStartUrl);
    AssignCut(first.Description, S(m_description->text()), kMaxDescription);
    AssignCut(first.Username, S(m_user->text()), kMaxUsername);
    AssignCut(first.Password, S(m_password->text()), kMaxPlainPassword);
    int level = 0;
    if (m_level->Read(level).empty()) {
        first.Level = level;
    }
}

QString CPageBasic::AddressText() const {
    return m_address->text();
}

void CPageBasic::SetAddressText(const QString& text) {
    m_address->setText(text);
}

} // namespace torvex
