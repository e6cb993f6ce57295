#include "engine/CSpeedMeter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace torvex {
namespace {

TEST(CSpeedMeter, RateOverTheReadingsOfTheWindow) {
    struct Reading {
        std::int64_t ms;
        std::int64_t bytes;
        double kilobytesPerSecond;
    };
    struct Case {
        const char* name;
        std::vector<Reading> readings;
    };
    const Case cases[] = {
        {"one reading has no time to measure over", {{1000, 5000, 0}}},
        {"no time between two readings", {{1000, 0, 0}, {1000, 4096, 0}}},
        {"bytes over the time since the first reading",
         {{0, 0, 0}, {1000, 1024, 1.0}, {2000, 4096, 2.0}}},
        {"readings older than the window drop out",
         {{0, 0, 0}, {1000, 10240, 10.0}, {4000, 10240, 0.0}, {5000, 11264, 1.0}}},
        {"at least the reading before the last one counts, however old",
         {{0, 0, 0}, {60000, 61440, 1.0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSpeedMeter meter(3000);
        for (const Reading& r : c.readings) {
            EXPECT_DOUBLE_EQ(meter.Sample(r.ms, r.bytes), r.kilobytesPerSecond) << r.ms;
        }
    }
}

} // namespace
} // namespace torvex
