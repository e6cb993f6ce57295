#include "engine/FindLine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace torvex {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

std::int64_t FindLine(const std::string& path, std::string_view key, std::string& line) {
    line.clear();
    if (key.empty()) {
        return -1;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return -1;
    }
    std::vector<char> window(kSearchWindow);
    // The line that began in an earlier window and has not ended yet, as far as it can still
    // matter: kept whole while it may be the hit, dropped once it cannot be.
    std::string carry;
    std::int64_t carryStart = 0;   // file position of the carried line
    bool carrying = true;          // false: the current line is known not to match
    bool matched = false;          // the current line begins with the key
    std::int64_t position = 0;     // file position of window[0]
    for (;;) {
        const std::size_t got = std::fread(window.data(), 1, window.size(), file.get());
        if (got == 0) {
            break;
        }
        std::size_t i = 0;
        while (i < got) {
            const char* begin = window.data() + i;
            const void* lf = std::memchr(begin, '\n', got - i);
            const std::size_t length =
                lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - begin) : got - i;
            if (carrying) {
                // A hit line is kept up to one window; the rest of an endless line is dropped.
                carry.append(begin, std::min(length, kSearchWindow - std::min(kSearchWindow, carry.size())));
                if (!matched && carry.size() >= key.size()) {
                    matched = std::string_view(carry).substr(0, key.size()) == key;
                    carrying = matched;
                    if (!matched) {
                        carry.clear();
                    }
                }
            }
            if (!lf) {
                break;   // the line goes on in the next window
            }
            if (matched) {
                if (!carry.empty() && carry.back() == '\r') {
                    carry.pop_back();
                }
                line = std::move(carry);
                return carryStart;
            }
            i += length + 1;
            carry.clear();
            carrying = true;
            carryStart = position + static_cast<std::int64_t>(i);
        }
        position += static_cast<std::int64_t>(got);
    }
    if (std::ferror(file.get())) {
        return -1;
    }
    if (matched) {   // the last line of the file has no LF
        if (!carry.empty() && carry.back() == '\r') {
            carry.pop_back();
        }
        line = std::move(carry);
        return carryStart;
    }
    return -1;
}

} // namespace torvex
