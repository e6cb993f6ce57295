#include "engine/CUrlQueue.h"

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

void CUrlQueue::Clear() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_entries.clear();
    m_count.store(0, std::memory_order_relaxed);
}

} // namespace torvex
