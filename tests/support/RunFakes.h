#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/CDownloadTask.h"
#include "engine/CTaskManager.h"
#include "engine/IPrompter.h"
#include "engine/IRunListener.h"
#include "engine/IRunPipeline.h"
#include "platform/Clock.h"
#include "platform/FreeSpace.h"

namespace torvex::test {

// Free space that a test sets; any thread may read it.
class CFakeFreeSpace final : public IFreeSpaceSource {
public:
    bool FreeBytes(std::string_view, std::uint64_t& bytes) override;
    std::atomic<std::uint64_t> bytes{std::uint64_t{1} << 40};
    std::atomic<bool> fails{false};
};

// Wall time that a test moves on; the monotonic clock is the system's.
class CFakeClock final : public IClock {
public:
    // Counted before the time is read, so a reading counted after a test changed the time
    // sees the new time.
    std::int64_t Now() override {
        reads.fetch_add(1);
        return now.load();
    }
    std::int64_t MonotonicMs() override { return SystemClock().MonotonicMs(); }
    std::atomic<std::int64_t> now{1000000000};
    std::atomic<int> reads{0};
};

// Keeps every task message in arrival order.
class CMessageLog final : public IRunListener {
public:
    using Message = CTaskMessage;
    void OnTaskMessage(const CTaskMessage& message) override;
    // Waits (at most `seconds`) until an end message or a start failure arrived.
    bool WaitForEnd(int seconds = 20);
    // Takes the oldest message not taken yet, waiting at most `milliseconds`.
    bool Take(Message& out, int milliseconds);
    std::vector<Message> All() const;
    // The messages of the tasks, without the task manager's own (BreakPointProgress,
    // EndWorkDone).
    std::vector<TaskMessage> Numbers() const;

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Message> m_all;
    std::size_t m_taken = 0;
};

// A gate that a test opens to let a waiting thread go on. Its watchdog opens it after
// `seconds` when the test has not, so that a test waiting on the wrong thread fails instead of
// hanging; OpenedByWatchdog() tells that this happened. Any thread.
class CGate {
public:
    explicit CGate(int seconds = 20);
    ~CGate();
    CGate(const CGate&) = delete;
    CGate& operator=(const CGate&) = delete;
    void Open();
    void Wait();
    bool OpenedByWatchdog() const;

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_open = false;
    bool m_byWatchdog = false;
    std::thread m_watchdog;
};

// Answers as scripted and keeps what it was told, prefixed with its kind ("error: ...").
class CScriptedPrompter final : public IPrompter {
public:
    void Information(std::string_view text) override { said.push_back("information: " + std::string(text)); }
    void Warning(std::string_view text) override { said.push_back("warning: " + std::string(text)); }
    void Error(std::string_view text) override { said.push_back("error: " + std::string(text)); }
    bool AskYesNo(std::string_view text, bool) override;
    bool AskOkCancel(std::string_view text) override;
    std::deque<bool> answers;   // taken in order; true when none is left
    std::vector<std::string> said;
};

// Stand-ins for the per-entry work of a run. Start addresses are seeded as the real seeding
// does; the dispatcher sends every discovered entry to the workers; a worker stores each entry
// as a small file, except that a URL containing
//   "hold"        keeps the worker receiving (State 5) until it is told to abort,
//   "slowlookup"  keeps it resolving the name (State 1) until it is told to abort,
//   "stuckdns"    keeps it resolving the name until `stuckLookup` opens, whatever it is told,
//   "fail"        is dropped without a file.
class CStandInPipeline : public IRunPipeline {
public:
    int SeedStartAddresses(CDownloadTask& task, bool withCredentials) override;
    bool LinkAcceptance(CDownloadTask& task, std::string_view composed, int level, int linkCode,
                        int startIndex) override;
    void DispatchThread(CDownloadTask& task) override;
    void ParseThread(CDownloadTask& task) override;
    void CopyThread(CDownloadTask& task) override;
    void DownloadWorker(CDownloadTask& task, int slotIndex) override;

    std::set<std::string> refused;        // composed texts LinkAcceptance refuses
    std::atomic<int> workersStarted{0};
    CGate* stuckLookup = nullptr;
};

// Settings of a small project in `dir` with the given start addresses.
CProjectSettings ProjectIn(const std::string& dir, const std::vector<std::string>& addresses);
// Writes the settings file `fileName` of a project named `name` with one start address into
// `dir` (made first), as the tree leaves it in a project directory with its folder path
// `folders`; false when it cannot be written.
bool WriteProjectConf(const std::string& dir, const std::string& name, const std::string& folders,
                      const std::string& fileName = "project.conf");

} // namespace torvex::test
