#pragma once

#include <QDialog>

#include "project/CAppSettings.h"

class QCheckBox;
class QTimeEdit;

namespace torvex {

class IPrompter;

// "Download/Stop Timer": the time of day at which the projects on the timer list start, and
// the one at which every project stops. Checking the stop timer reminds the user that stopping
// alone neither hangs up nor shuts down. Stores the settings in accept(); the caller saves them.
// GUI thread.
class CTimerDialog final : public QDialog {
    Q_OBJECT
public:
    CTimerDialog(CAppSettings &settings, IPrompter &prompter, QWidget *parent = nullptr);
    void accept() override;

private:
    void UpdateFields();

    CAppSettings &m_settings;
    IPrompter &m_prompter;
    QCheckBox *m_start = nullptr;
    QTimeEdit *m_startTime = nullptr;
    QCheckBox *m_stop = nullptr;
    QTimeEdit *m_stopTime = nullptr;
};

} // namespace torvex
