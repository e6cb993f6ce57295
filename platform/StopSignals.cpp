#include "platform/StopSignals.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>

#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace torvex {

namespace {

// How long the waiting thread sleeps between looks at its quit flag.
constexpr long kWaitSliceNs = 100L * 1000 * 1000;

sigset_t StopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

CStopSignals::CStopSignals() {
    const sigset_t set = StopSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    m_waiter = std::thread([this] { WaitForSignals(); });
}

CStopSignals::~CStopSignals() {
    m_quit = true;
    // Wake the waiter now rather than at the end of its slice: the signal is blocked everywhere,
    // so it only ends the wait.
    pthread_kill(m_waiter.native_handle(), SIGTERM);
    m_waiter.join();
}

void CStopSignals::WaitForSignals() {
    const sigset_t set = StopSignalSet();
    const timespec slice{0, kWaitSliceNs};
    while (!m_quit.load()) {
        if (sigtimedwait(&set, nullptr, &slice) > 0) {
            m_count.fetch_add(1);
        }
    }
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

int StandardErrorColumns() {
    constexpr int kFallbackColumns = 80;
    struct winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    const char* columns = std::getenv("COLUMNS");
    const int fromEnvironment = columns ? std::atoi(columns) : 0;
    return fromEnvironment > 0 ? fromEnvironment : kFallbackColumns;
}

} // namespace torvex
