#include "platform/StopSignals.h"

#include <atomic>
#include <csignal>

#include <signal.h>
#include <unistd.h>

namespace torvex {

namespace {

std::atomic<int> g_stopRequests{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free count");

struct sigaction g_previousInterrupt;
struct sigaction g_previousTerminate;

extern "C" void CountStopRequest(int) {
    g_stopRequests.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

CStopSignals::CStopSignals() {
    struct sigaction action {};
    action.sa_handler = CountStopRequest;
    sigemptyset(&action.sa_mask);
    // Restart interrupted reads and writes: the loop polls the count, nothing needs to be woken.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &g_previousInterrupt);
    sigaction(SIGTERM, &action, &g_previousTerminate);
}

CStopSignals::~CStopSignals() {
    sigaction(SIGINT, &g_previousInterrupt, nullptr);
    sigaction(SIGTERM, &g_previousTerminate, nullptr);
}

int CStopSignals::StopRequestCount() const {
    return g_stopRequests.load(std::memory_order_relaxed);
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

} // namespace torvex
