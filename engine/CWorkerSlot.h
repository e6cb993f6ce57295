#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "url/CUrlEntry.h"

namespace torvex {

// What a worker is doing, as the per-thread list shows it.
namespace SlotState {
constexpr int Empty = 0;          // "Empty"
constexpr int FindingHost = 1;    // "Finding Host..."
constexpr int Connecting = 2;     // "Connecting Host..." (2 and 3)
constexpr int ReadingFtp = 4;     // "Reading Data..." (4 and 5)
constexpr int Reading = 5;
} // namespace SlotState

// What the main window shows for one slot, copied out in one piece.
struct CSlotView {
    int state = SlotState::Empty;
    std::string url;             // the current entry's composed URL
    std::int64_t readed = 0;
    std::int64_t total = -1;
};

// One download worker's place in a task's fixed table of 50. The slot outlives its workers: when
// a worker is replaced, the new one takes the same slot. The worker thread writes its own slot;
// the monitor, the main window and StopWorker read the flags without locks and the current entry
// through Current()/View(), which copy under the slot's lock.
class CWorkerSlot {
public:
    CWorkerSlot() = default;
    CWorkerSlot(const CWorkerSlot&) = delete;
    CWorkerSlot& operator=(const CWorkerSlot&) = delete;

    std::atomic<int> state{SlotState::Empty};
    std::atomic<bool> alive{false};   // the worker thread runs
    std::atomic<bool> idle{true};     // the worker waits for work (slots without one count idle)
    std::atomic<bool> abort{false};   // the worker is to stop after its current step
    std::atomic<int> tries{0};        // failed tries of the current entry
    // Bytes of the current entry's body on disk while it is being received (-1: not receiving);
    // Current() and View() report it as the entry's Readed, so that a stop in the middle of a
    // body saves the true resume offset.
    std::atomic<std::int64_t> liveReaded{-1};

    // The entry being fetched; an empty URL text means none.
    void SetCurrent(const CUrlEntry& entry);
    void ClearCurrent();
    CUrlEntry Current() const;
    // Readed and Total of the current entry, as the body arrives.
    void SetProgress(std::int64_t readed, std::int64_t total);
    CSlotView View() const;

    // The worker registers how its blocking network calls are broken off (closing its sockets);
    // Interrupt() runs that from another thread, and nothing when none is registered.
    void SetInterrupter(std::function<void()> interrupter);
    void Interrupt();

    // Back to the state of a slot without a worker.
    void Reset();

private:
    mutable std::mutex m_lock;
    CUrlEntry m_current;
    std::function<void()> m_interrupter;
};

} // namespace torvex
