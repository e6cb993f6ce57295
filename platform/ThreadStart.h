#pragma once

#include <functional>
#include <thread>

namespace torvex {

// Scheduling classes of the threads of a run. Idle is for work that may wait for everything
// else (copying from older records), BelowNormal for the helpers of the workers.
enum class ThreadPriority : int {
    Idle = 0,
    BelowNormal = 1,
    Normal = 2,
};

// Starts `body` on a new thread with the given priority. The priority is best effort: where the
// system does not permit it the thread runs at normal priority. The caller owns the returned
// thread and joins it; nothing is ever killed.
std::thread LaunchThread(ThreadPriority priority, std::function<void()> body);

// Gives up the rest of the time slice (between polls of a flag).
void YieldProcessor();

} // namespace torvex
