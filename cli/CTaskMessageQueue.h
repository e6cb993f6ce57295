#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/IRunListener.h"

namespace torvex {

// Hands the reports of a run's threads to the CLI's main thread: the task's threads push, the
// main loop waits for the next report in arrival order. With `keepFileReports` the reports of
// files fetched and failed are kept too (for -v), to be taken by TakeFileReports; without it
// they are dropped at once. Owned by the run and outlives the task manager that reports into it.
class CTaskMessageQueue final : public IRunListener {
public:
    explicit CTaskMessageQueue(bool keepFileReports = false) : m_keepFiles(keepFileReports) {}

    void OnTaskMessage(const CTaskMessage& message) override;
    void OnFileReport(const CFileReport& report) override;
    // The oldest report, waiting at most `milliseconds`; nothing when none came.
    std::optional<CTaskMessage> WaitFor(int milliseconds);
    // The file reports that came since the last call, in order.
    std::vector<CFileReport> TakeFileReports();

private:
    const bool m_keepFiles;
    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::deque<CTaskMessage> m_messages;
    std::vector<CFileReport> m_files;
};

} // namespace torvex
