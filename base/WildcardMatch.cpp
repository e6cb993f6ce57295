#include "base/WildcardMatch.h"

#include "base/AsciiCase.h"

namespace torvex {

bool WildcardMatch(std::string_view text, std::string_view pattern) {
    std::size_t t = 0;
    std::size_t p = 0;
    for (;;) {
        while (p < pattern.size() && pattern[p] != '*' && t < text.size()) {
            if (ToLowerAscii(pattern[p]) != ToLowerAscii(text[t])) {
                return false;
            }
            ++p;
            ++t;
        }
        if (p == pattern.size()) {
            return t == text.size();
        }
        if (pattern[p] != '*') {
            return false;   // the text ended before the pattern's literal part
        }
        while (p < pattern.size() && pattern[p] == '*') {
            ++p;
        }
        if (p == pattern.size()) {
            return true;
        }
        std::size_t segmentEnd = pattern.find('*', p);
        if (segmentEnd == std::string_view::npos) {
            segmentEnd = pattern.size();
        }
        const std::size_t found = FindNoCase(text, pattern.substr(p, segmentEnd - p), t);
        if (found == std::string_view::npos) {
            return false;
        }
        t = found;
    }
}

bool WildcardListMatch(std::string_view text, std::string_view list) {
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string_view::npos) {
            end = list.size();
        }
        if (end > start && WildcardMatch(text, list.substr(start, end - start))) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

} // namespace torvex
