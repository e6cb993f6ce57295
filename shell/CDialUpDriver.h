#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QPointer>

#include "app/CDialUpSession.h"
#include "shell/CDialUpWindow.h"
#include "shell/CQtTimers.h"

namespace torvex {

// The main window's side of dial-up: the session of app/ with its timers on the event loop,
// the dial-up window it opens and closes, and the service's reports handed over to the GUI
// thread. When dialling is over, startWaitingProjects() lets the waiting projects go.
//
// Lives on the GUI thread, owned by the main window; the service and settings outlive it.
class CDialUpDriver final : public QObject, private IDialUpFrontEnd, private IDialEvents {
    Q_OBJECT
public:
    CDialUpDriver(IDialUpService &service, const CAppSettings &settings,
                  std::function<bool()> networkUp, QWidget *windowParent);
    ~CDialUpDriver() override;

    CDialUpSession &Session() { return *m_session; }
    // The dial-up window while it is open, else null.
    CDialUpWindow *Window() const { return m_window; }

Q_SIGNALS:
    void startWaitingProjects();
    void dialMessage(int message);

private:
    // IDialUpFrontEnd
    void OpenDialWindow(const std::string &title) override;
    void SetDialStatus(const std::string &status) override;
    void CloseDialWindow() override;
    void StartWaitingProjects() override;
    void OnDialMessage(int message) override;
    // IDialEvents: from the service's threads.
    void OnDialEvent(int attempt, int state, int error) override;

    IDialUpService &m_service;
    QWidget *m_windowParent;
    CQtTimers m_timers;
    std::unique_ptr<CDialUpSession> m_session;
    QPointer<CDialUpWindow> m_window;
};

} // namespace torvex
