#include "engine/BreakPoint.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <unordered_set>
#include <string_view>
#include <vector>

#include "base/AsciiCase.h"
#include "base/BoundedText.h"
#include "engine/CDownloadTask.h"
#include "engine/CSeenSet.h"
#include "engine/IRunPipeline.h"
#include "platform/DurableFile.h"
#include "platform/FileSystem.h"
#include "url/CUrl.h"
#include "url/LocalNames.h"

namespace torvex {

namespace {

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

// The key an entry is known by in the break point and in the seen set.
std::string KeyOf(const CUrlEntry& entry) {
    return entry.urlText.substr(0, std::min(entry.urlText.size(), kMaxSeenText));
}

// Every text that ends in a LF, and a last one that does not (`cut` then says so).
std::vector<std::string_view> SplitLines(std::string_view text, bool& cut) {
    std::vector<std::string_view> lines;
    cut = false;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        if (lf == std::string_view::npos) {
            lines.push_back(text);
            cut = true;
            break;
        }
        lines.push_back(text.substr(0, lf));
        text.remove_prefix(lf + 1);
    }
    return lines;
}

// The entry one line of the break-point file stands for; false for a line that is malformed
// (`damaged` is then set: our writer never writes one), names a start address the project no
// longer has, is refused by the link decision, or does not make a URL with local names.
bool EntryOfBreakPointLine(CDownloadTask& task, std::string_view text, CUrlEntry& entry,
                           bool& damaged) {
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    if (text.size() > kMaxBreakPointLine || text.find('\0') != std::string_view::npos) {
        damaged = true;
        return false;
    }
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    for (int i = 0; i < 6; ++i) {
        const auto tab = text.find('\t', pos);
        if (tab == std::string_view::npos) {
            damaged = true;   // a field or its TAB is missing
            return false;
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
        damaged = true;
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

bool SaveBreakPoint(CDownloadTask& task, BreakPointMode mode,
                    const std::function<void()>& afterEntry) {
    const std::string& path = task.Paths().breakPointFile;
    CBreakPointDraft& draft = task.BreakPointDraft();
    // The line of an entry not written yet (its key is then taken), else nothing.
    std::vector<std::string> added;
    auto lineOf = [&](const CUrlEntry& entry) {
        if (entry.urlText.empty() || !draft.keys.insert(KeyOf(entry)).second) {
            return std::string();
        }
        added.push_back(KeyOf(entry));
        return BreakPointLine(entry);
    };
    if (mode == BreakPointMode::InFlight) {
        draft = CBreakPointDraft();
        for (int i = 0; i < task.UsedSlots(); ++i) {
            draft.text += lineOf(task.Slot(i).Current());
        }
        for (int slot = 0; slot < kParseSlots; ++slot) {
            draft.text += lineOf(task.ParseEntry(slot));
        }
        draft.failed = !ReplaceFileDurably(path, draft.text);
        return !draft.failed;
    }

    // The lines of the in-flight mode come first again: written before, or, when that failed,
    // still waiting in the draft.
    CDurableFileWriter writer(path);
    bool ok = writer.Open() && writer.Append(draft.text);
    struct Taken {
        CUrlQueue* queue;
        CUrlEntry entry;
    };
    std::vector<Taken> taken;
    std::string lines;
    for (CUrlQueue* queue : {&task.DownloadQueue(), &task.ParseQueue(), &task.DiscoveredQueue(),
                             &task.CopyQueue()}) {
        CUrlEntry entry;
        while (ok && queue->PopFront(entry)) {
            lines += lineOf(entry);
            if (lines.size() >= 65536) {
                ok = writer.Append(lines);
                lines.clear();
            }
            taken.push_back({queue, std::move(entry)});
            if (afterEntry) {
                afterEntry();
            }
        }
    }
    ok = ok && writer.Append(lines) && writer.Commit();
    if (!ok) {
        // The entries stay with the task, in their order, for another try; none is lost.
        for (auto it = taken.rbegin(); it != taken.rend(); ++it) {
            it->queue->PushFront(it->entry);
        }
        for (const std::string& key : added) {
            draft.keys.erase(key);
        }
        draft.failed = true;
        return false;
    }
    draft.failed = false;
    // The dedupe file of earlier versions of the program has no use any more.
    RemoveFileIfExists(path + ".tmp");
    return true;
}

int ReloadBreakPoint(CDownloadTask& task) { return ReloadBreakPointChecked(task).pushed; }

CBreakPointReload ReloadBreakPointChecked(CDownloadTask& task) {
    CBreakPointReload result;
    std::string content;
    if (!ReadFileText(task.Paths().breakPointFile, content)) {
        return result;
    }
    std::unordered_set<std::string> seen;
    std::string seenText;
    bool seenCut = false;
    bool cut = false;
    if (ReadFileText(task.Paths().seenSet, seenText)) {
        for (std::string_view key : SplitLines(seenText, seenCut)) {
            if (!key.empty() && key.back() == '\r') {
                key.remove_suffix(1);
            }
            seen.emplace(key.substr(0, kMaxSeenText));
        }
    }
    for (std::string_view line : SplitLines(content, cut)) {
        ++result.lines;
        CUrlEntry entry;
        if (!EntryOfBreakPointLine(task, line, entry, result.damaged)) {
            continue;
        }
        // Every entry of a break point was enqueued, and so recorded in the seen set, by the
        // run that wrote it.
        if (seen.count(KeyOf(entry)) == 0) {
            result.unpaired = true;
        }
        task.DiscoveredQueue().PushBack(entry);
        ++result.pushed;
    }
    if (cut) {
        result.damaged = true;   // every line our writer writes ends in a LF
    }
    return result;
}

} // namespace torvex
