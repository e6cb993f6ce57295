#include "engine/CStatusLog.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/FindLine.h"
#include "engine/StatusLine.h"
#include "platform/FileEnv.h"

namespace torvex {

CStatusLog::~CStatusLog() { Close(); }

bool CStatusLog::Open(const std::string& path) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_file.reset();
    m_lines.clear();
    m_end = 0;
    m_failed = false;
    m_file = CurrentFileEnv().OpenPositioned(path, true);
    if (!m_file) {
        return false;
    }
    if (!BuildIndex()) {
        m_file.reset();
        m_lines.clear();
        return false;
    }
    return true;
}

bool CStatusLog::BuildIndex() {
    std::vector<char> window(kSearchWindow);
    std::string pending;          // the line read so far
    std::int64_t lineStart = 0;
    std::int64_t position = 0;
    auto finishLine = [&](std::string& text) {
        const std::size_t length = text.size();
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        const auto tab = text.find('\t');
        if (tab != std::string::npos) {
            // The first line of a URL is the one every reader finds; later copies are ignored.
            m_lines.try_emplace(text.substr(0, tab), LineRef{lineStart, length, text.substr(tab)});
        }
    };
    for (;;) {
        const std::int64_t read = m_file->ReadAt(position, window.data(), window.size());
        if (read < 0) {
            return false;
        }
        if (read == 0) {
            break;
        }
        const auto got = static_cast<std::size_t>(read);
        std::size_t i = 0;
        while (i < got) {
            const char* begin = window.data() + i;
            const void* lf = std::memchr(begin, '\n', got - i);
            const std::size_t length =
                lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - begin) : got - i;
            // A line longer than any status line can be is no status line; keep its start only.
            if (pending.size() < 2 * kSearchWindow) {
                pending.append(begin, length);
            }
            if (!lf) {
                break;
            }
            finishLine(pending);
            pending.clear();
            i += length + 1;
            lineStart = position + static_cast<std::int64_t>(i);
        }
        position += read;
    }
    m_end = position;
    if (position > lineStart) {
        // A last line cut short (the program ended while writing it): end it, so that the next
        // line starts on a line of its own.
        finishLine(pending);
        if (!m_file->WriteAt(m_end, "\n")) {
            return false;
        }
        m_end += 1;
    }
    return true;
}

bool CStatusLog::IsOpen() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_file != nullptr;
}

void CStatusLog::Flush() {
    // Every line went to the file with its own write: nothing waits in a buffer.
}

void CStatusLog::Close() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_file.reset();
    m_lines.clear();
    m_end = 0;
}

bool CStatusLog::WriteStatusLine(CUrlEntry& entry) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_file) {
        return true;
    }
    if (m_failed) {
        return false;   // where the file ends is no longer known: no line may be placed
    }
    std::string line = FormatStatusLine(entry);
    const std::string url = line.substr(0, line.find('\t'));
    auto known = m_lines.find(url);
    if (known != m_lines.end()) {
        LineRef& ref = known->second;
        if (line.size() != ref.length) {
            // Only the date column can differ in width: give it the width it has on disk.
            const std::size_t fixed = line.size() - std::max(kStatusDateWidth,
                                                             std::min(entry.lastModified.size(),
                                                                      kMaxLastModified));
            if (ref.length > fixed) {
                line = FormatStatusLine(entry, ref.length - fixed);
            }
        }
        if (line.size() != ref.length) {
            return true;   // a line of another layout: leave it rather than overwrite its neighbour
        }
        // Each state change reaches the file at once: a process that is killed must not leave
        // a stored page marked as still being parsed, or it is fetched again at the resume.
        if (!m_file->WriteAt(ref.offset, line)) {
            m_failed = true;
            return false;
        }
        ref.tail = line.substr(url.size());
        entry.logOffset = static_cast<std::int32_t>(ref.offset);
        return true;
    }
    line += '\n';
    // A line that did not reach the file whole leaves the end of the file unknown (part of it
    // may be there): the index does not move on, and no later line is written after it.
    // The end is known (every write that reached the file moved it): the line goes there by
    // offset, which spares the stat an append would cost.
    if (!m_file->WriteAt(m_end, line)) {
        m_failed = true;
        return false;
    }
    m_lines.emplace(url, LineRef{m_end, line.size() - 1, line.substr(url.size(), line.size() - 1 - url.size())});
    entry.logOffset = static_cast<std::int32_t>(m_end);
    m_end += static_cast<std::int64_t>(line.size());
    return true;
}

bool CStatusLog::Find(std::string_view urlText, std::int64_t& offset, std::string& line) const {
    std::lock_guard<std::mutex> guard(m_lock);
    const auto known = m_lines.find(std::string(urlText));
    if (known == m_lines.end()) {
        return false;
    }
    offset = known->second.offset;
    line.assign(urlText);
    line += known->second.tail;
    return true;
}

} // namespace torvex
