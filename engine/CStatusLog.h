#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/FileEnv.h"
#include "url/CUrlEntry.h"

namespace torvex {

// The status log of the record a task writes into: one fixed-width line per URL, rewritten in
// place as the URL's state changes. Owned by its CDownloadTask, opened by StartThread and closed
// by the end sequence. Every write and look-up takes the log's lock (LogLock), so any thread of
// the task may call any method. Lines are written at their offsets (pwrite): no seek, and each
// reaches the file before the call returns.
//
// Beside the file it keeps an index from URL text to its line, built when the file is opened and
// kept current by every write, so that a look-up is exact (the whole URL text, never a longer
// address that ends with it) and costs no file reading.
class CStatusLog {
public:
    CStatusLog() = default;
    ~CStatusLog();
    CStatusLog(const CStatusLog&) = delete;
    CStatusLog& operator=(const CStatusLog&) = delete;

    // Opens `path` for update, keeping its content, or creates it. False when neither works.
    bool Open(const std::string& path);
    bool IsOpen() const;
    void Flush();
    void Close();

    // Writes the entry's line, or rewrites the line already listing its URL text (whatever its
    // log offset says), and stores the line's position in `entry.logOffset`. A rewrite keeps the
    // width of the line it replaces, so it never spills into the next line. Does nothing while
    // the log is closed. The line is flushed to the file before the call returns. False when it
    // could not be written: the log then refuses every later write (the task ends with its
    // temporary-file error), since a part of the line may be on disk.
    bool WriteStatusLine(CUrlEntry& entry);

    // The line listing `urlText`: its position and the line from the URL on (without LF).
    bool Find(std::string_view urlText, std::int64_t& offset, std::string& line) const;

private:
    struct LineRef {
        std::int64_t offset = 0;
        std::size_t length = 0;   // bytes before the LF
        std::string tail;         // the line after the URL text
    };

    bool BuildIndex();

    mutable std::mutex m_lock;   // LogLock
    std::unique_ptr<IPositionedFile> m_file;
    bool m_failed = false;
    std::int64_t m_end = 0;
    std::unordered_map<std::string, LineRef> m_lines;
};

} // namespace torvex
