#pragma once

#include <cstdint>

namespace torvex {

// The two clocks a run reads: wall time in whole seconds since 1970 (stored in records and
// compared with time limits) and a monotonic millisecond count (for waits and samples).
// Tests replace it to make time limits expire without waiting.
class IClock {
public:
    virtual ~IClock() = default;
    virtual std::int64_t Now() = 0;
    virtual std::int64_t MonotonicMs() = 0;
};

// The system clock; safe to call from any thread.
IClock& SystemClock();

} // namespace torvex
