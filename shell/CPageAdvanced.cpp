#include "shell/CPageAdvanced.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/PropertyFields.h"
#include "project/SettingsKeys.h"
#include "shell/CNumberSpin.h"
#include "shell/DialogFields.h"

namespace torvex {

CPageAdvanced::CPageAdvanced(const CPageContext& context, QWidget* parent)
    : CPropertyPage(context, parent) {
    setObjectName(QStringLiteral("advancedPage"));
    m_threads = NumberField(kThreadRange, "threads");
    m_timeOut = NumberField(kTimeOutRange, "timeOut");
    m_retry = NumberField(kRetryRange, "retry");
    m_freeSpace = NumberField(kFreeSpaceRange, "freeSpace");
    m_maxMinute = NumberField(kMaxMinuteRange, "maxMinute");
    m_maxFile = NumberField(kMaxFileRange, "maxFile");
    m_agent = new QComboBox;
    m_agent->setObjectName(QStringLiteral("userAgent"));
    for (const std::string_view choice : kUserAgentChoices) {
        m_agent->addItem(Q(choice));
    }
    m_userDefined = TextField(kMaxUserDefined, "userDefined");
    m_keepAlive = new QCheckBox(
        QStringLiteral("Keep connections open and accept compressed replies (HTTP/1.1)"));
    m_keepAlive->setObjectName(QStringLiteral("keepAlive"));
    if (const CSettingsKey* key = FindSettableKey("KeepAlive")) {
        m_keepAlive->setToolTip(Q(key->meaning));
    }

    auto* grid = new QGridLayout;
    const auto row = [grid](int at, const QString& caption, QWidget* field, const QString& note) {
        grid->addWidget(new QLabel(caption), at, 0);
        grid->addWidget(field, at, 1);
        if (!note.isEmpty()) {
            grid->addWidget(new QLabel(note), at, 2);
        }
    };
    row(0, QStringLiteral("Number of downloading threads:"), m_threads, QStringLiteral("(1 - 50)"));
    row(1, QStringLiteral("Time-out when reading or sending data:"), m_timeOut,
        QStringLiteral("seconds (10 - 1200)"));
    row(2, QStringLiteral("Retries when a network error occurs:"), m_retry,
        QStringLiteral("(0 - 99)"));
    row(3, QStringLiteral("Stop when the free disk space is less than:"), m_freeSpace,
        QStringLiteral("MB (2 - 999)"));
    row(4, QStringLiteral("Stop after:"), m_maxMinute,
        QStringLiteral("minutes (\"0\" - no limit)"));
    row(5, QStringLiteral("Stop after downloading:"), m_maxFile,
        QStringLiteral("files (\"0\" - no limit)"));
    row(6, QStringLiteral("User agent:"), m_agent, QString());
    row(7, QStringLiteral("User defined:"), m_userDefined, QString());
    grid->addWidget(m_keepAlive, 8, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch();
    connect(m_agent, &QComboBox::currentIndexChanged, this, [this](int) { UpdateEnabled(); });
}

void CPageAdvanced::Load(const CProjectSettings& settings) {
    m_threads->SetValue(settings.DownthreadNum);
    m_timeOut->SetValue(settings.TimeOut);
    m_retry->SetValue(settings.Retry);
    m_freeSpace->SetValue(settings.FreeSpaceLimit);
    m_maxMinute->SetValue(settings.MaxMinute);
    m_maxFile->SetValue(settings.MaxFile);
    m_agent->setCurrentIndex(settings.UserAgentMode);
    m_userDefined->setText(Q(settings.UserDefined));
    m_keepAlive->setChecked(settings.KeepAlive);
    UpdateEnabled();
}

bool CPageAdvanced::Store(CProjectSettings& settings) {
    CProjectSettings edited = settings;
    if (!ReadNumber(Prompter(), m_threads, edited.DownthreadNum) ||
        !ReadNumber(Prompter(), m_timeOut, edited.TimeOut) ||
        !ReadNumber(Prompter(), m_retry, edited.Retry) ||
        !ReadNumber(Prompter(), m_freeSpace, edited.FreeSpaceLimit) ||
        !ReadNumber(Prompter(), m_maxMinute, edited.MaxMinute) ||
        !ReadNumber(Prompter(), m_maxFile, edited.MaxFile)) {
        return false;
    }
    edited.UserAgentMode = m_agent->currentIndex();
    edited.KeepAlive = m_keepAlive->isChecked();
    if (edited.UserAgentMode == kUserDefinedAgent &&
        !ReadText(Prompter(), m_userDefined, "User defined", kMaxUserDefined, edited.UserDefined)) {
        return false;
    }
    settings = edited;
    return true;
}

void CPageAdvanced::UpdateEnabled() {
    m_userDefined->setEnabled(m_agent->currentIndex() == kUserDefinedAgent);
}

} // namespace torvex
