#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

namespace torvex {

struct CHttpRequest;

// Display states of a download worker that the transfers set.
namespace WorkerState {
constexpr int Idle = 0;
constexpr int FindingHost = 1;
constexpr int Connecting = 2;
constexpr int SendingRequest = 3;
constexpr int ReadingHeader = 4;
constexpr int ReceivingFtp = 4;   // an FTP transfer shows as reading
constexpr int Receiving = 5;
} // namespace WorkerState

// How a transfer (HTTP or FTP) tells the download worker that runs it how far it has come, and
// learns that it is to stop. The worker implements it; every call comes from that worker's
// thread, during a transfer. What the transfer's answer means for the queue entry is the
// worker's to decide from the transfer's result.
class CHttpWorkerLink {
public:
    virtual ~CHttpWorkerLink();

    // The worker's stop flag (may be null: never stopped). Read during every transfer.
    virtual const std::atomic<bool>* StopFlag() const = 0;
    // The worker's displayed state (WorkerState).
    virtual void SetState(int state) = 0;
    // The worker's received-bytes statistics (may be null).
    virtual std::atomic<std::int64_t>* ReceivedBytes() = 0;
    // Where the bytes of the file stored so far are published while the body arrives, for
    // other threads to read (may be null).
    virtual std::atomic<std::int64_t>* SharedReaded() { return nullptr; }
    // Asked when a request went out on a kept connection to `place`, before its reply is read:
    // the request of the worker's next address for that place, to send behind it at once so
    // that the server answers it without waiting for another round trip; null: none. The
    // worker fetches that address next, whatever becomes of the request sent ahead.
    virtual const CHttpRequest* RequestAhead(std::string_view place) {
        static_cast<void>(place);
        return nullptr;
    }
};

} // namespace torvex
