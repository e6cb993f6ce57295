#include "net/HeaderBlock.h"

#include "base/AsciiCase.h"
#include "base/BoundedText.h"

namespace torvex {

void HeaderBlock::Clear() {
    m_text.clear();
    m_overflowed = false;
}

bool HeaderBlock::Append(std::string_view line) {
    if (m_overflowed || m_text.size() + line.size() > kMaxHeaderBlock) {
        m_overflowed = true;
        return false;
    }
    m_text.append(line);
    return true;
}

std::string HeaderBlock::GetHeader(std::string_view name) const {
    if (name.empty()) {
        return {};
    }
    const std::string_view text(m_text);
    // Header lines follow the status line; a name counts only where a line begins with it and
    // the colon follows at once, so neither "X-Content-Type-Options" nor a value that mentions
    // another header ("X-Trick: Location: /x", "Set-Cookie: Location=/x") is taken for it.
    std::size_t lineStart = text.find('\n');
    while (lineStart != std::string_view::npos) {
        ++lineStart;
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) {
            lineEnd = text.size();
        }
        std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.size() > name.size() && line[name.size()] == ':' &&
            EqualsNoCase(line.substr(0, name.size()), name)) {
            std::string_view value = line.substr(name.size() + 1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
                value.remove_prefix(1);
            }
            std::string out;
            AssignCut(out, value, kMaxHeaderValue);
            return out;
        }
        lineStart = lineEnd < text.size() ? lineEnd : std::string_view::npos;
    }
    return {};
}

std::string HeaderBlock::StatusField(int index) const {
    std::string_view line(m_text);
    line = line.substr(0, line.find_first_of("\r\n"));
    line = line.substr(0, kMaxHeaderValue);
    const std::size_t first = line.find(' ');
    if (index == 0) {
        return std::string(line.substr(0, first));
    }
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t second = line.find(' ', first + 1);
    if (second == std::string_view::npos) {
        return {};
    }
    if (index == 1) {
        return std::string(line.substr(first + 1, second - first - 1));
    }
    return index == 2 ? std::string(line.substr(second + 1)) : std::string();
}

} // namespace torvex
