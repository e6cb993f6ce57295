#include "platform/Sockets.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace torvex {
namespace {

// A resolver that holds every question until released, as a name server that does not answer.
// What the look-up threads share with it lives as long as the last of them needs it.
class StuckResolver {
public:
    StuckResolver() : m_state(std::make_shared<State>()) {
        SetHostLookupForTests([state = m_state](const std::string&) {
            std::unique_lock<std::mutex> guard(state->lock);
            ++state->waiting;
            state->changed.notify_all();
            state->changed.wait(guard, [&] { return state->released; });
            return std::vector<std::uint32_t>{0x01020304u};
        });
    }
    ~StuckResolver() {
        SetHostLookupForTests(nullptr);
        Release();
    }
    bool WaitForQuestions(int count) {
        std::unique_lock<std::mutex> guard(m_state->lock);
        return m_state->changed.wait_for(guard, std::chrono::seconds(30),
                                         [&] { return m_state->waiting >= count; });
    }
    void Release() {
        std::lock_guard<std::mutex> guard(m_state->lock);
        m_state->released = true;
        m_state->changed.notify_all();
    }

private:
    struct State {
        std::mutex lock;
        std::condition_variable changed;
        int waiting = 0;
        bool released = false;
    };
    std::shared_ptr<State> m_state;
};

TEST(HostLookup, AbandonedLookupsLeaveNoPileOfThreads) {
    StuckResolver resolver;
    std::atomic<bool> abort{false};
    std::atomic<int> failed{0};
    std::vector<std::thread> callers;
    for (int i = 0; i < 40; ++i) {
        callers.emplace_back([&, i] {
            std::uint32_t address = 0;
            if (LookUpHostAddress("host" + std::to_string(i) + ".invalid", address, &abort) != 0) {
                failed.fetch_add(1);
            }
        });
    }
    // Every look-up thread there may be is busy with one question; the rest wait in the queue.
    ASSERT_TRUE(resolver.WaitForQuestions(1));
    abort = true;
    for (std::thread& caller : callers) {
        caller.join();   // each gives up, although no answer came
    }
    EXPECT_EQ(failed.load(), 40);
    EXPECT_LE(LookupThreadCount(), 16u);

    // Once the resolver answers, the threads serve new questions again.
    resolver.Release();
    std::uint32_t address = 0;
    EXPECT_EQ(LookUpHostAddress("again.invalid", address, nullptr), 0);
    EXPECT_EQ(address, 0x01020304u);
    EXPECT_LE(LookupThreadCount(), 16u);
}

} // namespace
} // namespace torvex
