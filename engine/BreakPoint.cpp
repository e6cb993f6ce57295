#include "engine/BreakPoint.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "base/AsciiCase.h"
#include "base/BoundedText.h"
#include "engine/CDownloadTask.h"
#include "engine/CSeenSet.h"
#include "engine/IRunPipeline.h"
#include "platform/FileSystem.h"
#include "url/CUrl.h"
#include "url/LocalNames.h"

namespace torvex {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string LeftJustified(std::int32_t value, int width) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%-*d", width, static_cast<int>(value));
    return digits;
}

// A number field: blanks around it allowed, nothing else.
bool ParseField(std::string_view text, int& value) {
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return false;
    }
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool WriteEntry(std::FILE* file, CSeenSet& dedupe, const CUrlEntry& entry) {
    if (entry.urlText.empty() || dedupe.MarkSeen(entry.urlText) != 1) {
        return true;
    }
    const std::string line = BreakPointLine(entry);
    return std::fwrite(line.data(), 1, line.size(), file) == line.size();
}

// The entry one line of the break-point file stands for; false for a line that is malformed,
// names a start address the project no longer has, is refused by the link decision, or does
// not make a URL with local names.
bool EntryOfBreakPointLine(CDownloadTask& task, std::string_view text, CUrlEntry& entry) {
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    for (int i = 0; i < 6; ++i) {
        const auto tab = text.find('\t', pos);
        if (tab == std::string_view::npos) {
            return false;   // a field or its TAB is missing
        }
        fields.push_back(text.substr(pos, tab - pos));
        pos = tab + 1;
    }
    int startIndex = 0;
    int level = 0;
    int code = 0;
    if (fields[3].size() > kMaxBreakPointNumber || fields[4].size() > kMaxBreakPointNumber ||
        fields[5].size() > kMaxBreakPointNumber || !ParseField(fields[3], startIndex) ||
        !ParseField(fields[4], level) || !ParseField(fields[5], code)) {
        return false;
    }
    const CProjectSettings& settings = task.Settings();
    if (startIndex < 0 || startIndex >= static_cast<int>(settings.Addresses.size())) {
        return false;
    }
    std::string composed;
    std::string urlText;
    std::string referrer;
    AssignCut(composed, fields[0], kMaxUrlText);
    AssignCut(urlText, fields[1], kMaxUrlText);
    AssignCut(referrer, fields[2], kMaxReferrer);
    if (!task.Pipeline().LinkAcceptance(task, composed, level, code, startIndex)) {
        return false;
    }
    entry.url = CUrl(composed);
    if (!entry.url.IsValid()) {
        return false;
    }
    const std::size_t dirLength = task.Paths().recordDownloadDirLength;
    if (!urlText.empty()) {
        const CUrl named(urlText);
        if (!named.IsValid() ||
            !LocalNames(named, true, dirLength, entry.localDir, entry.fileName)) {
            return false;
        }
        entry.urlText = urlText;
    } else {
        entry.urlText = composed;
        if (!LocalNames(entry.url, true, dirLength, entry.localDir, entry.fileName)) {
            return false;
        }
    }
    const CStartAddress& start = settings.Addresses[static_cast<std::size_t>(startIndex)];
    if (referrer.empty() && !start.Username.empty()) {
        entry.url.SetUserName(start.Username);
        entry.url.SetPassword(start.Password);
    }
    entry.referrer = referrer;
    entry.level = level;
    entry.startIndex = startIndex;
    entry.linkCode = code;
    entry.baseFromReferrer = code == 5;
    return true;
}

} // namespace

std::string BreakPointLine(const CUrlEntry& entry) {
    const std::string composed = entry.url.Compose();
    std::string line = composed;
    line += '\t';
    if (!EqualsNoCase(entry.urlText, composed)) {
        line += entry.urlText;
    }
    line += '\t';
    line += entry.referrer;
    line += '\t';
    line += LeftJustified(entry.startIndex, 4);
    line += '\t';
    line += LeftJustified(entry.level, 3);
    line += '\t';
    line += LeftJustified(entry.linkCode, 3);
    line += "\t\n";
    return line;
}

void SaveBreakPoint(CDownloadTask& task, BreakPointMode mode,
                    const std::function<void()>& afterEntry) {
    const std::string& path = task.Paths().breakPointFile;
    const std::string dedupePath = path + ".tmp";
    const bool inFlight = mode == BreakPointMode::InFlight;
    CSeenSet dedupe;
    if (!dedupe.Open(dedupePath, !inFlight)) {
        return;
    }
    FilePtr file(std::fopen(path.c_str(), inFlight ? "wb" : "ab"));
    if (!file) {
        return;
    }
    if (inFlight) {
        for (int i = 0; i < task.UsedSlots(); ++i) {
            WriteEntry(file.get(), dedupe, task.Slot(i).Current());
        }
        WriteEntry(file.get(), dedupe, task.ParseEntry());
    } else {
        for (CUrlQueue* queue : {&task.DownloadQueue(), &task.ParseQueue(),
                                 &task.DiscoveredQueue(), &task.CopyQueue()}) {
            CUrlEntry entry;
            while (queue->PopFront(entry)) {
                WriteEntry(file.get(), dedupe, entry);
                if (afterEntry) {
                    afterEntry();
                }
            }
        }
    }
    file.reset();
    dedupe.Close();
    if (!inFlight) {
        RemoveFileIfExists(dedupePath);
    }
}

int ReloadBreakPoint(CDownloadTask& task) {
    FilePtr file(std::fopen(task.Paths().breakPointFile.c_str(), "rb"));
    if (!file) {
        return 0;
    }
    int pushed = 0;
    auto handleLine = [&](std::string_view text) {
        CUrlEntry entry;
        if (EntryOfBreakPointLine(task, text, entry)) {
            task.DiscoveredQueue().PushBack(entry);
            ++pushed;
        }
    };
    std::string line;
    bool tooLong = false;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, file.get())) {
        std::string_view chunk(buffer);
        const bool ended = !chunk.empty() && chunk.back() == '\n';
        if (ended) {
            chunk.remove_suffix(1);
        }
        if (!tooLong) {
            line.append(chunk);
            tooLong = line.size() > kMaxBreakPointLine;
        }
        if (ended) {
            if (!tooLong) {
                handleLine(line);
            }
            line.clear();
            tooLong = false;
        }
    }
    if (!line.empty() && !tooLong) {
        handleLine(line);
    }
    return pushed;
}

} // namespace torvex
