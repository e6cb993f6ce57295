#include "engine/CRecordLogIndex.h"

#include <vector>

#include "engine/FindLine.h"

namespace torvex {

namespace {

constexpr std::size_t kMaxLogLine = 4096;

} // namespace

CRecordLogIndex::~CRecordLogIndex() {
    for (auto& entry : m_logs) {
        if (entry.second->file != nullptr) {
            std::fclose(entry.second->file);
        }
    }
}

std::uint64_t CRecordLogIndex::Hash(std::string_view urlText) {
    // FNV-1a: stable, fast, and collisions only cost an extra line read.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : urlText) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

CRecordLogIndex::Log& CRecordLogIndex::Open(const std::string& path) {
    auto found = m_logs.find(path);
    if (found != m_logs.end()) {
        return *found->second;
    }
    auto log = std::make_unique<Log>();
    log->file = std::fopen(path.c_str(), "rb");
    if (log->file != nullptr) {
        std::vector<char> window(kSearchWindow);
        std::int64_t position = 0;     // file position of window[0]
        std::int64_t lineStart = 0;
        std::string url;               // the current line's URL text so far
        bool inUrl = true;
        std::size_t got = 0;
        while ((got = std::fread(window.data(), 1, window.size(), log->file)) > 0) {
            for (std::size_t i = 0; i < got; ++i) {
                const char c = window[i];
                if (c == '\n') {
                    if (!inUrl && !url.empty()) {
                        log->lines.emplace(Hash(url), lineStart);
                    }
                    url.clear();
                    inUrl = true;
                    lineStart = position + static_cast<std::int64_t>(i) + 1;
                } else if (inUrl) {
                    if (c == '\t') {
                        inUrl = false;
                    } else if (url.size() < kMaxLogLine) {
                        url.push_back(c);
                    }
                }
            }
            position += static_cast<std::int64_t>(got);
        }
        if (!inUrl && !url.empty()) {
            log->lines.emplace(Hash(url), lineStart);
        }
    }
    return *m_logs.emplace(path, std::move(log)).first->second;
}

std::int64_t CRecordLogIndex::Find(const std::string& path, std::string_view urlText,
                                   std::string& line) {
    line.clear();
    std::lock_guard<std::mutex> guard(m_lock);
    Log& log = Open(path);
    if (log.file == nullptr || urlText.empty()) {
        return -1;
    }
    const auto range = log.lines.equal_range(Hash(urlText));
    for (auto it = range.first; it != range.second; ++it) {
        if (std::fseek(log.file, static_cast<long>(it->second), SEEK_SET) != 0) {
            continue;
        }
        std::string text;
        int c = 0;
        while ((c = std::fgetc(log.file)) != EOF && c != '\n' && text.size() < kMaxLogLine) {
            text.push_back(static_cast<char>(c));
        }
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        if (text.size() > urlText.size() && text.compare(0, urlText.size(), urlText) == 0 &&
            text[urlText.size()] == '\t') {
            line = std::move(text);
            return it->second;
        }
    }
    return -1;
}

} // namespace torvex
