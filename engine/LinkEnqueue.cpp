#include "engine/LinkEnqueue.h"

#include <cstdio>
#include <memory>

#include "base/BoundedText.h"
#include "engine/CDownloadTask.h"
#include "engine/CRunData.h"
#include "engine/IRunPipeline.h"
#include "html/CTagTable.h"
#include "url/LocalNames.h"

namespace torvex {

namespace {

constexpr std::size_t kMaxLinkMapLine = 1024;

} // namespace

int LinkLevel(int pageLevel, int linkCode) {
    return CTagTable::LeadsDeeper(linkCode) ? pageLevel + 1 : pageLevel;
}

bool MakeEntry(CDownloadTask& task, const CUrl& url, CUrlEntry& entry) {
    if (!url.IsValid()) {
        return false;
    }
    entry.url = url;
    entry.urlText = EntryUrlText(url);
    return LocalNames(entry, task.Paths().recordDownloadDirLength);
}

EnqueueResult EnqueueResolved(CDownloadTask& task, const CUrl& url, std::string urlText,
                              std::string localDir, std::string fileName, int level,
                              int pageLevel, int linkCode, int startIndex,
                              std::string_view referrer) {
    if (!task.Pipeline().LinkAcceptance(task, urlText, level, linkCode, startIndex)) {
        return EnqueueResult::Skipped;
    }
    CUrlEntry entry;
    entry.url = url;
    entry.urlText = std::move(urlText);
    entry.localDir = std::move(localDir);
    entry.fileName = std::move(fileName);
    entry.level = level;
    entry.startIndex = startIndex;
    entry.linkCode = linkCode;
    entry.baseFromReferrer = linkCode == static_cast<int>(TagCode::Script);
    AssignCut(entry.referrer, referrer, kMaxReferrer);
    const int seen = task.MarkSeen(entry);
    if (seen < 0) {
        task.StopTask(TaskStatus::Failed, RunEndCode::TempFileFailed);
        return EnqueueResult::Error;
    }
    if (seen == 0) {
        return EnqueueResult::Skipped;
    }
    if (level == pageLevel) {
        task.DiscoveredQueue().PushFront(entry);
    } else {
        task.DiscoveredQueue().PushBack(entry);
    }
    return EnqueueResult::Enqueued;
}

EnqueueResult EnqueueLink(CDownloadTask& task, const CUrlEntry& page, std::string_view text,
                          int linkCode) {
    if (linkCode == kLinkCodeBaseLine || linkCode == kLinkCodeInvalid) {
        return EnqueueResult::Skipped;
    }
    CUrlEntry entry;
    if (!MakeEntry(task, CUrl(text), entry)) {
        return EnqueueResult::Skipped;
    }
    const std::string referrer = page.baseFromReferrer ? page.referrer : page.url.Compose();
    return EnqueueResolved(task, entry.url, std::move(entry.urlText), std::move(entry.localDir),
                           std::move(entry.fileName), LinkLevel(page.level, linkCode), page.level,
                           linkCode, page.startIndex, referrer);
}

bool EnqueueFromLinkMap(CDownloadTask& task, const CUrlEntry& page) {
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file(std::fopen(page.foundLinkMapPath.c_str(), "rb"));
    if (!file) {
        return false;
    }
    std::string line;
    bool enqueued = false;
    auto handle = [&](std::string_view text) {
        const std::size_t tab = text.find('\t');
        if (tab == std::string_view::npos || tab == 0) {
            return true;
        }
        const std::string_view url = text.substr(0, tab);
        std::string_view rest = text.substr(tab + 1);
        const std::size_t end = rest.find_first_of(" \t");
        rest = rest.substr(0, end);
        int code = 0;
        bool negative = false;
        std::size_t i = 0;
        if (!rest.empty() && rest[0] == '-') {
            negative = true;
            i = 1;
        }
        if (i >= rest.size()) {
            return true;   // no code: not a line of ours
        }
        for (; i < rest.size(); ++i) {
            if (rest[i] < '0' || rest[i] > '9' || code > 1000) {
                return true;
            }
            code = code * 10 + (rest[i] - '0');
        }
        if (negative) {
            code = -code;
        }
        const EnqueueResult result = EnqueueLink(task, page, url, code);
        enqueued = enqueued || result == EnqueueResult::Enqueued;
        return result != EnqueueResult::Error;
    };
    int c = 0;
    bool keepGoing = true;
    while (keepGoing && (c = std::fgetc(file.get())) != EOF) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            keepGoing = handle(line) && !task.flags.Stopping.load();
            line.clear();
        } else if (line.size() < kMaxLinkMapLine) {
            line.push_back(static_cast<char>(c));
        }
    }
    if (keepGoing && !line.empty()) {
        handle(line);
    }
    if (enqueued) {
        task.DispatchWork().Signal();
    }
    return true;
}

} // namespace torvex
