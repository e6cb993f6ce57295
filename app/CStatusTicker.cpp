#include "app/CStatusTicker.h"

namespace torvex {

void CStatusTicker::Reset(std::int64_t nowMs, std::int64_t bytes) {
    m_meter = CSpeedMeter(static_cast<std::int64_t>(kSamples) * kTickMs);
    m_meter.Sample(nowMs, bytes);
    m_ticks = 0;
}

CStatusTicker::Due CStatusTicker::Tick(std::int64_t nowMs, std::int64_t bytes) {
    ++m_ticks;
    Due due;
    due.kilobytesPerSecond = m_meter.Sample(nowMs, bytes);
    due.panes = m_ticks % kPanesEvery == 0;
    due.speed = m_ticks % kSpeedEvery == 0;
    return due;
}

} // namespace torvex
