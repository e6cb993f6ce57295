#pragma once

#include <cstdio>
#include <cstdlib>

// A fuzz target's own findings besides the sanitizers': a broken promise of the code under test
// (a capacity exceeded, a text that should round-trip and does not) stops the run with a report.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: FUZZ_CHECK failed: %s\n", __FILE__, __LINE__,         \
                         #condition);                                                          \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)
