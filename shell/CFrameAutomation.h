#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QTimer>

#include "app/DownloadTimer.h"
#include "app/EndOfDownload.h"
#include "app/FinalActions.h"
#include "platform/Clock.h"
#include "shell/CCountdownWindow.h"

class QWidget;

namespace torvex {

class CDialUpDriver;

// The services behind what the window does by itself; the system's own where null. None is
// owned; all outlive the window.
struct CAutomationServices {
    IDialUpService *dialUp = nullptr;
    IShutdownService *shutdown = nullptr;
    IClock *clock = nullptr;
    std::function<bool()> networkUp; // the network check after dialling
};

// What the main window does by itself: dial-up before projects start, the download timer's
// check every 55 seconds, and the end of downloading (the "Download End" countdown, then the
// hang-up and the shutdown on threads of their own). The rules are app/'s; this object gives
// them their timers and windows.
//
// Lives on the GUI thread, owned by the main window. `startProject` starts one project node as
// the Start command does (dialling first when it must); `stopAll` is the Stop All command.
class CFrameAutomation final : public QObject {
    Q_OBJECT
public:
    CFrameAutomation(CAppSettings &settings, CProjectTree &tree,
                     const CAutomationServices &services, QWidget *window,
                     std::function<void(CTreeNode &)> startProject, std::function<void()> stopAll);
    ~CFrameAutomation() override;

    IDialUpService &DialUp() { return *m_dialUp; }
    bool DialUpAvailable() const;
    CDialUpDriver &Driver() { return *m_driver; }
    // Before projects start: true while they must wait for dialling.
    bool DialBeforeStart();
    // The last run ended: the countdown that follows, if any. True when "Download finished!"
    // is left out.
    bool AllRunsEnded(bool runStartsConversion, bool conversionOpen);
    // The link conversions are over.
    void ConversionsEnded(bool anyRunning);
    // Projects are about to start: downloading has not ended after all, so a countdown under
    // way is cancelled (its hang-up or shutdown would cut the new runs off).
    void CancelCountdown();
    // One check of the download timer at the clock's local time.
    void CheckDownloadTimer();
    // The countdown window opened last while it is open, else null.
    CCountdownWindow *Countdown() const;
    // Waits for the final hang-up and shutdown under way (tests).
    void WaitForFinalActions() { m_finalActions->Wait(); }

Q_SIGNALS:
    void startWaitingProjects();
    // The final hang-up or shutdown failed; `text` says which (on the GUI thread).
    void finalActionFailed(const QString &text);

private:
    void OpenCountdown(int flags);

    CAppSettings &m_settings;
    QWidget *m_window;
    std::unique_ptr<IDialUpService> m_ownDialUp;
    std::unique_ptr<IShutdownService> m_ownShutdown;
    IDialUpService *m_dialUp = nullptr;
    IShutdownService *m_shutdown = nullptr;
    IClock &m_clock;
    std::unique_ptr<CDialUpDriver> m_driver;
    std::unique_ptr<CEndOfDownload> m_end;
    // Declared after the services it uses, so it joins its threads before they go.
    std::unique_ptr<CFinalActions> m_finalActions;
    CDownloadTimer m_downloadTimer;
    QTimer m_timerTick;
    // The countdowns open now: the hang-up's after the last run and the shutdown's after the
    // conversion can be open at once.
    std::vector<QPointer<CCountdownWindow>> m_countdowns;
};

} // namespace torvex
