#include "platform/Clock.h"

#include <chrono>

namespace torvex {

namespace {

class CSystemClock final : public IClock {
public:
    std::int64_t Now() override {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }
    std::int64_t MonotonicMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

} // namespace

IClock& SystemClock() {
    static CSystemClock clock;
    return clock;
}

} // namespace torvex
