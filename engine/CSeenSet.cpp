#include "engine/CSeenSet.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/FindLine.h"
#include "platform/FileEnv.h"

namespace torvex {

CSeenSet::~CSeenSet() { Close(); }

bool CSeenSet::Open(const std::string& path, bool keepContent) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_seen.clear();
    IFileEnv& env = CurrentFileEnv();
    if (keepContent) {
        m_file = env.OpenStream(path, "r+b");
    }
    if (!m_file) {
        m_file = env.OpenStream(path, "w+b");
    }
    if (!m_file) {
        return false;
    }
    // No stream buffer: every line is flushed as it is written anyway, and the file is read in
    // large windows. A buffered stream of both reading and writing turns each seek into a seek
    // plus a read of the block around it, several times for every file a run stores.
    std::setvbuf(m_file, nullptr, _IONBF, 0);
    std::vector<char> window(kSearchWindow);
    std::string pending;
    auto finish = [this](std::string& text) {
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        if (text.size() > kMaxSeenText) {
            text.resize(kMaxSeenText);
        }
        m_seen.insert(std::move(text));
        text.clear();
    };
    bool endsInLf = true;
    for (;;) {
        const std::size_t got = std::fread(window.data(), 1, window.size(), m_file);
        if (got == 0) {
            break;
        }
        std::size_t i = 0;
        while (i < got) {
            const char* begin = window.data() + i;
            const void* lf = std::memchr(begin, '\n', got - i);
            const std::size_t length =
                lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - begin) : got - i;
            if (pending.size() <= kMaxSeenText) {
                pending.append(begin, std::min(length, kMaxSeenText + 1));
            }
            endsInLf = lf != nullptr;
            if (!lf) {
                break;
            }
            finish(pending);
            i += length + 1;
        }
    }
    const bool failed = std::ferror(m_file) != 0;
    if (!failed && !endsInLf) {
        // The last line was cut short: it counts as seen, and the next URL starts a line.
        finish(pending);
        if (std::fseek(m_file, 0, SEEK_END) != 0 || std::fputc('\n', m_file) == EOF) {
            std::fclose(m_file);
            m_file = nullptr;
            m_seen.clear();
            return false;
        }
    }
    if (failed) {
        std::fclose(m_file);
        m_file = nullptr;
        m_seen.clear();
        return false;
    }
    return true;
}

bool CSeenSet::IsOpen() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_file != nullptr;
}

void CSeenSet::Close() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_seen.clear();
}

int CSeenSet::MarkSeen(std::string_view urlText) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_file) {
        return 0;
    }
    std::string key(urlText.substr(0, kMaxSeenText));
    if (m_seen.count(key) != 0) {
        return 0;
    }
    // No seek: nothing but these appends moves the stream once it is open, so it stands at
    // the end (asking for the end would cost a seek and a stat for every address).
    key += '\n';
    const std::size_t written = std::fwrite(key.data(), 1, key.size(), m_file);
    // Flushed at once: a full disk shows here, while the URL can still be refused, and the set
    // on disk stays complete for a resume if the program ends without closing it.
    if (written != key.size() || std::fflush(m_file) != 0) {
        return -1;
    }
    key.pop_back();
    m_seen.insert(std::move(key));
    return 1;
}

std::size_t CSeenSet::Count() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_seen.size();
}

} // namespace torvex
