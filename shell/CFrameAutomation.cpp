#include "shell/CFrameAutomation.h"

#include <QMetaObject>
#include <QWidget>

#include "platform/NetworkState.h"
#include "platform/NmcliDialUp.h"
#include "shell/CCountdownWindow.h"
#include "shell/CDialUpDriver.h"

namespace torvex {

CFrameAutomation::CFrameAutomation(CAppSettings &settings, CProjectTree &tree,
                                   const CAutomationServices &services, QWidget *window,
                                   std::function<void(CTreeNode &)> startProject,
                                   std::function<void()> stopAll)
    : m_settings(settings), m_window(window),
      m_clock(services.clock ? *services.clock : SystemClock()),
      m_downloadTimer(settings, tree, std::move(startProject), std::move(stopAll)) {
    if (services.dialUp) {
        m_dialUp = services.dialUp;
    } else {
        m_ownDialUp = std::make_unique<CNmcliDialUp>();
        m_dialUp = m_ownDialUp.get();
    }
    if (services.shutdown) {
        m_shutdown = services.shutdown;
    } else {
        m_ownShutdown = std::make_unique<CSystemShutdown>();
        m_shutdown = m_ownShutdown.get();
    }
    std::function<bool()> networkUp = services.networkUp;
    if (!networkUp) {
        networkUp = [] { return IsNetworkUp(); };
    }
    m_driver = std::make_unique<CDialUpDriver>(*m_dialUp, settings, networkUp, window);
    connect(m_driver.get(), &CDialUpDriver::startWaitingProjects, this,
            &CFrameAutomation::startWaitingProjects);
    // Whether dial-up networking is there is decided once, as the window is made.
    m_end = std::make_unique<CEndOfDownload>(settings, m_driver->Session().Available());
    // The actions' threads report a failure here; the window tells it on its own thread.
    m_finalActions =
        std::make_unique<CFinalActions>(*m_dialUp, *m_shutdown, [this](const std::string &text) {
            QMetaObject::invokeMethod(
                this,
                [this, message = QString::fromStdString(text)] {
                    Q_EMIT finalActionFailed(message);
                },
                Qt::QueuedConnection);
        });

    m_timerTick.setInterval(kDownloadTimerTickMs);
    connect(&m_timerTick, &QTimer::timeout, this, &CFrameAutomation::CheckDownloadTimer);
    m_timerTick.start();
}

CFrameAutomation::~CFrameAutomation() {
    m_timerTick.stop();
    for (const QPointer<CCountdownWindow> &countdown : m_countdowns) {
        delete countdown; // a countdown still under way is cancelled
    }
    m_driver.reset();
    m_finalActions.reset();
}

bool CFrameAutomation::DialUpAvailable() const {
    return m_driver->Session().Available();
}

bool CFrameAutomation::DialBeforeStart() {
    return m_driver->Session().DialBeforeStart();
}

bool CFrameAutomation::AllRunsEnded(bool runStartsConversion, bool conversionOpen) {
    const CEndOfDownloadDecision decision =
        m_end->AllRunsEnded(runStartsConversion, conversionOpen);
    if (decision.countdownFlags != 0) {
        OpenCountdown(decision.countdownFlags);
    }
    return decision.leaveOutFinishedNotice;
}

void CFrameAutomation::ConversionsEnded(bool anyRunning) {
    const int flags = m_end->ConversionsEnded(anyRunning);
    if (flags != 0) {
        OpenCountdown(flags);
    }
}

CCountdownWindow *CFrameAutomation::Countdown() const {
    for (auto open = m_countdowns.rbegin(); open != m_countdowns.rend(); ++open) {
        if (*open) {
            return *open;
        }
    }
    return nullptr;
}

void CFrameAutomation::CancelCountdown() {
    for (const QPointer<CCountdownWindow> &countdown : m_countdowns) {
        if (countdown) {
            countdown->close(); // closing without acting cancels both actions
        }
    }
    m_countdowns.clear();
}

void CFrameAutomation::CheckDownloadTimer() {
    m_downloadTimer.Check(LocalMinuteOf(m_clock.Now()));
}

void CFrameAutomation::OpenCountdown(int flags) {
    auto *countdown = new CCountdownWindow(CCountdown(flags, m_settings.AutoTimeOut), m_window);
    connect(countdown, &CCountdownWindow::actionsDue, this, [this](bool hangUp, bool shutdown) {
        m_finalActions->Run(hangUp, shutdown,
                            static_cast<ShutdownAction>(m_settings.ShutdownAction));
    });
    std::erase_if(m_countdowns, [](const QPointer<CCountdownWindow> &open) { return !open; });
    m_countdowns.emplace_back(countdown);
    countdown->show();
    countdown->raise();
}

} // namespace torvex
