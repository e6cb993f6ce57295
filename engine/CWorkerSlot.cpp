#include "engine/CWorkerSlot.h"

#include <utility>

namespace torvex {

void CWorkerSlot::SetCurrent(const CUrlEntry& entry) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_current = entry;
}

void CWorkerSlot::ClearCurrent() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_current = CUrlEntry();
}

CUrlEntry CWorkerSlot::Current() const {
    std::lock_guard<std::mutex> guard(m_lock);
    CUrlEntry entry = m_current;
    const std::int64_t live = liveReaded.load();
    if (live >= 0) {
        entry.readed = live;
    }
    return entry;
}

void CWorkerSlot::SetProgress(std::int64_t readed, std::int64_t total) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_current.readed = readed;
    m_current.total = total;
}

CSlotView CWorkerSlot::View() const {
    CSlotView view;
    view.state = state.load(std::memory_order_relaxed);
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_current.urlText.empty()) {
        view.url = m_current.url.Compose();
    }
    const std::int64_t live = liveReaded.load(std::memory_order_relaxed);
    view.readed = live >= 0 ? live : m_current.readed;
    view.total = m_current.total;
    return view;
}

void CWorkerSlot::SetInterrupter(std::function<void()> interrupter) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_interrupter = std::move(interrupter);
}

void CWorkerSlot::Interrupt() {
    // Run under the lock, so that a worker that unregisters on its way out waits for it and the
    // interrupter never touches a socket that is gone.
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_interrupter) {
        m_interrupter();
    }
}

void CWorkerSlot::Reset() {
    state = SlotState::Empty;
    alive = false;
    idle = true;
    abort = false;
    tries = 0;
    liveReaded = -1;
    std::lock_guard<std::mutex> guard(m_lock);
    m_current = CUrlEntry();
    m_interrupter = nullptr;
}

} // namespace torvex
