#pragma once

#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>

namespace torvex {

// A seen set cuts each URL text to this length.
constexpr std::size_t kMaxSeenText = 512;

// The seen set of a record: one URL text per line, every URL ever enqueued in the record, so
// that each is fetched once. The same class keeps the dedupe file of a break-point save.
// Owned by its task (or by the save); every method takes the set's lock (SeenLock), so any
// thread may call it.
//
// The lines are also held in memory, read once when the file is opened and added to with every
// new URL: a test is exact (the whole line, never a longer address that ends with the same
// text) and reads nothing from disk, however large the set grows.
class CSeenSet {
public:
    CSeenSet() = default;
    ~CSeenSet();
    CSeenSet(const CSeenSet&) = delete;
    CSeenSet& operator=(const CSeenSet&) = delete;

    // Opens `path`; with `keepContent` its lines are kept (and read), else it starts empty.
    // False when the file cannot be created, opened or read.
    bool Open(const std::string& path, bool keepContent);
    bool IsOpen() const;
    void Close();

    // 1: the URL text (cut to 512) was new and is now recorded; 0: it was there already, or no
    // file is open; -1: the file could not be written (the text is then not recorded).
    int MarkSeen(std::string_view urlText);

    std::size_t Count() const;

private:
    mutable std::mutex m_lock;   // SeenLock
    std::FILE* m_file = nullptr;
    std::unordered_set<std::string> m_seen;
};

} // namespace torvex
