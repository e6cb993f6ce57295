#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/CEntryTransfer.h"
#include "net/CHttpWorkerLink.h"
#include "net/CMyExFtpSocket.h"
#include "net/CMyExHttpSocket.h"
#include "platform/Sockets.h"
#include "url/CUrlEntry.h"

namespace torvex {

class CDownloadTask;
class CMyException;
class CMySocketException;
class CRunData;
class CWorkerSlot;

// One download worker: takes entries from the task's DownloadQueue into its slot and fetches
// each with up to Retry + 1 tries, hands stored pages to ParseThread, counts stored files, and
// ends the run at once when the only start address of a project fails in a way that retrying
// cannot mend (wrong host, refused port, missing page, ...). Lives on its own thread from the
// run's start until its slot's Abort flag; the transaction it runs calls back into it on that
// thread.
class CDownloadWorker : public CHttpWorkerLink, public IEntryWorker {
public:
    CDownloadWorker(CDownloadTask& task, int slotIndex);
    ~CDownloadWorker() override;

    // The thread body; returns once the slot's Abort flag is raised.
    void Run();

    const std::atomic<bool>* StopFlag() const override;
    void SetState(int state) override;
    std::atomic<std::int64_t>* ReceivedBytes() override;
    std::atomic<std::int64_t>* SharedReaded() override;
    void PublishInProgress(const CUrlEntry& entry) override;
    void NotModified(CUrlEntry& entry) override;
    void Redirect(CUrlEntry& entry, std::string_view target, const CUrl& parsedTarget,
                  bool slashRedirect) override;
    void PageNamed(bool needsConversion, bool hasRenamedFile) override;
    const CHttpRequest* RequestAhead(std::string_view place) override;

private:
    void RunEntries();
    bool ResolveProxy();
    void WaitForAbort();
    // Fetches one entry; true when it is finished (stored, or given up) or handed back to the
    // queue to wait for its busy host, false when the run's stop broke it off, so that it
    // belongs in the break point.
    bool FetchEntry(CUrlEntry& entry);
    // Takes the first queued entry whose host is not waiting; false when there is none.
    bool PopReadyEntry(CUrlEntry& entry);
    // The entry whose request went ahead, or else PopReadyEntry's.
    bool PopNextEntry(CUrlEntry& entry);
    // A 429 or 503 whose Retry-After named a usable wait.
    static bool IsBusyReply(const CMyException& failure);
    void StoredBody(CUrlEntry& entry, bool alreadyCounted);
    void SocketFailure(CUrlEntry& entry, const CMySocketException& failure, int rememberedState);
    void OtherFailure(const CUrlEntry& entry, std::string_view operation, int code);
    bool IsOnlyStartAddress(const CUrlEntry& entry) const;
    void CloseConnections();
    void EnqueueRedirectTarget(CUrlEntry& target);
    // Handles a redirect to the entry's own address in its other form (http and https); false
    // when the target is another address.
    bool SameAddressRedirect(const CUrlEntry& entry, const CUrl& target);

    CDownloadTask& m_task;
    CWorkerSlot& m_slot;
    CRunData& m_data;
    CMyExHttpSocket m_socket;
    CMyExFtpSocket m_ftpControl;
    CMyExFtpSocket m_ftpData;
    CEntryTransfer m_transfer;
    SocketAddress m_proxy;
    bool m_viaProxy = false;
    // The entry whose request was sent ahead on the kept connection: the next one fetched.
    std::optional<CUrlEntry> m_ahead;
    CHttpRequest m_aheadRequest;
};

// How many entries from the front of the queue a worker looks through for one of its kept
// connection's place to send ahead.
constexpr int kAheadLook = 16;

// Writes the local file of `entry`, which the server redirected to `target`, as a small page
// that forwards the browser to the target's local copy, with a one-line link map. Fills
// `targetEntry` (URL, local names, level, start index, link code, referrer) and returns true
// when the target is an address whose local names could be formed. Throws "OpenFile" when
// either file cannot be written.
bool WriteRedirectPage(CDownloadTask& task, CUrlEntry& entry, std::string_view target,
                       const CUrl& parsedTarget, CUrlEntry& targetEntry);

} // namespace torvex
