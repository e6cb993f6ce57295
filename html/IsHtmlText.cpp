#include "html/IsHtmlText.h"

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "base/AsciiCase.h"

namespace torvex {

namespace {

constexpr std::string_view kPageStarts[] = {"<HTML>", "<SCRIPT", "<!"};
constexpr std::size_t kLongestStart = 7;

bool IsBlank(char c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ' || c == '\0';
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

bool IsHtmlContent(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && IsBlank(text[start])) {
        ++start;
    }
    const std::string_view rest = text.substr(start);
    for (const std::string_view prefix : kPageStarts) {
        if (StartsWithNoCase(rest, prefix)) {
            return true;
        }
    }
    return false;
}

bool IsHtmlText(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return false;
    }
    // Skip the blank run chunk by chunk, then keep only enough bytes to see the tag.
    std::string head;
    std::array<char, 4096> chunk{};
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get());
        if (got == 0) {
            break;
        }
        std::size_t from = 0;
        if (head.empty()) {
            while (from < got && IsBlank(chunk[from])) {
                ++from;
            }
        }
        head.append(chunk.data() + from, got - from);
        if (head.size() >= kLongestStart) {
            break;
        }
    }
    return IsHtmlContent(head);
}

} // namespace torvex
