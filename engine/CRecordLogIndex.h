#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace torvex {

// Look-ups in the status logs of a task's backup records, which do not change during the run.
// Each log is read once, on its first look-up, into an index from the hash of each line's URL
// text to the line's position (16 bytes a line, not the lines themselves); a hit reads the one
// line back and compares the whole URL, so a look-up costs one short read instead of a scan of
// every log. Owned by a run's data; any thread may call it (one lock).
class CRecordLogIndex {
public:
    CRecordLogIndex() = default;
    ~CRecordLogIndex();
    CRecordLogIndex(const CRecordLogIndex&) = delete;
    CRecordLogIndex& operator=(const CRecordLogIndex&) = delete;

    // The line of `path` that lists `urlText` (from the URL on, without its line end), and its
    // position; -1 when the log is missing or has no such line.
    std::int64_t Find(const std::string& path, std::string_view urlText, std::string& line);

private:
    struct Log {
        std::FILE* file = nullptr;
        std::unordered_multimap<std::uint64_t, std::int64_t> lines;
    };
    Log& Open(const std::string& path);
    static std::uint64_t Hash(std::string_view urlText);

    std::mutex m_lock;
    std::unordered_map<std::string, std::unique_ptr<Log>> m_logs;
};

} // namespace torvex
