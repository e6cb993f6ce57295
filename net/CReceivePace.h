#pragma once

#include <chrono>
#include <cstdint>

namespace torvex {

// The least a reply must deliver in every time-out window while it is not complete: a server
// that trickles a byte at a time would otherwise hold a worker (and the run) for as long as it
// likes, since each single wait ends well within the time-out.
constexpr std::int64_t kMinBytesPerWindow = 1024;

// Watches one reply (an HTTP body, an FTP reply or data transfer) arrive in windows of the
// time-out's length. Each receive waits at most until the current window ends; when a window
// ends with less than kMinBytesPerWindow received in it, the reply is too slow and the try
// fails as a time-out. Used by the one thread that receives.
class CReceivePace {
public:
    explicit CReceivePace(std::chrono::milliseconds window);

    // How long the next receive may wait: what is left of the current window (at least 1 ms).
    std::chrono::milliseconds NextWait();
    // Counts `bytes` received (0 after a wait that ended without data). False when a window has
    // ended with less than kMinBytesPerWindow in it; otherwise a window that has ended starts
    // the next one.
    bool Received(std::int64_t bytes);

private:
    using Clock = std::chrono::steady_clock;
    std::chrono::milliseconds m_window;
    Clock::time_point m_windowEnd;
    std::int64_t m_bytes = 0;
};

} // namespace torvex
