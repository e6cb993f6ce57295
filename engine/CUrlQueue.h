#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "url/CUrlEntry.h"

namespace torvex {

// A first-in first-out queue of entries, each a full copy. Owned by its task; every operation
// takes the queue's own lock, so any thread of the task may push and pop, and no caller ever
// holds two queue locks at once. Count() and IsEmpty() read without the lock (the monitor and
// the main window's timers tolerate a value that is one step old).
class CUrlQueue {
public:
    CUrlQueue() = default;
    CUrlQueue(const CUrlQueue&) = delete;
    CUrlQueue& operator=(const CUrlQueue&) = delete;

    void PushBack(const CUrlEntry& entry);
    void PushFront(const CUrlEntry& entry);
    // Copies the first entry out and removes it; false when the queue is empty.
    bool PopFront(CUrlEntry& entry);
    // Copies out and removes the first entry `ready` accepts (called under the queue's lock, so
    // it must not touch a queue); false when there is none.
    bool PopFirst(CUrlEntry& entry, const std::function<bool(const CUrlEntry&)>& ready);
    std::int32_t Count() const { return m_count.load(std::memory_order_relaxed); }
    bool IsEmpty() const { return Count() == 0; }
    // How many pushes the queue has seen; the monitor compares two readings to know that nothing
    // moved while it looked at all the queues.
    std::uint64_t Pushes() const { return m_pushes.load(); }
    void Clear();

private:
    mutable std::mutex m_lock;
    std::deque<CUrlEntry> m_entries;
    std::atomic<std::int32_t> m_count{0};
    std::atomic<std::uint64_t> m_pushes{0};
};

} // namespace torvex
