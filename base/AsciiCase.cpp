#include "base/AsciiCase.h"

namespace torvex {

void LowerAsciiInPlace(std::string& text) {
    for (char& c : text) {
        c = ToLowerAscii(c);
    }
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    LowerAsciiInPlace(out);
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.empty()) {
        return from <= text.size() ? from : std::string_view::npos;
    }
    if (needle.size() > text.size()) {
        return std::string_view::npos;
    }
    const char first = ToLowerAscii(needle[0]);
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
        if (ToLowerAscii(text[i]) == first && EqualsNoCase(text.substr(i, needle.size()), needle)) {
            return i;
        }
    }
    return std::string_view::npos;
}

} // namespace torvex
