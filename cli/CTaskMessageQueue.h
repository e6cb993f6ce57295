#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "engine/IRunListener.h"

namespace torvex {

// Hands the reports of a run's threads to the CLI's main thread: the task's threads push, the
// main loop waits for the next report in arrival order. Owned by the run and outlives the task
// manager that reports into it.
class CTaskMessageQueue final : public IRunListener {
public:
    void OnTaskMessage(const CTaskMessage& message) override;
    // The oldest report, waiting at most `milliseconds`; nothing when none came.
    std::optional<CTaskMessage> WaitFor(int milliseconds);

private:
    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::deque<CTaskMessage> m_messages;
};

} // namespace torvex
