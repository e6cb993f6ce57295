#include "app/CSpeedRing.h"

namespace torvex {

void CSpeedRing::Reset(std::int64_t bytes, std::int64_t nowMs) {
    m_ring.fill(Sample{});
    m_next = 0;
    m_filled = 0;
    m_ticks = 0;
    m_lastBytes = bytes;
    m_startMs = nowMs;
}

void CSpeedRing::Tick(std::int64_t bytes, std::int64_t nowMs) {
    // A counter that went back (never expected) counts as no traffic rather than a negative.
    const std::int64_t delta = bytes >= m_lastBytes ? bytes - m_lastBytes : 0;
    m_lastBytes = bytes;
    m_ring[static_cast<std::size_t>(m_next)] = Sample{delta, nowMs};
    m_next = (m_next + 1) % kSamples;
    if (m_filled < kSamples) {
        ++m_filled;
    }
    ++m_ticks;
}

double CSpeedRing::KilobytesPerSecond() const {
    if (m_filled == 0) {
        return 0;
    }
    const int newest = (m_next + kSamples - 1) % kSamples;
    std::int64_t oldestMs = m_startMs; // the first delta was counted from the reset
    if (m_filled == kSamples) {
        oldestMs = m_ring[static_cast<std::size_t>(m_next)].ms;
    }
    std::int64_t sum = 0;
    for (int i = 0; i < m_filled; ++i) {
        sum += m_ring[static_cast<std::size_t>(i)].delta;
    }
    if (m_filled == kSamples) {
        // The oldest sample's delta lies before its own time stamp: leave it out of the span.
        sum -= m_ring[static_cast<std::size_t>(m_next)].delta;
    }
    const std::int64_t span = m_ring[static_cast<std::size_t>(newest)].ms - oldestMs;
    if (span <= 0) {
        return 0;
    }
    return static_cast<double>(sum) / static_cast<double>(span) * 1000.0 / 1024.0;
}

} // namespace torvex
