#include "engine/CSpeedMeter.h"

namespace torvex {

double CSpeedMeter::Sample(std::int64_t nowMs, std::int64_t bytes) {
    return Rate(nowMs, bytes) / 1024.0;
}

double CSpeedMeter::Rate(std::int64_t nowMs, std::int64_t count) {
    m_samples.emplace_back(nowMs, count);
    while (m_samples.size() > 2 && nowMs - m_samples.front().first > m_windowMs) {
        m_samples.pop_front();
    }
    const auto& [firstMs, firstBytes] = m_samples.front();
    const auto& [lastMs, lastBytes] = m_samples.back();
    if (lastMs <= firstMs) {
        return 0;
    }
    return static_cast<double>(lastBytes - firstBytes) * 1000.0 /
           static_cast<double>(lastMs - firstMs);
}

} // namespace torvex
