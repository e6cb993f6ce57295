#pragma once

#include <cstdint>
#include <deque>
#include <utility>

namespace torvex {

// The receive speed that the front ends show while runs go on: readings of a byte count that
// only grows (the process-wide received-bytes counter) taken on the front end's timer, and the
// rate over the readings of the last `windowMs` milliseconds. Owned by one front end and used
// on its thread only.
class CSpeedMeter {
public:
    explicit CSpeedMeter(std::int64_t windowMs) : m_windowMs(windowMs) {}

    // Adds the reading `bytes` at the monotonic time `nowMs` and returns the speed in
    // kilobytes per second (1 KB = 1024 bytes) between the oldest reading still in the window
    // (at least the one before this) and this one; 0 while no time has passed between them.
    double Sample(std::int64_t nowMs, std::int64_t bytes);
    // The same for any count that only grows (files, bytes), per second.
    double Rate(std::int64_t nowMs, std::int64_t count);

private:
    std::int64_t m_windowMs;
    std::deque<std::pair<std::int64_t, std::int64_t>> m_samples;   // (ms, bytes)
};

} // namespace torvex
