#include "app/FinalActions.h"

#include "platform/ThreadStart.h"

namespace torvex {

int HangUpAll(IDialUpService &service) {
    if (!service.Available()) {
        return -1;
    }
    std::vector<DialConnection> connections;
    if (service.EnumConnections(connections) != 0) {
        return -1;
    }
    for (const DialConnection &connection : connections) {
        service.HangUp(connection);
    }
    return 0;
}

bool ShutdownComputer(IShutdownService &shutdown, ShutdownAction action) {
    return action == ShutdownAction::LogOut ? shutdown.LogOut() : shutdown.PowerOff();
}

CFinalActions::CFinalActions(IDialUpService &dialUp, IShutdownService &shutdown,
                             FailureReport onFailure)
    : m_dialUp(dialUp), m_shutdown(shutdown), m_onFailure(std::move(onFailure)) {}

CFinalActions::~CFinalActions() {
    Wait();
}

void CFinalActions::Run(bool hangUp, bool shutdown, ShutdownAction action) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (hangUp) {
        m_threads.push_back(LaunchThread(ThreadPriority::Normal, [this] {
            try {
                if (HangUpAll(m_dialUp) != 0 && m_onFailure) {
                    m_onFailure(std::string(kHangUpFailedText));
                }
            } catch (...) {
                // Nothing may escape a thread.
            }
        }));
    }
    if (shutdown) {
        m_threads.push_back(LaunchThread(ThreadPriority::Normal, [this, action] {
            try {
                // A refusal (no permission, no systemd) must not pass for a shutdown under way.
                if (!ShutdownComputer(m_shutdown, action) && m_onFailure) {
                    m_onFailure(std::string(action == ShutdownAction::LogOut
                                                ? kLogOutRefusedText
                                                : kShutdownRefusedText));
                }
            } catch (...) {
            }
        }));
    }
}

void CFinalActions::Wait() {
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        threads.swap(m_threads);
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
}

} // namespace torvex
