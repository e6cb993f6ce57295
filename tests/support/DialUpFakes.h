#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/ITimerScheduler.h"
#include "platform/DialUp.h"
#include "platform/Shutdown.h"

namespace torvex::test {

// A scripted dial-up service: it reports nothing by itself; the test makes the last attempt
// report with Report() on its own thread, as the front end's relay would. It keeps every call.
// Any thread may call it (the final hang-up runs on a thread of its own).
class CFakeDialUp final : public IDialUpService {
public:
    bool Available() override { return available; }
    int EnumEntries(std::vector<std::string> &out) override;
    int Dial(const CDialParams &params, int attempt, IDialEvents &events,
             DialConnection &connection) override;
    void Forget(IDialEvents &events) override;
    void HangUp(const DialConnection &connection) override;
    std::string ErrorText(int error) override;
    int EnumConnections(std::vector<DialConnection> &out) override;

    // The last attempt reports `state` (and `error`); a report of the connected state puts its
    // connection among those that are up.
    void Report(int state, int error = 0);
    int DialCount() const;
    std::vector<DialConnection> HungUp() const;
    std::vector<DialConnection> Connections() const;
    void SetConnections(std::vector<DialConnection> up);

    bool available = true;
    std::vector<std::string> entries;
    int enumResult = 0; // what both enumerations answer
    int dialResult = 0; // what Dial answers
    std::vector<CDialParams> dials;
    std::vector<int> attempts;

private:
    mutable std::mutex m_lock;
    std::vector<DialConnection> m_connections;
    std::vector<DialConnection> m_hungUp;
    IDialEvents *m_events = nullptr;
    DialConnection m_dialled;
};

// Records the shutdowns it is asked for, never doing one.
class CFakeShutdown final : public IShutdownService {
public:
    bool PowerOff() override;
    bool LogOut() override;
    std::atomic<int> powerOffs{0};
    std::atomic<int> logOuts{0};
};

// Timers on a clock that the test moves on: Advance() expires the timers that fall due on the
// way, in time order, through `fire`. One thread.
class CFakeTimers final : public ITimerScheduler {
public:
    void StartTimer(int id, int milliseconds) override;
    void StopTimer(int id) override;
    void Advance(std::int64_t milliseconds);
    bool Running(int id) const { return m_due.count(id) != 0; }
    // Milliseconds until timer `id` expires (-1 when it is not running).
    std::int64_t Left(int id) const;

    std::function<void(int)> fire;
    std::int64_t now = 0;

private:
    std::map<int, std::int64_t> m_due;
};

} // namespace torvex::test
