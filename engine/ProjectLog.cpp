#include "engine/ProjectLog.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>

#include "base/AsciiCase.h"
#include "base/BoundedText.h"
#include "base/CSettingsReader.h"
#include "platform/DurableFile.h"
#include "platform/FileSystem.h"
#include "platform/ProjectLock.h"

namespace torvex {

namespace {

bool ReadWhole(const std::string& path, std::string& text) {
    if (!ReadFileText(path, text)) {
        text.clear();
        return false;
    }
    if (text.size() > kMaxSettingsFileSize) {
        text.clear();   // no record file of ours is this large
        return false;
    }
    return true;
}

std::string_view TrimLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.remove_suffix(1);
    }
    return line;
}

std::string_view TrimFront(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    return text;
}

// The name of a section header line "[name]" (a trailing CR and blanks ignored).
std::optional<std::string_view> HeaderName(std::string_view line) {
    line = TrimLineEnd(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') {
        return std::nullopt;
    }
    return line.substr(1, line.size() - 2);
}

// The first "latest" section.
const CLogSection* FindLatest(const std::vector<CLogSection>& sections) {
    for (const CLogSection& section : sections) {
        if (EqualsNoCase(section.name, kLatestSection)) {
            return &section;
        }
    }
    return nullptr;
}

// The project directory of a project.log path.
std::string ProjectDirOf(const std::string& projectLog) {
    const auto slash = projectLog.rfind('/');
    return slash == std::string::npos ? std::string(".") : projectLog.substr(0, slash);
}

// A record time that a 32-bit file field can carry, else -1 (a damaged value must not push
// the next record time out of range).
std::int64_t SaneTime(const CRecordInfo& record) {
    return record.RecordTime >= 0 && record.RecordTime < INT32_MAX ? record.RecordTime : -1;
}

bool IsDecimal(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Padded(std::int64_t value, int width) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%-*d", width, static_cast<int>(value));
    return digits;
}

std::string HeaderLines(const CRecordInfo& values) {
    return "RecordTime=" + Padded(values.RecordTime, 10) + "\nStartTime=" +
           Padded(values.StartTime, 10) + "\nStatus=" + Padded(values.Status, 2) + "\n";
}

} // namespace

void ReadRecordInfo(const CSettingsReader& reader, CRecordInfo& info) {
    std::int64_t number = 0;
    int status = 0;
    if (reader.ReadLong("RecordTime", number)) {
        info.RecordTime = number;
    } else if (reader.ReadLong("StartTime", number)) {
        info.RecordTime = number;
    }
    if (reader.ReadLong("StartTime", number)) {
        info.StartTime = number;
    }
    if (reader.ReadInt("Status", status)) {
        info.Status = status;
    }
    std::string page;
    if (reader.ReadText("StartPage", page, kMaxStartPage)) {
        std::replace(page.begin(), page.end(), '\\', '/');
        info.StartPage = page;
    }
    if (reader.ReadLong("EndTime", number)) {
        info.EndTime = number;
    }
    if (reader.ReadLong("ElapsedTime", number)) {
        info.ElapsedTime = number;
    }
    if (reader.ReadLong("TotalFiles", number)) {
        info.TotalFiles = static_cast<std::int32_t>(number);
    }
    if (reader.ReadLong("Downloaded", number)) {
        info.Downloaded = static_cast<std::int32_t>(number);
    }
    bool renamed = false;
    if (reader.ReadFlag("HasRenamedFile", renamed)) {
        info.HasRenamedFile = renamed;
    }
}

std::vector<CLogSection> SplitSections(std::string_view text) {
    std::vector<CLogSection> sections;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto lf = text.find('\n', pos);
        const std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        const std::size_t next = lf == std::string_view::npos ? text.size() : lf + 1;
        if (const auto name = HeaderName(text.substr(pos, end - pos))) {
            if (!sections.empty()) {
                sections.back().end = pos;
            }
            sections.push_back(CLogSection{std::string(*name), pos, next, text.size()});
        }
        pos = next;
    }
    return sections;
}

CRecordInfo SectionRecordInfo(std::string_view text, const CLogSection& section) {
    CSettingsReader reader;
    reader.OpenText(std::string(text.substr(section.body, section.end - section.body)));
    CRecordInfo info;
    ReadRecordInfo(reader, info);
    // A running section collects one StartPage line per stored start page; the first counts
    // (the settings reader would give the last).
    const std::string_view body = text.substr(section.body, section.end - section.body);
    for (std::size_t pos = 0; pos < body.size();) {
        const std::size_t lf = std::min(body.find('\n', pos), body.size());
        const std::string_view line = TrimLineEnd(body.substr(pos, lf - pos));
        pos = lf + 1;
        constexpr std::string_view kKey = "StartPage=";
        if (StartsWithNoCase(line, kKey)) {
            std::string page;
            AssignCut(page, TrimFront(line.substr(kKey.size())), kMaxStartPage);
            std::replace(page.begin(), page.end(), '\\', '/');
            info.StartPage = page;
            break;
        }
    }
    info.IsLatest = EqualsNoCase(section.name, kLatestSection);
    return info;
}

std::string SectionRecordName(std::string_view text, const CLogSection& section,
                              std::size_t capacity) {
    CSettingsReader reader;
    reader.OpenText(std::string(text.substr(section.body, section.end - section.body)));
    for (std::string_view key : {"RecordTime", "StartTime"}) {
        std::string name;
        if (reader.ReadText(key, name, capacity)) {
            name = std::string(TrimLineEnd(TrimFront(name)));
            if (IsDecimal(name)) {
                return name;
            }
        }
    }
    return {};
}

bool IsRecordName(std::string_view name) {
    return name == kLatestSection || (name.size() <= 10 && IsDecimal(name));
}

bool IsSoundProjectLog(std::string_view text) {
    if (text.empty() || text.back() != '\n' || text.find('\0') != std::string_view::npos) {
        return false;
    }
    bool sawHeader = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto lf = text.find('\n', pos);
        const std::string_view line = TrimLineEnd(text.substr(pos, lf - pos));
        pos = lf + 1;
        if (line.empty()) {
            continue;
        }
        if (HeaderName(line)) {
            sawHeader = true;
        } else if (line.front() == '#' || line.front() == ';') {
            continue;
        } else if (line.find('=') == std::string_view::npos || line.front() == '=') {
            return false;   // a line cut short, or no text of ours
        }
    }
    return sawHeader;
}

ProjectLogSource ReadProjectLog(const std::string& projectLog, std::string& text) {
    const bool haveLog = ReadWhole(projectLog, text);
    if (haveLog && IsSoundProjectLog(text)) {
        return ProjectLogSource::Log;
    }
    std::string copy;
    const bool haveCopy = ReadWhole(projectLog + ".bak", copy);
    if (haveCopy && IsSoundProjectLog(copy)) {
        text = std::move(copy);
        return ProjectLogSource::Backup;
    }
    if (haveLog && !text.empty()) {
        return ProjectLogSource::Log;
    }
    if (haveCopy && !copy.empty()) {
        text = std::move(copy);
        return ProjectLogSource::Backup;
    }
    text.clear();
    return haveLog ? ProjectLogSource::Log : ProjectLogSource::Missing;
}

bool RewriteProjectLog(const std::string& projectLog, std::string_view text) {
    const std::string backup = projectLog + ".bak";
    std::string previous;
    if (ReadWhole(projectLog, previous) && IsSoundProjectLog(previous) &&
        !ReplaceFileDurably(backup, previous)) {
        return false;   // without the copy a failure below could leave no sound version
    }
    if (!ReplaceFileDurably(projectLog, text)) {
        return false;
    }
    return ReplaceFileDurably(backup, text);
}

bool BeginRecord(const std::string& projectLog, int runMode, bool backupLast,
                 CRecordInfo& values) {
    const ProjectLogGuard guard(ProjectDirOf(projectLog));
    std::string text;
    ReadProjectLog(projectLog, text);   // a missing project.log starts empty
    const std::vector<CLogSection> sections = SplitSections(text);
    std::int64_t newestBackup = -1;
    for (const CLogSection& section : sections) {
        if (EqualsNoCase(section.name, kBackupSection)) {
            newestBackup = std::max(newestBackup, SaneTime(SectionRecordInfo(text, section)));
        }
    }
    std::string out;
    const CLogSection* latest = FindLatest(sections);
    if (!latest) {
        out = text;
        if (!out.empty() && out.back() != '\n') {
            out += '\n';
        }
    } else {
        out = text.substr(0, latest->header);
        // Sections behind the latest one (there should be none) are dropped with it.
        std::string body = text.substr(latest->body, latest->end - latest->body);
        const CRecordInfo old = SectionRecordInfo(text, *latest);
        if (runMode == 1 || runMode == 2) {
            values.RecordTime = old.RecordTime;
        }
        if (runMode == 1) {
            values.ElapsedTime = old.ElapsedTime;
            values.Downloaded = old.Downloaded;
            values.TotalFiles = old.TotalFiles;
        }
        if (backupLast) {
            newestBackup = std::max(newestBackup, SaneTime(old));
            if (body.size() > kMaxCarriedBody) {
                // Only whole lines are carried over.
                body.resize(kMaxCarriedBody);
                const auto lf = body.rfind('\n');
                body.resize(lf == std::string::npos ? 0 : lf + 1);
            }
            if (!body.empty() && body.back() != '\n') {
                body += '\n';
            }
            out += "[" + std::string(kBackupSection) + "]\n" + body;
        }
    }
    if (runMode == 0 && values.RecordTime <= newestBackup) {
        values.RecordTime = newestBackup + 1;
    }
    out += "[" + std::string(kLatestSection) + "]\n" + HeaderLines(values);
    return RewriteProjectLog(projectLog, out);
}

bool WriteTaskRecord(const std::string& projectLog, const CRecordInfo& values) {
    const ProjectLogGuard guard(ProjectDirOf(projectLog));
    std::string text;
    ReadProjectLog(projectLog, text);
    const std::vector<CLogSection> sections = SplitSections(text);
    std::string out;
    if (const CLogSection* latest = FindLatest(sections)) {
        out = text.substr(0, latest->body);
        if (out.back() != '\n') {
            out += '\n';
        }
    } else {
        // Without a latest section the file's backup sections are kept and one is added.
        out = text;
        if (!out.empty() && out.back() != '\n') {
            out += '\n';
        }
        out += "[" + std::string(kLatestSection) + "]\n";
    }
    out += HeaderLines(values);
    out += "StartPage=" + values.StartPage + "\nEndTime=" + Padded(values.EndTime, 10) +
           "\nElapsedTime=" + Padded(values.ElapsedTime, 10) + "\nTotalFiles=" +
           Padded(values.TotalFiles, 10) + "\nDownloaded=" + Padded(values.Downloaded, 10) + "\n";
    if (values.HasRenamedFile) {
        out += "HasRenamedFile=1\n";
    }
    return RewriteProjectLog(projectLog, out);
}

bool AppendStartPage(const std::string& projectLog, std::string_view startPage) {
    // The same lock as the rewrites: an append that lands while another thread or a record
    // command rewrites the file would be lost with the old file, or land in the middle of it.
    const ProjectLogGuard guard(ProjectDirOf(projectLog));
    return AppendFileDurably(projectLog, "StartPage=" + std::string(startPage) + "\n");
}

} // namespace torvex
