#include "app/CDialUpSession.h"

#include <vector>

#include "app/FinalActions.h"
#include "base/BoundedText.h"

namespace torvex {

std::string DialWindowTitle(std::string_view entry, int attempt) {
    std::string title(kDialTitleFormat);
    title.replace(title.find("%d"), 2, std::to_string(attempt));
    title.replace(title.find("%s"), 2, entry);
    return title;
}

int DialIconFrame(int step) {
    static constexpr int kFrames[] = {0, 1, 2, 3, 2, 1};
    return kFrames[(step % 6 + 6) % 6];
}

void IDialUpFrontEnd::OnDialMessage(int) {}

CDialUpSession::CDialUpSession(IDialUpService &service, const CAppSettings &settings,
                               IDialUpFrontEnd &frontEnd, ITimerScheduler &timers,
                               std::function<bool()> networkUp, IDialEvents *relay)
    : m_service(service), m_settings(settings), m_frontEnd(frontEnd), m_timers(timers),
      m_networkUp(std::move(networkUp)), m_relay(relay ? *relay : *this),
      m_available(service.Available()) {}

CDialUpSession::~CDialUpSession() {
    m_service.Forget(m_relay);
    for (int timer : {AttemptTimer, HangUpPauseTimer, RedialTimer, NetworkRecheckTimer}) {
        m_timers.StopTimer(timer);
    }
}

bool CDialUpSession::DialBeforeStart() {
    if (Dialing()) {
        return true;
    }
    if (!m_available || !m_settings.Dialup) {
        return false;
    }
    std::vector<DialConnection> connections;
    if (m_service.EnumConnections(connections) != 0 || !connections.empty()) {
        return false; // a connection is up (or the service cannot tell): no dialling
    }
    m_redialsLeft = m_settings.Redial;
    StartDialup();
    return Dialing();
}

void CDialUpSession::StartDialup() {
    CDialParams params;
    AssignCut(params.EntryName, m_settings.EntryName, kMaxDialEntryName);
    AssignCut(params.UserName, m_settings.DialupUser, kMaxDialUser);
    AssignCut(params.Password, m_settings.DialupPassword, kMaxDialPassword);
    m_phase = Phase::Attempt;
    m_frontEnd.OpenDialWindow(
        DialWindowTitle(params.EntryName, m_settings.Redial - m_redialsLeft + 1));
    ++m_attemptId;
    m_connection.clear();
    if (!m_available || m_service.Dial(params, m_attemptId, m_relay, m_connection) != 0) {
        m_redialsLeft = 0;
        EndWindow(kDialFailedMessage);
        return;
    }
    m_timers.StartTimer(AttemptTimer, kDialAttemptMs);
}

void CDialUpSession::OnDialEvent(int attempt, int state, int error) {
    if (attempt != m_attemptId || m_phase != Phase::Attempt) {
        return; // an attempt given up since
    }
    if (error != 0) {
        m_timers.StopTimer(AttemptTimer);
        m_frontEnd.SetDialStatus(m_service.ErrorText(error));
        HangUpInWindow(AfterHangUp::AttemptFailed);
        return;
    }
    switch (state) {
    case DialState::OpenPort:
    case DialState::PortOpened:
    case DialState::ConnectDevice:
    case DialState::DeviceConnected:
        m_frontEnd.SetDialStatus(std::string(kDialingStatus));
        break;
    case DialState::Authenticate:
    case DialState::ReAuthenticate:
        m_frontEnd.SetDialStatus(std::string(kAuthenticatingStatus));
        break;
    case DialState::Authenticated:
    case DialState::LogonNetwork:
        m_frontEnd.SetDialStatus(std::string(kLoggingOnStatus));
        break;
    case DialState::Connected:
        m_timers.StopTimer(AttemptTimer);
        m_frontEnd.SetDialStatus(std::string(kConnectedStatus));
        EndWindow(kDialConnectedMessage);
        break;
    case DialState::Disconnected:
        m_connection.clear();
        break;
    default:
        break;
    }
}

void CDialUpSession::Cancel() {
    if (m_phase == Phase::Attempt) {
        m_timers.StopTimer(AttemptTimer);
        HangUpInWindow(AfterHangUp::Cancelled);
    }
}

void CDialUpSession::HangUpInWindow(AfterHangUp next) {
    m_frontEnd.SetDialStatus(std::string(kHangingUpStatus));
    if (!m_connection.empty()) {
        m_service.HangUp(m_connection);
        m_connection.clear();
    }
    m_phase = Phase::HangingUp;
    m_afterHangUp = next;
    m_timers.StartTimer(HangUpPauseTimer, kHangUpPauseMs);
}

void CDialUpSession::OnTimer(int timer) {
    switch (timer) {
    case AttemptTimer:
        if (m_phase == Phase::Attempt) {
            HangUpInWindow(AfterHangUp::AttemptFailed);
        }
        break;
    case HangUpPauseTimer:
        if (m_phase != Phase::HangingUp) {
            break;
        }
        if (m_afterHangUp == AfterHangUp::Cancelled) {
            m_redialsLeft = 0;
            EndWindow(kDialCancelledMessage);
        } else if (--m_redialsLeft < 0) {
            m_redialsLeft = 0;
            EndWindow(kDialFailedMessage);
        } else {
            EndWindow(kDialRedialMessage);
        }
        break;
    case RedialTimer:
        if (m_phase == Phase::WaitingRedial) {
            StartDialup();
        }
        break;
    case NetworkRecheckTimer:
        if (m_phase == Phase::CheckingNetwork) {
            CheckNetwork(true);
        }
        break;
    default:
        break;
    }
}

void CDialUpSession::EndWindow(int message) {
    m_frontEnd.CloseDialWindow();
    HandleMessage(message);
}

void CDialUpSession::HandleMessage(int message) {
    m_frontEnd.OnDialMessage(message);
    switch (message) {
    case kDialRedialMessage:
        m_phase = Phase::WaitingRedial;
        m_timers.StartTimer(RedialTimer, m_settings.WaitBeforeRedial * 1000);
        break;
    case kDialConnectedMessage:
        CheckNetwork(false);
        break;
    default: // cancelled or failed: the projects run without a connection
        m_phase = Phase::Idle;
        m_frontEnd.StartWaitingProjects();
        break;
    }
}

void CDialUpSession::CheckNetwork(bool again) {
    if (m_networkUp()) {
        m_phase = Phase::Idle;
        m_frontEnd.StartWaitingProjects();
    } else if (!again) {
        m_phase = Phase::CheckingNetwork;
        m_timers.StartTimer(NetworkRecheckTimer, kNetworkRecheckMs);
    } else {
        // Connected, yet no network: this connection is of no use. It is hung up and dialled
        // again, after the hang-up's pause and the wait before a redial; this does not count
        // as a redial.
        HangUpAll(m_service);
        m_phase = Phase::WaitingRedial;
        m_timers.StartTimer(RedialTimer, kHangUpPauseMs + m_settings.WaitBeforeRedial * 1000);
    }
}

} // namespace torvex
