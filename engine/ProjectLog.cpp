#include "engine/ProjectLog.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "html/AsciiCase.h"
#include "html/BoundedText.h"
#include "platform/FileSystem.h"
#include "project/CSettingsReader.h"

namespace torvex {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool ReadWhole(const std::string& path, std::string& text) {
    text.clear();
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return false;
    }
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        text.append(buffer, got);
    }
    return std::ferror(file.get()) == 0;
}

bool WriteWhole(const std::string& path, std::string_view text) {
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    return std::fclose(file.release()) == 0 && written;
}

// The line "[name]" (the name without regard to case; a trailing CR and blanks ignored).
bool IsHeader(std::string_view line, std::string_view name) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.remove_suffix(1);
    }
    return line.size() == name.size() + 2 && line.front() == '[' && line.back() == ']' &&
           EqualsNoCase(line.substr(1, name.size()), name);
}

// Where the header line of the first "latest" section begins, and where its body begins.
struct SectionAt {
    std::size_t header = 0;
    std::size_t body = 0;
};

std::optional<SectionAt> FindLatest(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto lf = text.find('\n', pos);
        const std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        if (IsHeader(text.substr(pos, end - pos), kLatestSection)) {
            return SectionAt{pos, lf == std::string_view::npos ? text.size() : lf + 1};
        }
        pos = end + 1;
    }
    return std::nullopt;
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

bool BeginRecord(const std::string& projectLog, int runMode, bool backupLast,
                 CRecordInfo& values) {
    std::string text;
    ReadWhole(projectLog, text);   // a missing project.log starts empty
    std::string out;
    const auto latest = FindLatest(text);
    if (!latest) {
        out = text;
        if (!out.empty() && out.back() != '\n') {
            out += '\n';
        }
    } else {
        out = text.substr(0, latest->header);
        std::string body = text.substr(latest->body);
        CSettingsReader reader;
        reader.OpenText(body);
        CRecordInfo old;
        ReadRecordInfo(reader, old);
        if (runMode == 1 || runMode == 2) {
            values.RecordTime = old.RecordTime;
        }
        if (runMode == 1) {
            values.ElapsedTime = old.ElapsedTime;
            values.Downloaded = old.Downloaded;
            values.TotalFiles = old.TotalFiles;
        }
        if (backupLast) {
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
    out += "[" + std::string(kLatestSection) + "]\n" + HeaderLines(values);
    return WriteWhole(projectLog, out);
}

bool WriteTaskRecord(const std::string& projectLog, const CRecordInfo& values) {
    const std::string backup = projectLog + ".bak";
    CopyFileOver(projectLog, backup);
    std::string text;
    ReadWhole(projectLog, text);
    std::string out;
    const auto latest = FindLatest(text);
    if (latest) {
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
    const bool written = WriteWhole(projectLog, out);
    CopyFileOver(projectLog, backup);
    return written;
}

bool AppendStartPage(const std::string& projectLog, std::string_view startPage) {
    FilePtr file(std::fopen(projectLog.c_str(), "ab"));
    if (!file) {
        return false;
    }
    const std::string line = "StartPage=" + std::string(startPage) + "\n";
    const bool written = std::fwrite(line.data(), 1, line.size(), file.get()) == line.size();
    return std::fclose(file.release()) == 0 && written;
}

} // namespace torvex
