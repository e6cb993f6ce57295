#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace torvex {

// One address a run gave up on, and why.
struct CFailedFile {
    std::string url;         // the entry's URL text
    std::string operation;   // what failed last: "HTTPSession", "Connect", "LongFilePath", ...
    int code = 0;            // with it: the HTTP status, -1 or -2 of a socket, an FTP code, 0
    std::string reason;      // in words: "HTTP 404 Not Found", "host not found", ...

    bool operator==(const CFailedFile&) const = default;
};

// At most this many failures of a run are kept in memory for the front end; the file and the
// count hold them all.
constexpr std::size_t kMaxFailuresKept = 10000;

// The run's failure list: every address the run gave up on (its tries spent, a definitive
// answer, an address that cannot be stored), with the operation, code and reason. The status
// log's fixed format has no room for reasons, so the list is a file of its own beside it
// ("logs/<record>.failed"), one line per failure written as it happens: URL text, TAB,
// operation, TAB, code, TAB, reason, LF.
//
// Owned by the task: opened by StartThread, closed by the end sequence. Any thread may add and
// read; every call takes the list's lock.
class CFailureList {
public:
    CFailureList() = default;
    ~CFailureList();
    CFailureList(const CFailureList&) = delete;
    CFailureList& operator=(const CFailureList&) = delete;

    // Makes `path` the list's file: emptied for a fresh run of the record, kept for a resumed
    // one (whose earlier failures stay listed). The file itself is made with the first failure.
    void Open(const std::string& path, bool keepEarlier);
    void Close();

    // Adds one failure (the reason from the operation and code when `failure.reason` is empty)
    // and appends its line to the file. False when the line could not be written; the failure
    // still counts.
    bool Add(CFailedFile failure);

    // Failures added since Open.
    int Count() const;
    // The first kMaxFailuresKept of them, in the order they came.
    std::vector<CFailedFile> Items() const;
    const std::string& Path() const { return m_path; }

private:
    mutable std::mutex m_lock;
    std::string m_path;
    std::FILE* m_file = nullptr;
    int m_count = 0;
    std::vector<CFailedFile> m_items;
};

// One line of the file, without its LF; tabs and line breaks inside the fields become blanks.
std::string FormatFailureLine(const CFailedFile& failure);
// Reads a failure list file; lines without their four fields are passed over. Empty when the
// file is missing.
std::vector<CFailedFile> ReadFailureList(const std::string& path);

} // namespace torvex
