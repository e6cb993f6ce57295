#include "platform/ThreadStart.h"

#include <utility>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace torvex {

namespace {

// On Linux the nice value and the scheduling policy belong to the thread, so a thread can lower
// its own priority without touching the rest of the process. Failures are ignored: priorities
// only decide who gets the processor first.
void ApplyPriority(ThreadPriority priority) {
    if (priority == ThreadPriority::Normal) {
        return;
    }
#ifdef __linux__
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    if (priority == ThreadPriority::Idle) {
        sched_param param{};
        param.sched_priority = 0;
        if (::sched_setscheduler(0, SCHED_IDLE, &param) == 0) {
            return;
        }
        (void)::setpriority(PRIO_PROCESS, tid, 19);
        return;
    }
    (void)::setpriority(PRIO_PROCESS, tid, 5);
#endif
}

} // namespace

std::thread LaunchThread(ThreadPriority priority, std::function<void()> body) {
    return std::thread([priority, task = std::move(body)]() {
        ApplyPriority(priority);
        task();
    });
}

void YieldProcessor() { std::this_thread::yield(); }

} // namespace torvex
