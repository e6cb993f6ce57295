#include "RunFakes.h"

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/FileSystem.h"
#include "url/CUrl.h"
#include "url/LocalNames.h"

namespace torvex::test {

CGate::CGate(int seconds) {
    m_watchdog = std::thread([this, seconds] {
        std::unique_lock<std::mutex> guard(m_lock);
        if (!m_changed.wait_for(guard, std::chrono::seconds(seconds), [this] { return m_open; })) {
            m_open = true;
            m_byWatchdog = true;
            m_changed.notify_all();
        }
    });
}

CGate::~CGate() {
    Open();
    m_watchdog.join();
}

void CGate::Open() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_open = true;
    m_changed.notify_all();
}

void CGate::Wait() {
    std::unique_lock<std::mutex> guard(m_lock);
    m_changed.wait(guard, [this] { return m_open; });
}

bool CGate::OpenedByWatchdog() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_byWatchdog;
}

bool CFakeFreeSpace::FreeBytes(std::string_view, std::uint64_t& out) {
    if (fails.load()) {
        return false;
    }
    out = bytes.load();
    return true;
}

void CMessageLog::OnTaskMessage(const CTaskMessage& message) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_all.push_back(message);
    }
    m_changed.notify_all();
}

bool CMessageLog::WaitForEnd(int seconds) {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::seconds(seconds), [this] {
        for (const Message& m : m_all) {
            if (m.IsEnd()) {
                return true;
            }
        }
        return false;
    });
}

bool CMessageLog::Take(Message& out, int milliseconds) {
    std::unique_lock<std::mutex> guard(m_lock);
    if (!m_changed.wait_for(guard, std::chrono::milliseconds(milliseconds),
                            [this] { return m_taken < m_all.size(); })) {
        return false;
    }
    out = m_all[m_taken++];
    return true;
}

std::vector<CMessageLog::Message> CMessageLog::All() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_all;
}

std::vector<TaskMessage> CMessageLog::Numbers() const {
    std::vector<TaskMessage> numbers;
    for (const Message& m : All()) {
        if (m.message != TaskMessage::BreakPointProgress &&
            m.message != TaskMessage::EndWorkDone) {
            numbers.push_back(m.message);
        }
    }
    return numbers;
}

bool CScriptedPrompter::AskYesNo(std::string_view text, bool) {
    said.push_back("yesno: " + std::string(text));
    if (answers.empty()) {
        return true;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

bool CScriptedPrompter::AskOkCancel(std::string_view text) {
    said.push_back("okcancel: " + std::string(text));
    if (answers.empty()) {
        return true;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

int CStandInPipeline::SeedStartAddresses(CDownloadTask& task, bool withCredentials) {
    int count = 0;
    const auto& addresses = task.Settings().Addresses;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        CUrlEntry entry;
        entry.url = CUrl(addresses[i].StartURL);
        if (!entry.url.IsValid()) {
            return -1;
        }
        entry.urlText = EntryUrlText(entry.url);
        if (!LocalNames(entry, task.Paths().recordDownloadDirLength)) {
            continue;
        }
        if (!withCredentials) {
            ++count;
            continue;
        }
        entry.level = 1;
        entry.startIndex = static_cast<std::int32_t>(i);
        entry.linkCode = -1;
        const int seen = task.MarkSeen(entry);
        if (seen < 0) {
            return -1;
        }
        if (seen == 1) {
            task.DiscoveredQueue().PushBack(entry);
            ++count;
        }
    }
    return count;
}

bool CStandInPipeline::LinkAcceptance(CDownloadTask&, std::string_view composed, int, int, int) {
    return refused.count(std::string(composed)) == 0;
}

void CStandInPipeline::DispatchThread(CDownloadTask& task) {
    while (!task.flags.Stopping.load()) {
        task.flags.DispatchBusy = true;
        CUrlEntry entry;
        while (!task.flags.Stopping.load() && task.DiscoveredQueue().PopFront(entry)) {
            task.DownloadQueue().PushBack(entry);
            task.WorkersWork().Signal();
        }
        task.flags.DispatchBusy = false;
        task.DispatchWork().WaitFor(20);
    }
}

void CStandInPipeline::ParseThread(CDownloadTask& task) {
    while (!task.flags.Stopping.load()) {
        task.ParseWork().WaitFor(50);
    }
}

void CStandInPipeline::CopyThread(CDownloadTask& task) {
    while (!task.flags.Stopping.load()) {
        task.CopyWork().WaitFor(50);
    }
}

void CStandInPipeline::DownloadWorker(CDownloadTask& task, int slotIndex) {
    ++workersStarted;
    CWorkerSlot& slot = task.Slot(slotIndex);
    auto holdUntilAbort = [&slot](int state) {
        slot.state = state;
        while (!slot.abort.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    while (!slot.abort.load()) {
        slot.idle = false;
        CUrlEntry entry;
        while (!slot.abort.load() && task.DownloadQueue().PopFront(entry)) {
            // As the real worker does: the workers' event wakes one sleeper for a burst of
            // signals, so whoever takes an entry passes the wake-up on while work is left (a
            // worker that then holds its entry would otherwise leave the rest queued).
            if (!task.DownloadQueue().IsEmpty()) {
                task.WorkersWork().Signal();
            }
            slot.SetCurrent(entry);
            if (entry.urlText.find("slowlookup") != std::string::npos) {
                holdUntilAbort(SlotState::FindingHost);
            } else if (entry.urlText.find("stuckdns") != std::string::npos && stuckLookup) {
                slot.state = SlotState::FindingHost;
                stuckLookup->Wait();
            } else if (entry.urlText.find("hold") != std::string::npos) {
                slot.SetProgress(100, 1000);
                entry.readed = 100;
                entry.total = 1000;
                task.WriteStatusLine(entry);
                holdUntilAbort(SlotState::Reading);
            } else if (entry.urlText.find("fail") == std::string::npos) {
                std::string path;
                if (StoredPath(task.Paths().recordDownloadDir, entry.localDir, entry.fileName,
                               entry.extension, path)) {
                    MakeDirectoryPath(task.Paths().recordDownloadDir + "/" + entry.localDir);
                    std::ofstream(path, std::ios::binary) << "stored";
                    entry.state = EntryState::Complete;
                    entry.readed = 6;
                    entry.total = 6;
                    task.WriteStatusLine(entry);
                    task.FileStored(entry, false);
                }
            }
            if (slot.abort.load()) {
                return;   // the entry stays current: it belongs in the break point
            }
            slot.ClearCurrent();
            slot.state = SlotState::Empty;
        }
        slot.idle = true;
        if (slot.abort.load()) {
            break;
        }
        task.WorkersWork().Wait();
    }
}

CProjectSettings ProjectIn(const std::string& dir, const std::vector<std::string>& addresses) {
    CProjectSettings settings;
    settings.Name = "Sample";
    settings.ProjectDir = dir;
    settings.DownthreadNum = 2;
    settings.BackupLast = 0;
    settings.Cookie = false;
    for (const std::string& address : addresses) {
        CStartAddress start;
        start.StartURL = address;
        settings.Addresses.push_back(start);
    }
    return settings;
}

bool WriteProjectConf(const std::string& dir, const std::string& name, const std::string& folders,
                      const std::string& fileName) {
    MakeDirectoryPath(dir);
    CProjectSettings settings = ProjectIn(dir, {"http://h/" + name + "/"});
    settings.Name = name;
    return settings.WriteProjectFile(dir + "/" + fileName, folders);
}

} // namespace torvex::test
