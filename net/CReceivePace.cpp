#include "net/CReceivePace.h"

#include <algorithm>

namespace torvex {

CReceivePace::CReceivePace(std::chrono::milliseconds window)
    : m_window(std::max(window, std::chrono::milliseconds(1))),
      m_windowEnd(Clock::now() + m_window) {}

std::chrono::milliseconds CReceivePace::NextWait() {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_windowEnd - Clock::now());
    return std::max(left, std::chrono::milliseconds(1));
}

bool CReceivePace::Received(std::int64_t bytes) {
    m_bytes += bytes;
    const Clock::time_point now = Clock::now();
    if (now < m_windowEnd) {
        return true;
    }
    if (m_bytes < kMinBytesPerWindow) {
        return false;
    }
    m_bytes = 0;
    m_windowEnd = now + m_window;
    return true;
}

} // namespace torvex
