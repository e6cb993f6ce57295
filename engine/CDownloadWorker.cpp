#include "engine/CDownloadWorker.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "base/BoundedText.h"
#include "engine/CDownloadTask.h"
#include "engine/CRunData.h"
#include "engine/DispatchDecision.h"
#include "engine/LinkEnqueue.h"
#include "engine/LinkFilters.h"
#include "engine/RecordLookup.h"
#include "engine/TryFailure.h"
#include "html/CTagTable.h"
#include "html/LinkMapLine.h"
#include "net/CMyExSocket.h"
#include "net/CHttpTransaction.h"
#include "net/CMyExHttpSocket.h"
#include "net/CMyException.h"
#include "net/HttpConnect.h"
#include "net/ReplyChecks.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/NetworkState.h"
#include "url/LocalNames.h"

namespace torvex {

namespace {

constexpr std::size_t kMaxRedirectLink = 512;
constexpr std::int32_t kRedirectPageReaded = 90;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Link codes whose redirects leave a page behind: start addresses, anchors, frames, iframes,
// areas, options, embedded objects and link tags naming pages, whose local names other pages
// link to and which a browser follows to the target.
bool IsFetchable(const CUrl& url) {
    const std::string& scheme = url.Scheme();
    return url.IsValid() && (scheme == "http" || scheme == "https" || scheme == "ftp");
}

bool KeepsRedirectPage(int linkCode) {
    switch (linkCode) {
    case kLinkCodeBaseLine:
    case static_cast<int>(TagCode::A):
    case static_cast<int>(TagCode::Frame):
    case static_cast<int>(TagCode::IFrame):
    case static_cast<int>(TagCode::Area):
    case static_cast<int>(TagCode::Option):
    case static_cast<int>(TagCode::Object):
    case static_cast<int>(TagCode::LinkPage):
        return true;
    default:
        return false;
    }
}

// A text placed inside the single-quoted content attribute of the forwarding page: quotes,
// angle brackets, control bytes and "%" itself are percent-encoded, so that a server's Location
// can never end the attribute or add markup to a stored page.
std::string AttributeSafe(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127 || c == '\'' || c == '"' || c == '<' || c == '>' ||
            c == '%' || c == '&') {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

void ThrowOpenFile() {
    ThrowMyException(ExceptionKind::General, "", kOpOpenFile, 0);
}

} // namespace

bool WriteRedirectPage(CDownloadTask& task, CUrlEntry& entry, std::string_view target,
                       const CUrl& parsedTarget, CUrlEntry& targetEntry) {
    const CProjectPaths& paths = task.Paths();
    std::string storedPath;
    if (!StoredPath(paths.recordDownloadDir, entry.localDir, entry.fileName, entry.extension,
                    storedPath)) {
        ThrowOpenFile();
    }
    MakeDirectoryPath(paths.recordDownloadDir + "/" + entry.localDir);
    MakeDirectoryPath(paths.recordLinkMapDir + "/" + entry.localDir);
    const std::string linkMapPath = LinkMapPath(paths.recordLinkMapDir, entry);

    std::string linkMap;
    std::string address;
    bool haveTarget = false;
    if (!parsedTarget.IsValid()) {
        AppendLinkMapLine(linkMap, target, kLinkCodeInvalid);
        address = std::string(target);
    } else {
        AppendLinkMapLine(linkMap, parsedTarget.Compose(), static_cast<int>(TagCode::Meta));
        haveTarget = MakeEntry(task, parsedTarget, targetEntry);
        if (haveTarget) {
            address = RelativeLocalPath(targetEntry.localDir, entry.localDir) + targetEntry.fileName;
        } else {
            address = parsedTarget.Compose();
        }
    }
    address = AttributeSafe(address);
    CutTo(address, kMaxRedirectLink);
    const std::string page = "<html>\n<head>\n<meta http-equiv='refresh' content='0; url=" +
                             address + "'>\n</head>\n</html>";

    FilePtr pageFile(std::fopen(storedPath.c_str(), "wb"));
    FilePtr mapFile(std::fopen(linkMapPath.c_str(), "wb"));
    if (!pageFile || !mapFile) {
        ThrowOpenFile();
    }
    const bool written =
        std::fwrite(page.data(), 1, page.size(), pageFile.get()) == page.size() &&
        std::fwrite(linkMap.data(), 1, linkMap.size(), mapFile.get()) == linkMap.size();
    const bool closed = std::fclose(pageFile.release()) == 0 && std::fclose(mapFile.release()) == 0;
    if (!written || !closed) {
        ThrowMyException(ExceptionKind::General, "", kOpWriteFile, 0);
    }
    entry.readed = kRedirectPageReaded;

    if (haveTarget) {
        targetEntry.level = entry.level;
        targetEntry.startIndex = entry.startIndex;
        targetEntry.linkCode = entry.linkCode;
        AssignCut(targetEntry.referrer, entry.urlText, kMaxReferrer);
    }
    return haveTarget;
}

CDownloadWorker::CDownloadWorker(CDownloadTask& task, int slotIndex)
    : m_task(task),
      m_slot(task.Slot(slotIndex)),
      m_data(RunDataOf(task)),
      m_transfer(m_data.httpOptions, m_data.transferOptions, *this, *this, *m_data.cookies) {
    m_slot.SetInterrupter([this] {
        m_socket.Interrupt();
        m_ftpControl.Interrupt();
        m_ftpData.Interrupt();
    });
}

CDownloadWorker::~CDownloadWorker() {
    m_slot.SetInterrupter(nullptr);
}

const std::atomic<bool>* CDownloadWorker::StopFlag() const { return &m_slot.abort; }

void CDownloadWorker::SetState(int state) { m_slot.state = state; }

std::atomic<std::int64_t>* CDownloadWorker::ReceivedBytes() { return &m_task.receivedBytes; }

std::atomic<std::int64_t>* CDownloadWorker::SharedReaded() { return &m_slot.liveReaded; }

void CDownloadWorker::PublishInProgress(const CUrlEntry& entry) {
    m_slot.SetCurrent(entry);
    m_slot.liveReaded = entry.readed;
    CUrlEntry line = entry;
    line.state = EntryState::Initial;
    m_task.WriteStatusLine(line);
}

void CDownloadWorker::PageNamed(bool needsConversion, bool hasRenamedFile) {
    if (needsConversion) {
        m_task.flags.NeedsConversion = true;
    }
    if (hasRenamedFile) {
        m_task.flags.HasRenamedFile = true;
    }
}

void CDownloadWorker::NotModified(CUrlEntry& entry) {
    if (!IsPageKind(entry.kind)) {
        ToCopy(m_task, entry);
        return;
    }
    if (entry.state == EntryState::Stored) {
        // A page that was stored but never parsed: it is taken over now and parsed from the
        // latest record, so it counts as taken over like the dispatcher's copies.
        if (CopyFromOldRecord(m_task, entry)) {
            m_task.counters.TotalFiles.fetch_add(1);
            m_task.counters.Passed.fetch_add(1);
        }
    } else {
        entry.state = EntryState::NotModified;
        ToCopy(m_task, entry);
    }
    ToParse(m_task, entry);
}

void CDownloadWorker::EnqueueRedirectTarget(CUrlEntry& target) {
    const int seen = m_task.MarkSeen(target);
    if (seen < 0) {
        m_task.StopTask(TaskStatus::Failed, RunEndCode::TempFileFailed);
        return;
    }
    if (seen == 0 || IsFileTypeExcluded(m_data.linkRules.fileTypes, target.url)) {
        return;
    }
    m_task.DiscoveredQueue().PushFront(target);
    m_task.DispatchWork().Signal();
}

void CDownloadWorker::Redirect(CUrlEntry& entry, std::string_view target,
                               const CUrl& parsedTarget, bool slashRedirect) {
    if (SameAddressRedirect(entry, parsedTarget)) {
        return;
    }
    if (!KeepsRedirectPage(entry.linkCode)) {
        CUrlEntry next;
        if (!MakeEntry(m_task, parsedTarget, next) ||
            IsFileTypeExcluded(m_data.linkRules.fileTypes, next.url)) {
            return;
        }
        next.level = entry.level;
        next.startIndex = entry.startIndex;
        next.linkCode = entry.linkCode;
        AssignCut(next.referrer, entry.urlText, kMaxReferrer);
        EnqueueRedirectTarget(next);
        return;
    }
    if (slashRedirect) {
        // The address names a directory: its own name becomes a page that forwards to it.
        entry.kind = EntryKind::Page;
        entry.nameLetter = NameLetter::HtmlAppended;
        entry.extension = ".html";
        // Links to the old name must learn the ".html": the record's links need converting.
        PageNamed(true, true);
    }
    CUrlEntry next;
    const bool haveTarget = WriteRedirectPage(m_task, entry, target, parsedTarget, next);
    entry.state = EntryState::Complete;
    entry.total = entry.readed;
    m_task.WriteStatusLine(entry);
    m_task.FileStored(entry, false);
    if (haveTarget) {
        EnqueueRedirectTarget(next);
    }
}

bool CDownloadWorker::SameAddressRedirect(const CUrlEntry& entry, const CUrl& target) {
    CUrlEntry next;
    if (!target.IsValid() || !MakeEntry(m_task, target, next) ||
        SeenText(next.url, next.urlText) != SeenText(entry.url, entry.urlText)) {
        return false;
    }
    // The same address in its other form, most often http to https (a site's move to https):
    // both forms are one local file and one seen address, so the https form is fetched in the
    // entry's place, as the entry (a start address stays one), instead of a forwarding page
    // that would take the file's place. The other way round would only lead back: it is not
    // followed.
    if (entry.url.Scheme() != "http" || target.Scheme() != "https") {
        return true;
    }
    if (entry.url.UserName() != nullptr) {
        next.url.SetUserName(*entry.url.UserName());
        next.url.SetPassword(entry.url.Password() != nullptr
                                 ? std::optional<std::string_view>(*entry.url.Password())
                                 : std::nullopt);
    }
    next.level = entry.level;
    next.startIndex = entry.startIndex;
    next.linkCode = entry.linkCode;
    next.referrer = entry.referrer;
    m_task.DiscoveredQueue().PushFront(next);
    m_task.DispatchWork().Signal();
    return true;
}

bool CDownloadWorker::ResolveProxy() {
    const CProjectSettings& settings = m_task.Settings();
    m_slot.state = SlotState::FindingHost;
    if (ResolveAddress(settings.ProxyServer, settings.ProxyPort, m_proxy, &m_slot.abort) != 0) {
        m_slot.state = SlotState::Empty;
        m_task.StopTask(TaskStatus::Failed, RunEndCode::ProxyNotFound);
        return false;
    }
    if (m_slot.abort.load()) {
        m_slot.state = SlotState::Empty;
        return false;
    }
    if (settings.Proxy == static_cast<int>(ProxyMode::Socks5)) {
        CMyExSocksSocket* const sockets[] = {&m_socket, &m_ftpControl, &m_ftpData};
        for (CMyExSocksSocket* socket : sockets) {
            socket->ConfigureSocks(static_cast<int>(SocksMode::Socks5), m_proxy,
                                   !settings.ProxyUser.empty(), settings.ProxyUser,
                                   settings.ProxyPassword);
        }
    }
    m_slot.state = SlotState::Empty;
    return true;
}

void CDownloadWorker::WaitForAbort() {
    while (!m_slot.abort.load()) {
        m_task.WorkersWork().Wait();
    }
}

void CDownloadWorker::Run() {
    RunEntries();
    // An address whose request went ahead is not fetched now: it goes back to the queue, where
    // another worker or the break point takes it as it was.
    if (m_ahead) {
        m_task.DownloadQueue().PushFront(*m_ahead);
        m_ahead.reset();
        m_task.WorkersWork().Signal();
    }
    // A kept connection is not left to the server's idle limit once the worker is done.
    CloseConnections();
}

const CHttpRequest* CDownloadWorker::RequestAhead(std::string_view place) {
    // Only while the queue holds more than every worker can take: an address that waits behind
    // another reply is one an idle worker would have fetched at once.
    if (m_ahead || m_slot.abort.load() ||
        m_task.DownloadQueue().Count() < static_cast<std::int32_t>(m_task.UsedSlots())) {
        return nullptr;
    }
    const bool httpProxy = m_task.Settings().Proxy == static_cast<int>(ProxyMode::Http);
    const std::int64_t now = m_task.Clock().MonotonicMs();
    int looked = 0;
    CUrlEntry next;
    const bool found = m_task.DownloadQueue().PopFirst(next, [&](const CUrlEntry& queued) {
        // A few entries from the front: the order of the queue is kept near enough, and a
        // long queue of other hosts' addresses costs no long search.
        return ++looked <= kAheadLook && IsFetchable(queued.url) &&
               (httpProxy || queued.url.Scheme() != "ftp") &&
               ConnectionPlace(m_data.httpOptions, queued.url) == place &&
               !m_data.hostPauses.IsPaused(queued.url, now);
    });
    if (!found) {
        return nullptr;
    }
    m_aheadRequest = m_transfer.RequestFor(next);
    m_ahead = std::move(next);
    return &m_aheadRequest;
}

bool CDownloadWorker::PopNextEntry(CUrlEntry& entry) {
    if (m_ahead) {
        entry = std::move(*m_ahead);
        m_ahead.reset();
        // Its host may have asked for a pause since its request went ahead.
        if (!m_data.hostPauses.IsPaused(entry.url, m_task.Clock().MonotonicMs())) {
            return true;
        }
        m_task.DownloadQueue().PushFront(entry);
    }
    return PopReadyEntry(entry);
}

void CDownloadWorker::RunEntries() {
    const int proxy = m_task.Settings().Proxy;
    m_viaProxy = proxy == static_cast<int>(ProxyMode::Http) ||
                 proxy == static_cast<int>(ProxyMode::Socks5);
    if (m_viaProxy && !ResolveProxy()) {
        WaitForAbort();
        return;
    }
    while (!m_slot.abort.load()) {
        m_slot.idle = false;
        m_slot.state = SlotState::Empty;
        CUrlEntry entry;
        while (!m_slot.abort.load() && PopNextEntry(entry)) {
            // The workers' event wakes one sleeper per signal and signals given in a burst
            // count once: pass the wake-up on while work is left, so every idle worker joins in.
            if (!m_task.DownloadQueue().IsEmpty()) {
                m_task.WorkersWork().Signal();
            }
            m_slot.SetCurrent(entry);
            const bool finished = FetchEntry(entry);
            if (!finished && m_slot.abort.load()) {
                // The entry stays current, with the Readed that is on disk: the break point
                // keeps it and a resume continues there.
                m_slot.SetCurrent(entry);
                m_slot.liveReaded = -1;
                return;
            }
            m_slot.liveReaded = -1;
            m_slot.ClearCurrent();
            m_slot.state = SlotState::Empty;
        }
        m_slot.idle = true;
        if (m_slot.abort.load()) {
            break;
        }
        if (m_task.DiscoveredQueue().IsEmpty() && m_task.ParseQueue().IsEmpty()) {
            m_task.NudgeMonitor();
        }
        if (!m_task.DownloadQueue().IsEmpty()) {
            // What is queued waits for busy hosts: sleep until the first of them may be asked
            // again, unless new work or a stop comes first.
            const std::int64_t wait =
                m_data.hostPauses.MsUntilFirstEnd(m_task.Clock().MonotonicMs());
            if (wait > 0) {
                m_task.WorkersWork().WaitFor(static_cast<int>(wait));
            }
            continue;
        }
        m_task.WorkersWork().Wait();
    }
}

bool CDownloadWorker::PopReadyEntry(CUrlEntry& entry) {
    // The pause is asked under the queue's lock, entry by entry: a worker that hands an entry
    // back pauses its host before it queues it, so no other worker can take it between the two.
    // Asking once before taking the lock would let it through.
    const std::int64_t now = m_task.Clock().MonotonicMs();
    return m_task.DownloadQueue().PopFirst(entry, [this, now](const CUrlEntry& queued) {
        return !m_data.hostPauses.IsPaused(queued.url, now);
    });
}

bool CDownloadWorker::IsBusyReply(const CMyException& failure) {
    return failure.Operation() == kOpHttpSession && failure.RetryAfter() >= 0 &&
           (failure.Code() == 429 || failure.Code() == 503);
}

bool CDownloadWorker::IsOnlyStartAddress(const CUrlEntry& entry) const {
    return entry.referrer.empty() && m_task.Settings().Addresses.size() == 1;
}

void CDownloadWorker::CloseConnections() {
    m_socket.Close();
    m_socket.ResetWindow();
    m_ftpControl.Close();
    m_ftpControl.ResetWindow();
    m_ftpData.Close();
    m_ftpData.ResetWindow();
}

namespace {

// Why a file the server gave could not be kept, for the run's failure list; empty for the
// failures of the network or the server.
std::string StorageFailureReason(std::string_view operation) {
    if (operation == kOpLongFilePath) {
        return "its local path would be longer than the " + std::to_string(kMaxLocalPath) +
               " characters a stored file may have here";
    }
    if (operation == kOpOpenFile) {
        return "its file cannot be created in the copy (a file or folder of the same name is "
               "in the way, or the disk refuses it)";
    }
    if (operation == kOpWriteFile) {
        return "its file could not be written (the disk may be full)";
    }
    return {};
}

} // namespace

bool CDownloadWorker::FetchEntry(CUrlEntry& entry) {
    const int retry = m_task.Settings().Retry;
    const bool httpProxy = m_task.Settings().Proxy == static_cast<int>(ProxyMode::Http);
    m_slot.tries = entry.tries;
    // The last failed try's operation and code: the reason the entry is given up, if it is.
    std::string failedOperation;
    int failedCode = 0;
    while (m_slot.tries.load() <= retry && !m_slot.abort.load()) {
        try {
            SocketAddress address = m_proxy;
            // A kept connection already goes there: the transaction looks the host up only
            // should it need a new one (port 0 says so).
            const bool kept = m_data.httpOptions.keepAlive && entry.url.Scheme() != "ftp" &&
                              m_socket.IsKeptFor(ConnectionPlace(m_data.httpOptions, entry.url));
            if (kept && !m_viaProxy) {
                address = SocketAddress{};
            } else if (!m_viaProxy) {
                m_slot.state = SlotState::FindingHost;
                GetHostByName(entry.url.Host(), entry.url.EffectivePort(), address,
                              &m_slot.abort);
                if (m_slot.abort.load()) {
                    CloseConnections();
                    return false;
                }
            }
            if (!IsFetchable(entry.url)) {
                // Only http, https and ftp addresses are ever fetched; anything else that
                // reached the queue is dropped rather than sent to the wrong protocol.
                return true;
            }
            if (!httpProxy && entry.url.Scheme() == "ftp") {
                m_ftpControl.SetTimeOut(std::chrono::seconds(m_task.Settings().TimeOut));
                m_ftpData.SetTimeOut(std::chrono::seconds(m_task.Settings().TimeOut));
                if (m_transfer.Ftp(entry, m_ftpControl, m_ftpData, address) < 0) {
                    return !m_slot.abort.load();
                }
                // Files fetched by FTP are stored as they are; their links are not read.
                entry.state = EntryState::Complete;
                m_task.WriteStatusLine(entry);
                m_task.FileStored(entry, false);
                return true;
            }
            bool alreadyCounted = false;
            const int result = m_transfer.Http(entry, m_socket, address, alreadyCounted);
            if (result < 0) {
                if (m_transfer.LastOutcome() == TransferOutcome::NoBody && !m_slot.abort.load()) {
                    // A 4xx the transaction does not throw for (410 Gone, ...): nothing to store.
                    m_task.FileFailed(entry, kOpHttpSession, m_transfer.LastStatus());
                }
                return !m_slot.abort.load();
            }
            StoredBody(entry, alreadyCounted);
            return true;
        } catch (CMySocketException* raw) {
            const std::unique_ptr<CMySocketException> failure(raw);
            failedOperation = failure->Operation();
            failedCode = failure->Code();
            const int remembered = m_slot.state.exchange(SlotState::Empty);
            // The Readed of a broken-off body is what the slot saw arrive.
            const std::int64_t live = m_slot.liveReaded.exchange(-1);
            if (live >= 0) {
                entry.readed = live;
            }
            SocketFailure(entry, *failure, remembered);
        } catch (CMyException* raw) {
            const std::unique_ptr<CMyException> failure(raw);
            failedOperation = failure->Operation();
            failedCode = failure->Code();
            m_slot.state = SlotState::Empty;
            m_slot.liveReaded = -1;
            const bool busy = IsBusyReply(*failure);
            if (busy) {
                m_data.hostPauses.Pause(entry.url, m_task.Clock().MonotonicMs(),
                                        failure->RetryAfter());
            }
            if (busy && entry.busyReplies < kForgivenBusyReplies) {
                ++entry.busyReplies;   // the server said when to come back: not a failed try
            } else {
                m_slot.tries.fetch_add(1);
            }
            if (failure->Operation() == kOpBadRange) {
                entry.readed = 0;   // the next try asks for the whole file
            }
            if (IsDefinitiveAnswer(failure->Operation(), failure->Code())) {
                m_slot.tries = m_task.Settings().Retry + 1;   // asking again changes nothing
            }
            if (failure->Operation() != kOpHttpSession) {
                // A server's answer leaves its connection as the transaction found it fit to
                // keep; anything else may have left it in the middle of a reply.
                CloseConnections();
            }
            if (busy && m_slot.tries.load() <= retry && !m_slot.abort.load()) {
                // Back to the front of the queue with its tries and Readed: this worker goes on
                // with another host's address meanwhile, and whoever is free when the host's
                // wait is over takes it. A busy server ends no run while tries are left.
                entry.tries = m_slot.tries.load();
                m_task.DownloadQueue().PushFront(entry);
                return true;
            }
            OtherFailure(entry, failure->Operation(), failure->Code());
        }
    }
    if (m_slot.abort.load()) {
        return false;   // the run's stop broke it off: it belongs in the break point
    }
    m_task.FileFailed(entry, failedOperation, failedCode, StorageFailureReason(failedOperation));
    return true;
}

void CDownloadWorker::StoredBody(CUrlEntry& entry, bool alreadyCounted) {
    if (IsPageKind(entry.kind)) {
        entry.state = EntryState::Stored;
        m_task.WriteStatusLine(entry);
        ToParse(m_task, entry);
    } else {
        entry.state = EntryState::Complete;
        m_task.WriteStatusLine(entry);
    }
    m_task.FileStored(entry, alreadyCounted);
}

void CDownloadWorker::SocketFailure(CUrlEntry& entry, const CMySocketException& failure,
                                    int rememberedState) {
    const std::string_view operation = failure.Operation();
    const int retry = m_task.Settings().Retry;
    // A body was arriving (HTTP shows 5, FTP 4): its Readed belongs in the status log.
    const bool receiving =
        rememberedState == SlotState::Reading || rememberedState == SlotState::ReadingFtp;
    if (m_slot.abort.load()) {
        // The run's own stop broke the connection off: nothing to learn about the network.
        CloseConnections();
        return;
    }
    if (IsDefinitiveAnswer(operation, failure.Code())) {
        m_slot.tries = retry + 1;   // the same certificate is refused again
    } else if (IsNetworkUp(&m_slot.abort)) {
        m_slot.tries.fetch_add(1);
    } else {
        if (receiving) {
            m_task.WriteStatusLine(entry);
        }
        m_task.StopTask(TaskStatus::Failed, RunEndCode::NetworkDown);
        m_slot.tries = retry + 1;
    }
    CloseConnections();
    if (m_slot.abort.load()) {
        return;
    }
    if (m_slot.tries.load() > retry && receiving) {
        m_task.WriteStatusLine(entry);
    }
    if (IsOnlyStartAddress(entry)) {
        const int endCode = EndCodeForSocketFailure(operation, failure.Code(), m_viaProxy);
        if (endCode != 0) {
            // The run ends with this failure: it is the run's failed file as well.
            m_task.FileFailed(entry, operation, failure.Code());
            m_task.FailWithDetail(static_cast<RunEndCode>(endCode), failure.Detail());
        }
    }
}

void CDownloadWorker::OtherFailure(const CUrlEntry& entry, std::string_view operation, int code) {
    if (m_slot.abort.load()) {
        return;
    }
    if (!IsOnlyStartAddress(entry)) {
        return;
    }
    const int endCode = EndCodeForFailure(operation, code);
    if (endCode != 0) {
        m_task.FileFailed(entry, operation, code, StorageFailureReason(operation));
        m_task.StopTask(TaskStatus::Failed, static_cast<RunEndCode>(endCode));
    }
}

} // namespace torvex
