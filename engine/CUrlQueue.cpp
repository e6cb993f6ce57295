#include "engine/CUrlQueue.h"

#include <algorithm>

namespace torvex {

void CUrlQueue::PushBack(const CUrlEntry& entry) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_entries.push_back(entry);
    m_count.store(static_cast<std::int32_t>(m_entries.size()), std::memory_order_relaxed);
    m_pushes.fetch_add(1);
}

void CUrlQueue::PushFront(const CUrlEntry& entry) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_entries.push_front(entry);
    m_count.store(static_cast<std::int32_t>(m_entries.size()), std::memory_order_relaxed);
    m_pushes.fetch_add(1);
}

bool CUrlQueue::PopFront(CUrlEntry& entry) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_entries.empty()) {
        return false;
    }
    entry = m_entries.front();
    m_entries.pop_front();
    m_count.store(static_cast<std::int32_t>(m_entries.size()), std::memory_order_relaxed);
    return true;
}

bool CUrlQueue::PopFirst(CUrlEntry& entry, const std::function<bool(const CUrlEntry&)>& ready) {
    std::lock_guard<std::mutex> guard(m_lock);
    const auto found = std::find_if(m_entries.begin(), m_entries.end(), ready);
    if (found == m_entries.end()) {
        return false;
    }
    entry = std::move(*found);
    m_entries.erase(found);
    m_count.store(static_cast<std::int32_t>(m_entries.size()), std::memory_order_relaxed);
    return true;
}

void CUrlQueue::Clear() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_entries.clear();
    m_count.store(0, std::memory_order_relaxed);
}

} // namespace torvex
