#include "shell/CTimerDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "app/DownloadTimer.h"
#include "engine/IPrompter.h"

namespace torvex {

namespace {

QTimeEdit *TimeField(const QString &name, int hour, int minute) {
    auto *field = new QTimeEdit(QTime(hour, minute));
    field->setObjectName(name);
    field->setDisplayFormat(QStringLiteral("HH:mm"));
    return field;
}

} // namespace

CTimerDialog::CTimerDialog(CAppSettings &settings, IPrompter &prompter, QWidget *parent)
    : QDialog(parent), m_settings(settings), m_prompter(prompter) {
    setObjectName(QStringLiteral("timerDialog"));
    setWindowTitle(QStringLiteral("Download/Stop Timer"));
    m_start = new QCheckBox(QStringLiteral("Enable download timer"));
    m_start->setObjectName(QStringLiteral("startTimer"));
    m_start->setChecked(settings.StartDownloadTimer);
    m_startTime = TimeField(QStringLiteral("startTime"), settings.StartDownloadHour,
                            settings.StartDownloadMinute);
    m_stop = new QCheckBox(QStringLiteral("Enable stop timer"));
    m_stop->setObjectName(QStringLiteral("stopTimer"));
    m_stop->setChecked(settings.StopDownloadTimer);
    m_stopTime = TimeField(QStringLiteral("stopTime"), settings.StopDownloadHour,
                           settings.StopDownloadMinute);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_start, &QCheckBox::toggled, this, &CTimerDialog::UpdateFields);
    // The reminder comes when the user checks the box, not when the dialog opens with it on.
    connect(m_stop, &QCheckBox::clicked, this, [this](bool checked) {
        if (checked && StopTimerReminderDue(m_settings)) {
            m_prompter.Information(kStopTimerReminderText);
        }
    });
    connect(m_stop, &QCheckBox::toggled, this, &CTimerDialog::UpdateFields);

    auto *grid = new QGridLayout;
    grid->addWidget(m_start, 0, 0);
    grid->addWidget(m_startTime, 0, 1);
    grid->addWidget(m_stop, 1, 0);
    grid->addWidget(m_stopTime, 1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    setMinimumWidth(320);
    UpdateFields();
}

void CTimerDialog::UpdateFields() {
    m_startTime->setEnabled(m_start->isChecked());
    m_stopTime->setEnabled(m_stop->isChecked());
}

void CTimerDialog::accept() {
    m_settings.StartDownloadTimer = m_start->isChecked();
    m_settings.StartDownloadHour = m_startTime->time().hour();
    m_settings.StartDownloadMinute = m_startTime->time().minute();
    m_settings.StopDownloadTimer = m_stop->isChecked();
    m_settings.StopDownloadHour = m_stopTime->time().hour();
    m_settings.StopDownloadMinute = m_stopTime->time().minute();
    QDialog::accept();
}

} // namespace torvex
