#include "cli/CTaskMessageQueue.h"

#include <chrono>

namespace torvex {

void CTaskMessageQueue::OnTaskMessage(const CTaskMessage& message) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_messages.push_back(message);
    }
    m_arrived.notify_one();
}

void CTaskMessageQueue::OnFileReport(const CFileReport& report) {
    if (!m_keepFiles) {
        return;
    }
    std::lock_guard<std::mutex> hold(m_lock);
    m_files.push_back(report);
}

std::vector<CFileReport> CTaskMessageQueue::TakeFileReports() {
    std::lock_guard<std::mutex> hold(m_lock);
    std::vector<CFileReport> taken;
    taken.swap(m_files);
    return taken;
}

std::optional<CTaskMessage> CTaskMessageQueue::WaitFor(int milliseconds) {
    std::unique_lock<std::mutex> hold(m_lock);
    if (!m_arrived.wait_for(hold, std::chrono::milliseconds(milliseconds),
                            [this] { return !m_messages.empty(); })) {
        return std::nullopt;
    }
    CTaskMessage next = m_messages.front();
    m_messages.pop_front();
    return next;
}

} // namespace torvex
