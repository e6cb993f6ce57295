#include "engine/CLinkConversionQueue.h"

#include <chrono>

#include "platform/ThreadStart.h"

namespace torvex {

CLinkConversionQueue::~CLinkConversionQueue() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
        m_jobs.clear();
        if (m_current) {
            m_current->Cancel();
        }
    }
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void CLinkConversionQueue::Start(const CConversionJob& job) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_stopping) {
        return;
    }
    m_jobs.push_back(job);
    if (m_workerRunning) {
        return;
    }
    // The worker that drained the queue before has left its loop; it only has to end.
    if (m_worker.joinable()) {
        m_worker.join();
    }
    m_workerRunning = true;
    m_worker = LaunchThread(ThreadPriority::Normal, [this] { Worker(); });
}

void CLinkConversionQueue::Worker() {
    for (;;) {
        std::shared_ptr<CLinkConverter> converter;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_jobs.empty() || m_stopping) {
                m_workerRunning = false;
                m_changed.notify_all();
                return;
            }
            converter = std::make_shared<CLinkConverter>(m_jobs.front());
            m_jobs.pop_front();
            m_current = converter;
        }
        ConversionOutcome outcome = ConversionOutcome::Cancelled;
        try {
            outcome = converter->Run();
        } catch (...) {
            // Nothing may escape a thread; a job that broke down (out of memory) is dropped.
        }
        std::lock_guard<std::mutex> guard(m_lock);
        m_current.reset();
        m_lastRecord = converter->Job().record;
        m_lastOutcome = outcome;
        m_lastTotal = converter->TotalPages();
        m_lastDone = converter->DonePages();
        ++m_finished;
        m_changed.notify_all();
    }
}

void CLinkConversionQueue::CancelAll() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_jobs.clear();
    if (m_current) {
        m_current->Cancel();
    }
}

CConversionProgress CLinkConversionQueue::Progress() const {
    std::lock_guard<std::mutex> guard(m_lock);
    CConversionProgress progress;
    progress.busy = m_workerRunning;
    progress.waitingJobs = m_jobs.size();
    progress.finishedJobs = m_finished;
    progress.lastRecord = m_lastRecord;
    progress.lastOutcome = m_lastOutcome;
    progress.lastTotalPages = m_lastTotal;
    progress.lastDonePages = m_lastDone;
    if (m_current) {
        progress.projectDir = m_current->Job().projectDir;
        progress.record = m_current->Job().record;
        progress.totalPages = m_current->TotalPages();
        progress.donePages = m_current->DonePages();
    }
    return progress;
}

bool CLinkConversionQueue::IsIdle() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return !m_workerRunning;
}

bool CLinkConversionQueue::WaitIdle(int milliseconds) {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(milliseconds),
                              [this] { return !m_workerRunning; });
}

} // namespace torvex
