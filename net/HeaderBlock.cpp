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
    const std::size_t at = FindNoCase(m_text, name);
    if (at == std::string::npos || name.empty()) {
        return {};
    }
    std::size_t start = at + name.size() + 1;   // the colon is skipped by position
    if (start > m_text.size()) {
        return {};
    }
    std::size_t end = m_text.find('\n', start);
    if (end == std::string::npos) {
        end = m_text.size();
    } else if (end > start && m_text[end - 1] == '\r') {
        --end;
    }
    while (start < end && m_text[start] == ' ') {
        ++start;
    }
    std::string value;
    AssignCut(value, std::string_view(m_text).substr(start, end - start), kMaxHeaderValue);
    return value;
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
