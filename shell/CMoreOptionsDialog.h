#pragma once

#include <QDialog>

#include "project/CAppSettings.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTabWidget;
class QWidget;

namespace torvex {

class IDialUpService;
class IPrompter;

// "More Options": the dial-up page (dial before downloading, the entry, user name, password,
// redials and the wait before each; disabled entirely without dial-up networking) and the
// hang-up page (the countdown's length, "Prompt user with a message box", and how the computer
// is shut down). Stores the settings in accept(), which refuses dial-up without an entry; the
// caller saves them. GUI thread.
class CMoreOptionsDialog final : public QDialog {
    Q_OBJECT
public:
    CMoreOptionsDialog(CAppSettings &settings, IDialUpService &dialUp, IPrompter &prompter,
                       QWidget *parent = nullptr);
    void accept() override;
    QTabWidget *Tabs() const { return m_tabs; }

private:
    QWidget *BuildDialUpPage(IDialUpService &dialUp);
    QWidget *BuildHangUpPage();
    void UpdateDialUpFields();

    CAppSettings &m_settings;
    IPrompter &m_prompter;
    bool m_dialUpAvailable = false;
    QTabWidget *m_tabs = nullptr;
    QCheckBox *m_dialup = nullptr;
    QListWidget *m_entries = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QSpinBox *m_redial = nullptr;
    QSpinBox *m_wait = nullptr;
    QSpinBox *m_timeOut = nullptr;
    QCheckBox *m_notify = nullptr;
    QButtonGroup *m_shutdownAction = nullptr;
};

} // namespace torvex
