#include "engine/CRunPipeline.h"

#include <cerrno>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "base/BoundedText.h"
#include "engine/CDownloadTask.h"
#include "engine/CDownloadWorker.h"
#include "engine/CRunData.h"
#include "engine/DispatchDecision.h"
#include "engine/LinkAcceptance.h"
#include "engine/LinkEnqueue.h"
#include "engine/RecordLookup.h"
#include "html/CTagTable.h"
#include "html/CssParser.h"
#include "html/PageParser.h"
#include "net/CHttpTransaction.h"
#include "platform/DurableFile.h"
#include "platform/FileSystem.h"
#include "url/CUrl.h"
#include "url/LocalNames.h"

namespace torvex {

namespace {

constexpr int kHelperWaitMs = 200;
// ParseThread takes no page while the download queue is this long, so that parsing cannot
// flood the queue faster than the workers drain it.
constexpr std::int32_t kParseQueueBrake = 1000;
constexpr int kParseBrakeWaitMs = 20000;
constexpr std::string_view kOpCopyFile = "CopyFile";
constexpr std::string_view kCopyFailedReason = "its copy in an older record could not be copied";

// The dispatcher's view of its task for DecideEntry.
class CTaskDispatchHost : public IDispatchHost {
public:
    explicit CTaskDispatchHost(CDownloadTask& task) : m_task(task) {}

    bool FileExists(const std::string& path) override { return torvex::FileExists(path); }
    std::int64_t FileModifiedTime(const std::string& path) override {
        return FileModificationTime(path);
    }
    bool CopyFromOldRecord(CUrlEntry& entry) override {
        if (torvex::CopyFromOldRecord(m_task, entry)) {
            return true;
        }
        // Reading from the local disk only, a stored page whose copy fails is dropped by the
        // decision; it goes on the failure list. (A file still arriving in the older record is
        // fetched after the copy whatever came of it.)
        if (m_task.Settings().UpdateMode == 0 && entry.state == EntryState::Stored) {
            m_task.FileFailed(entry, kOpCopyFile, 0, std::string(kCopyFailedReason));
        }
        return false;
    }
    void ToParse(const CUrlEntry& entry) override { torvex::ToParse(m_task, entry); }
    void WriteStatusLine(CUrlEntry& entry) override { m_task.WriteStatusLine(entry); }
    void RecordStartPage(const CUrlEntry& entry) override { m_task.RecordStartPage(entry); }
    void AddTotalFiles() override { m_task.counters.TotalFiles.fetch_add(1); }
    void AddPassed() override { m_task.counters.Passed.fetch_add(1); }

private:
    CDownloadTask& m_task;
};

// The engine as the page parser sees it while one page is read.
class CParseSink : public IFoundLinkSink {
public:
    CParseSink(CDownloadTask& task, const CUrlEntry& page) : m_task(task), m_page(page) {}

    bool LocalNamesFor(const CUrl& url, std::string& localDir, std::string& fileName) override {
        return LocalNames(url, true, m_task.Paths().recordDownloadDirLength, localDir, fileName);
    }
    void OfferLink(const CFoundLink& link) override {
        if (m_failed) {
            return;
        }
        const EnqueueResult result = EnqueueResolved(
            m_task, link.url, EntryUrlText(link.url), std::string(link.localDir),
            std::string(link.fileName), link.level, m_page.level, link.tagCode, m_page.startIndex,
            link.referrer);
        m_failed = result == EnqueueResult::Error;
        m_enqueued = m_enqueued || result == EnqueueResult::Enqueued;
    }
    void OfferUnstorableLink(const CFoundLink& link) override {
        const std::string text = EntryUrlText(link.url);
        if (m_task.Pipeline().LinkAcceptance(m_task, text, link.level, link.tagCode,
                                              m_page.startIndex)) {
            m_task.FileFailed(text, kOpLongFilePath, 0,
                              "its local path would be longer than the " +
                                  std::to_string(kMaxLocalPath) +
                                  " characters a stored file may have here");
        }
    }
    bool StopRequested() override { return m_failed || m_task.flags.Stopping.load(); }
    // Whether any link went onto the dispatcher's queue.
    bool Enqueued() const { return m_enqueued; }

private:
    CDownloadTask& m_task;
    const CUrlEntry& m_page;
    bool m_failed = false;
    bool m_enqueued = false;
};

// Reads the links of a page this run stored: the page is rewritten with local links and its
// link map written. The entry stays in state '3' when the page cannot be read or the run stops
// in the middle.
void ParseStoredPage(CDownloadTask& task, CUrlEntry& entry) {
    entry.state = EntryState::Parsing;
    task.WriteStatusLine(entry);
    std::string storedPath;
    if (!StoredPath(task.Paths().recordDownloadDir, entry.localDir, entry.fileName,
                    entry.extension, storedPath)) {
        return;
    }
    std::string text;
    if (!ReadFileText(storedPath, text)) {
        return;
    }
    CPageInfo page;
    page.url = entry.url;
    page.localDir = entry.localDir;
    page.level = entry.level;
    page.linkCode = entry.linkCode;
    page.referrer = entry.referrer;
    std::string out;
    std::string linkMap;
    CParseSink sink(task, entry);
    if (IsStyleSheetName(entry.fileName + entry.extension)) {
        CssParser(page, text, out, linkMap, sink);
    } else {
        PageParser(page, text, out, linkMap, sink);
    }
    if (sink.Enqueued()) {
        task.DispatchWork().Signal();
    }
    if (sink.StopRequested()) {
        return;
    }
    const std::string linkMapPath = LinkMapPath(task.Paths().recordLinkMapDir, entry);
    // The link map first: a page whose map exists is one whose links were read. Both are
    // replaced whole, never left half written; they are not synced one by one (a run writes
    // thousands, and after a power loss the status log sends a page without its map back to
    // be fetched). Most maps go into a folder that holds maps already: it is made only when
    // the write finds it missing.
    const auto writeMap = [&] {
        return ReplaceFileDurably(linkMapPath, linkMap, FileAccess::Shared, FileSync::AtomicOnly,
                                  FileWriters::One);
    };
    bool mapWritten = writeMap();
    if (!mapWritten && errno == ENOENT) {
        MakeParentDirectory(linkMapPath);
        mapWritten = writeMap();
    }
    if (!mapWritten) {
        return;
    }
    if (out != text &&
        !ReplaceFileDurably(storedPath, out, FileAccess::Shared, FileSync::AtomicOnly,
                            FileWriters::One)) {
        return;
    }
    entry.state = EntryState::Complete;
    task.WriteStatusLine(entry);
}

// Tells the monitor when this thread's going idle may have been the last step of the run.
void NudgeWhenDrained(CDownloadTask& task) {
    if (task.DiscoveredQueue().IsEmpty() && task.DownloadQueue().IsEmpty() &&
        task.ParseQueue().IsEmpty() && task.CopyQueue().IsEmpty()) {
        task.NudgeMonitor();
    }
}

} // namespace

int CRunPipeline::SeedStartAddresses(CDownloadTask& task, bool withCredentials) {
    CProjectSettings& settings = task.MutableSettings();
    int count = 0;
    std::size_t i = 0;
    while (i < settings.Addresses.size()) {
        const CStartAddress& address = settings.Addresses[i];
        CUrlEntry entry;
        const CUrl url(address.StartURL);
        if (!url.IsValid()) {
            return -1;
        }
        if (!MakeEntry(task, url, entry)) {
            ++i;   // its local path would be too long: left out
            continue;
        }
        if (!withCredentials) {
            ++count;
            ++i;
            continue;
        }
        if (entry.url.UserName() == nullptr && !address.Username.empty()) {
            entry.url.SetUserName(address.Username);
            entry.url.SetPassword(address.Password);
        }
        entry.level = 1;
        entry.startIndex = static_cast<std::int32_t>(i);
        entry.linkCode = kLinkCodeBaseLine;
        const int seen = task.MarkSeen(entry);
        if (seen < 0) {
            return -1;
        }
        if (seen == 0) {
            // The same address once more: the copy leaves the run's list, and the next address
            // takes its index.
            settings.Addresses.erase(settings.Addresses.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        task.DiscoveredQueue().PushBack(entry);
        ++count;
        ++i;
    }
    return count;
}

bool CRunPipeline::LinkAcceptance(CDownloadTask& task, std::string_view composed, int level,
                                  int linkCode, int startIndex) {
    return torvex::LinkAcceptance(RunDataOf(task).linkRules, composed, level, linkCode,
                                  startIndex);
}

void CRunPipeline::DispatchThread(CDownloadTask& task) {
    CTaskDispatchHost host(task);
    const CProjectSettings& settings = task.Settings();
    DispatchContext context;
    context.updateMode = settings.UpdateMode;
    context.firstPage = settings.FirstPage != 0;
    context.runMode = static_cast<int>(task.Mode());
    while (!task.flags.Stopping.load()) {
        task.flags.DispatchBusy = true;
        context.startTime = task.StartTime();
        context.recordTime = task.RecordTime();
        CUrlEntry entry;
        while (!task.flags.Stopping.load() && task.DiscoveredQueue().PopFront(entry)) {
            bool foundInLatest = false;
            const bool found = FindInRecords(task, entry, foundInLatest);
            switch (DecideEntry(entry, found, foundInLatest, context, host)) {
            case DispatchAction::Download:
                task.DownloadQueue().PushBack(entry);
                task.WorkersWork().Signal();
                break;
            case DispatchAction::Copy:
                ToCopy(task, entry);
                break;
            case DispatchAction::Skip:
            case DispatchAction::Done:
                break;
            }
        }
        task.flags.DispatchBusy = false;
        NudgeWhenDrained(task);
        task.DispatchWork().WaitFor(kHelperWaitMs);
    }
}

namespace {

// One parse thread's loop: the pages of the parse queue, `slot` naming its parse entry.
void ParsePages(CDownloadTask& task, int slot) {
    while (!task.flags.Stopping.load()) {
        task.flags.ParseBusy.fetch_add(1);
        CUrlEntry entry;
        while (task.DownloadQueue().Count() < kParseQueueBrake &&
               task.ParseQueue().PopFront(entry)) {
            task.SetParseEntry(entry, slot);
            if (entry.state == EntryState::Stored) {
                ParseStoredPage(task, entry);
            } else {
                EnqueueFromLinkMap(task, entry);
            }
            if (task.flags.Stopping.load()) {
                break;   // the entry stays the parse entry: the break point keeps it
            }
            task.ClearParseEntry(slot);
        }
        task.flags.ParseBusy.fetch_sub(1);
        NudgeWhenDrained(task);
        task.ParseWork().WaitFor(task.DownloadQueue().Count() > kParseQueueBrake
                                     ? kParseBrakeWaitMs
                                     : kHelperWaitMs);
    }
    // The run stops: the wake that ended this thread's wait is passed on to the other one.
    task.ParseWork().Signal();
}

} // namespace

void CRunPipeline::ParseThread(CDownloadTask& task) {
    // Reading pages is the one step that all of a run's pages pass through one at a time: with
    // several workers fetching them on a machine of several cores, a second thread reads pages
    // beside this one. With one worker pages come one at a time, and they are read in the order
    // they came.
    std::thread helper;
    if (task.Settings().DownthreadNum > 1 && std::thread::hardware_concurrency() > 1) {
        try {
            helper = std::thread([&task] { ParsePages(task, 1); });
        } catch (const std::system_error&) {
            // No second thread to be had: this one reads every page.
        }
    }
    ParsePages(task, 0);
    if (helper.joinable()) {
        helper.join();
    }
}

namespace {

// A file that could not be taken over from an older record (that copy is unreadable or gone,
// this record's copy cannot be written) is never dropped without a trace: it is fetched afresh,
// or, when the project reads from the local disk only, listed as not stored.
void CopyFailed(CDownloadTask& task, CUrlEntry& entry) {
    if (task.Settings().UpdateMode == 0) {
        task.FileFailed(entry, kOpCopyFile, 0, std::string(kCopyFailedReason));
        return;
    }
    entry.lastModified.clear();
    entry.readed = 0;
    entry.state = EntryState::Initial;
    task.DownloadQueue().PushBack(entry);
    task.WorkersWork().Signal();
}

} // namespace

void CRunPipeline::CopyThread(CDownloadTask& task) {
    const CProjectSettings& settings = task.Settings();
    while (!task.flags.Stopping.load()) {
        task.flags.CopyBusy = true;
        CUrlEntry entry;
        while (!task.flags.Stopping.load() && task.CopyQueue().PopFront(entry)) {
            if (!CopyFromOldRecord(task, entry)) {
                CopyFailed(task, entry);
                continue;
            }
            if (IsConvertedState(entry.state)) {
                entry.state = EntryState::TakenOver;
                task.flags.NeedsConversion = true;
            }
            if (entry.nameLetter == NameLetter::RenamedLater ||
                (entry.nameLetter == NameLetter::PageOwnName && settings.AutoExt)) {
                task.flags.NeedsConversion = true;
            }
            if (entry.nameLetter == NameLetter::HtmlAppended ||
                entry.nameLetter == NameLetter::CssAppended) {
                task.flags.NeedsConversion = true;
                task.flags.HasRenamedFile = true;
            }
            task.WriteStatusLine(entry);
            task.counters.TotalFiles.fetch_add(1);
            task.counters.Passed.fetch_add(1);
            if (entry.referrer.empty() && entry.startIndex == 0) {
                task.RecordStartPage(entry);
            }
        }
        task.flags.CopyBusy = false;
        NudgeWhenDrained(task);
        task.CopyWork().WaitFor(kHelperWaitMs);
    }
}

void CRunPipeline::DownloadWorker(CDownloadTask& task, int slotIndex) {
    CDownloadWorker worker(task, slotIndex);
    worker.Run();
}

namespace {

std::string CookiesFile(const CDownloadTask& task) {
    return task.ProjectDir() + "/" + std::string(kCookiesName);
}

} // namespace

void CRunPipeline::LoadCookies(CDownloadTask& task) {
    // A damaged file loses only its damaged lines; the run goes on with what could be read.
    RunDataOf(task).cookieJar.LoadCookies(CookiesFile(task));
}

void CRunPipeline::SaveCookies(CDownloadTask& task) {
    // Cookies are a convenience for the next run; failing to keep them never fails this one.
    RunDataOf(task).cookieJar.SaveCookies(CookiesFile(task));
}

} // namespace torvex
