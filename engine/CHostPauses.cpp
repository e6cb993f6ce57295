#include "engine/CHostPauses.h"

#include <algorithm>

namespace torvex {

std::string CHostPauses::Key(const CUrl& url) {
    return url.Host() + ":" + std::to_string(url.EffectivePort());
}

void CHostPauses::DropEnded(std::int64_t nowMs) const {
    std::erase_if(m_until, [nowMs](const auto& pause) { return pause.second <= nowMs; });
}

void CHostPauses::Pause(const CUrl& url, std::int64_t nowMs, std::int64_t seconds) {
    const std::int64_t until =
        nowMs + std::clamp<std::int64_t>(seconds, 0, kMaxHostPauseSeconds) * 1000;
    std::lock_guard<std::mutex> guard(m_lock);
    DropEnded(nowMs);
    if (until <= nowMs) {
        return;
    }
    std::int64_t& end = m_until[Key(url)];
    end = std::max(end, until);
}

bool CHostPauses::IsPaused(const CUrl& url, std::int64_t nowMs) const {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_until.empty()) {
        return false;   // the usual case: every pop asks, so no key is built for nothing
    }
    const auto found = m_until.find(Key(url));
    return found != m_until.end() && found->second > nowMs;
}

bool CHostPauses::AnyPaused(std::int64_t nowMs) const {
    std::lock_guard<std::mutex> guard(m_lock);
    DropEnded(nowMs);
    return !m_until.empty();
}

std::int64_t CHostPauses::MsUntilFirstEnd(std::int64_t nowMs) const {
    std::lock_guard<std::mutex> guard(m_lock);
    DropEnded(nowMs);
    if (m_until.empty()) {
        return -1;
    }
    std::int64_t first = m_until.begin()->second;
    for (const auto& pause : m_until) {
        first = std::min(first, pause.second);
    }
    return std::max<std::int64_t>(first - nowMs, 1);
}

} // namespace torvex
