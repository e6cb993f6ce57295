#include "DialUpFakes.h"

#include <algorithm>

namespace torvex::test {

int CFakeDialUp::EnumEntries(std::vector<std::string> &out) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!available) {
        return 1;
    }
    out = entries;
    return enumResult;
}

int CFakeDialUp::Dial(const CDialParams &params, int attempt, IDialEvents &events,
                      DialConnection &connection) {
    std::lock_guard<std::mutex> lock(m_lock);
    dials.push_back(params);
    attempts.push_back(attempt);
    if (!available || dialResult != 0) {
        return available ? dialResult : 1;
    }
    m_events = &events;
    m_dialled = connection = "conn-" + std::to_string(attempt);
    return 0;
}

void CFakeDialUp::Forget(IDialEvents &events) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_events == &events) {
        m_events = nullptr;
    }
}

void CFakeDialUp::HangUp(const DialConnection &connection) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_hungUp.push_back(connection);
    std::erase(m_connections, connection);
}

std::string CFakeDialUp::ErrorText(int error) {
    return "Error " + std::to_string(error) + " of the fake";
}

int CFakeDialUp::EnumConnections(std::vector<DialConnection> &out) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!available) {
        return 1;
    }
    out = m_connections;
    return enumResult;
}

void CFakeDialUp::Report(int state, int error) {
    IDialEvents *events = nullptr;
    int attempt = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        events = m_events;
        attempt = attempts.empty() ? 0 : attempts.back();
        if (state == DialState::Connected && error == 0) {
            m_connections.push_back(m_dialled);
        }
    }
    if (events) {
        events->OnDialEvent(attempt, state, error);
    }
}

int CFakeDialUp::DialCount() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return static_cast<int>(attempts.size());
}

std::vector<DialConnection> CFakeDialUp::HungUp() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_hungUp;
}

std::vector<DialConnection> CFakeDialUp::Connections() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_connections;
}

void CFakeDialUp::SetConnections(std::vector<DialConnection> up) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_connections = std::move(up);
}

bool CFakeShutdown::PowerOff() {
    ++powerOffs;
    return true;
}

bool CFakeShutdown::LogOut() {
    ++logOuts;
    return true;
}

void CFakeTimers::StartTimer(int id, int milliseconds) {
    m_due[id] = now + milliseconds;
}

void CFakeTimers::StopTimer(int id) {
    m_due.erase(id);
}

std::int64_t CFakeTimers::Left(int id) const {
    const auto found = m_due.find(id);
    return found == m_due.end() ? -1 : found->second - now;
}

void CFakeTimers::Advance(std::int64_t milliseconds) {
    const std::int64_t end = now + milliseconds;
    while (true) {
        const auto next = std::min_element(m_due.begin(), m_due.end(),
                                           [](auto &a, auto &b) { return a.second < b.second; });
        if (next == m_due.end() || next->second > end) {
            break;
        }
        const int id = next->first;
        now = next->second;
        m_due.erase(next);
        if (fire) {
            fire(id);
        }
    }
    now = end;
}

} // namespace torvex::test
