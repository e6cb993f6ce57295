#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "app/ITimerScheduler.h"
#include "platform/DialUp.h"
#include "project/CAppSettings.h"

namespace torvex {

// Messages between the dial-up window and the main window.
constexpr int kDialCancelledMessage = 1324;
constexpr int kDialRedialMessage = 1325;
constexpr int kDialFailedMessage = 1326;
constexpr int kDialConnectedMessage = 8192;

constexpr std::string_view kDialTitleFormat = "Connecting \"%s\"(%d)";
constexpr std::string_view kDialingStatus = "Status  Dialing up...";
constexpr std::string_view kAuthenticatingStatus = "Status  Authenticating user...";
constexpr std::string_view kLoggingOnStatus = "Status  Logging on to network...";
constexpr std::string_view kConnectedStatus = "Status  Connected";
constexpr std::string_view kHangingUpStatus = "Status  Hanging up...";

constexpr int kDialAttemptMs = 60000; // an attempt not connected by then is given up
constexpr int kHangUpPauseMs = 2000;  // the line settles after a hang-up
constexpr int kNetworkRecheckMs = 1000;
constexpr int kDialIconStepMs = 500;

// The title of the dial-up window: the entry and the attempt number.
std::string DialWindowTitle(std::string_view entry, int attempt);
// The icon's frame at animation step `step`: 0, 1, 2, 3, 2, 1, 0, 1, ...
int DialIconFrame(int step);

// What the dial-up session shows and asks of the window that hosts it.
class IDialUpFrontEnd {
public:
    virtual ~IDialUpFrontEnd() = default;
    virtual void OpenDialWindow(const std::string &title) = 0;
    virtual void SetDialStatus(const std::string &status) = 0;
    virtual void CloseDialWindow() = 0;
    // The dialling is over (cancelled, failed, or a connection with a working network): the
    // projects that wait for it may start.
    virtual void StartWaitingProjects() = 0;
    // Each message of the dial-up window to the main window, as it is handled.
    virtual void OnDialMessage(int message);
};

// Dial-up before projects start: dialling the entry of the settings in the dial-up window, the
// attempt timer, the hang-up with its pause, redialling after `WaitBeforeRedial` until
// `Redial` redials are used up, and the check that a connection gives a working network (a
// useless one is hung up and dialled again, without limit). From the first dial until the
// projects may start the session is dialling, so they wait and no second session begins; its
// pauses are timers of `timers`, never waits of the thread.
//
// Lives on the front end's thread and is called only there: OnDialEvent too, so the service's
// reports go to `relay` (which hands them over to that thread), or straight to this object
// when `relay` is null (tests whose fake service reports on their own thread). Timer expiries
// come to OnTimer. The settings are read at each dial; none of the references is owned.
class CDialUpSession final : public IDialEvents {
public:
    enum Timer : int {
        AttemptTimer = 1,
        HangUpPauseTimer = 2,
        RedialTimer = 3,
        NetworkRecheckTimer = 4,
    };

    CDialUpSession(IDialUpService &service, const CAppSettings &settings, IDialUpFrontEnd &frontEnd,
                   ITimerScheduler &timers, std::function<bool()> networkUp,
                   IDialEvents *relay = nullptr);
    ~CDialUpSession() override;
    CDialUpSession(const CDialUpSession &) = delete;
    CDialUpSession &operator=(const CDialUpSession &) = delete;

    // Whether dial-up networking was there when the session was made.
    bool Available() const { return m_available; }
    bool Dialing() const { return m_phase != Phase::Idle; }
    // Before projects start: dials when dial-up is on, no session runs and no dial-up
    // connection is up. True while the projects must wait.
    bool DialBeforeStart();
    // The dial-up window's Cancel (also its closing); nothing while no attempt runs.
    void Cancel();
    void OnDialEvent(int attempt, int state, int error) override;
    void OnTimer(int timer);
    int RedialsLeft() const { return m_redialsLeft; }

private:
    enum class Phase {
        Idle,
        Attempt,       // the window is open, the attempt runs
        HangingUp,     // the window shows the hang-up during its pause
        WaitingRedial, // the window is closed until the next attempt
        CheckingNetwork,
    };
    enum class AfterHangUp { AttemptFailed, Cancelled };

    void StartDialup();
    void HangUpInWindow(AfterHangUp next);
    void EndWindow(int message);
    void HandleMessage(int message);
    void CheckNetwork(bool again);

    IDialUpService &m_service;
    const CAppSettings &m_settings;
    IDialUpFrontEnd &m_frontEnd;
    ITimerScheduler &m_timers;
    std::function<bool()> m_networkUp;
    IDialEvents &m_relay;
    bool m_available = false;

    Phase m_phase = Phase::Idle;
    AfterHangUp m_afterHangUp = AfterHangUp::AttemptFailed;
    int m_redialsLeft = 0;
    int m_attemptId = 0; // every dial's own number, so late reports of an old one are ignored
    DialConnection m_connection;
};

} // namespace torvex
