#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

#include "url/CUrl.h"
#include "url/CUrlEntry.h"

namespace torvex {

// Display states of a download worker that the transactions set.
namespace WorkerState {
constexpr int Idle = 0;
constexpr int FindingHost = 1;
constexpr int Connecting = 2;
constexpr int SendingRequest = 3;
constexpr int ReadingHeader = 4;
constexpr int ReceivingFtp = 4;   // an FTP transfer shows as reading
constexpr int Receiving = 5;
} // namespace WorkerState

// What a transaction (HTTP or FTP) needs from the download worker that runs it, and what it
// hands on to the crawl engine. The worker implements it; every call comes from that worker's
// thread, during a transaction.
class CHttpWorkerLink {
public:
    virtual ~CHttpWorkerLink();

    // The worker's stop flag (may be null: never stopped). Read during every transfer.
    virtual const std::atomic<bool>* StopFlag() const = 0;
    // The worker's displayed state (WorkerState).
    virtual void SetState(int state) = 0;
    // The worker's received-bytes statistics (may be null).
    virtual std::atomic<std::int64_t>* ReceivedBytes() = 0;
    // Where the entry's Readed is published while the body arrives (may be null).
    virtual std::atomic<std::int32_t>* SharedReaded() { return nullptr; }

    // The entry's status line with state '0' (in progress) is due: the body is about to come.
    virtual void PublishInProgress(const CUrlEntry& entry) = 0;
    // The server answered 304 to If-Modified-Since (or an FTP server gave the size already on
    // disk): the record's copy stands.
    virtual void NotModified(CUrlEntry& entry) = 0;
    // The server redirected the entry. `target` is the Location text (at most 1024
    // characters), `parsedTarget` its parse against the entry's URL (it may be invalid).
    // `slashRedirect`: the target is the entry's own address followed by "/".
    virtual void Redirect(CUrlEntry& entry, std::string_view target, const CUrl& parsedTarget,
                          bool slashRedirect) = 0;
    // A page was named: the task's NeedsConversion and HasRenamedFile flags are to be raised
    // where set here.
    virtual void PageNamed(bool needsConversion, bool hasRenamedFile) = 0;
};

} // namespace torvex
