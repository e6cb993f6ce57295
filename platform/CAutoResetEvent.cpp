#include "platform/CAutoResetEvent.h"

#include <chrono>

namespace torvex {

void CAutoResetEvent::Signal() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_set) {
            // Set already, and the waiter it was given to is woken: another wake would only
            // find the event taken. A burst of hand-overs costs one wake, not one each.
            return;
        }
        m_set = true;
    }
    m_changed.notify_one();
}

void CAutoResetEvent::Wait() {
    std::unique_lock<std::mutex> guard(m_lock);
    m_changed.wait(guard, [this] { return m_set; });
    m_set = false;
}

bool CAutoResetEvent::WaitFor(int milliseconds) {
    std::unique_lock<std::mutex> guard(m_lock);
    if (!m_changed.wait_for(guard, std::chrono::milliseconds(milliseconds < 0 ? 0 : milliseconds),
                            [this] { return m_set; })) {
        return false;
    }
    m_set = false;
    return true;
}

} // namespace torvex
