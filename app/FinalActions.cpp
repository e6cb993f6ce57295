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

CFinalActions::CFinalActions(IDialUpService &dialUp, IShutdownService &shutdown)
    : m_dialUp(dialUp), m_shutdown(shutdown) {}

CFinalActions::~CFinalActions() {
    Wait();
}

void CFinalActions::Run(bool hangUp, bool shutdown, ShutdownAction action) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (hangUp) {
        m_threads.push_back(LaunchThread(ThreadPriority::Normal, [this] {
            try {
                HangUpAll(m_dialUp);
            } catch (...) {
                // Nothing may escape a thread.
            }
        }));
    }
    if (shutdown) {
        m_threads.push_back(LaunchThread(ThreadPriority::Normal, [this, action] {
            try {
                ShutdownComputer(m_shutdown, action);
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
