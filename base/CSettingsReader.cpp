#include "base/CSettingsReader.h"

#include <fstream>
#include <limits>

#include "base/AsciiCase.h"
#include "base/BoundedText.h"

namespace torvex {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// atoi-like: an optional sign and the digits that follow; saturates at the limits of int64.
std::int64_t ParseDecimal(std::string_view text) {
    text = text.substr(0, kMaxNumberText);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    bool saturated = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value > (kMax - digit) / 10) {
            saturated = true;
            break;
        }
        value = value * 10 + digit;
    }
    if (saturated) {
        return negative ? std::numeric_limits<std::int64_t>::min() : kMax;
    }
    return negative ? -value : value;
}

} // namespace

bool CSettingsReader::Open(const std::string& path) {
    m_open = false;
    m_text.clear();
    m_pos = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::uint64_t>(size) > kMaxSettingsFileSize) {
        return false;
    }
    in.seekg(0, std::ios::beg);
    m_text.resize(static_cast<std::size_t>(size));
    if (size > 0 && !in.read(m_text.data(), size)) {
        m_text.clear();
        return false;
    }
    m_open = true;
    return true;
}

void CSettingsReader::OpenText(std::string text) {
    m_text = std::move(text);
    m_pos = 0;
    m_open = true;
}

bool CSettingsReader::ReadLine(std::size_t pos, Line& line) const {
    if (pos >= m_text.size()) {
        return false;
    }
    const std::string_view all(m_text);
    const std::size_t end = all.find('\n', pos);
    line.start = pos;
    line.next = end == std::string_view::npos ? all.size() : end + 1;
    const std::size_t rawEnd = end == std::string_view::npos ? all.size() : end;
    std::string_view text = all.substr(pos, rawEnd - pos).substr(0, kMaxSettingsLine);
    text = UpToNul(text);
    while (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    line.isComment = !text.empty() && (text.front() == '#' || text.front() == ';');
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    line.isSection = !line.isComment && text.size() >= 2 && text.front() == '[' &&
                     text.back() == ']';
    line.text = text;
    return true;
}

bool CSettingsReader::ReadText(std::string_view key, std::string& value,
                               std::size_t capacity) const {
    return FindText(key, value, capacity, false);
}

bool CSettingsReader::ReadFirstText(std::string_view key, std::string& value,
                                    std::size_t capacity) const {
    return FindText(key, value, capacity, true);
}

bool CSettingsReader::FindText(std::string_view key, std::string& value, std::size_t capacity,
                               bool firstWins) const {
    if (key.empty()) {
        return false;
    }
    Line line;
    bool found = false;
    std::string match;
    for (std::size_t pos = m_pos; ReadLine(pos, line); pos = line.next) {
        if (line.isSection) {
            break;
        }
        if (line.isComment || line.text.size() <= key.size() || line.text[key.size()] != '=' ||
            !StartsWithNoCase(line.text, key)) {
            continue;
        }
        match.assign(line.text.substr(key.size() + 1));
        found = true;
        if (firstWins) {
            break;
        }
    }
    if (!found) {
        return false;
    }
    std::size_t first = 0;
    while (first < match.size() && IsBlank(match[first])) {
        ++first;
    }
    AssignCut(value, std::string_view(match).substr(first), capacity);
    return true;
}

bool CSettingsReader::ReadInt(std::string_view key, int& value) const {
    std::string text;
    if (!ReadText(key, text, kMaxNumberText)) {
        return false;
    }
    const std::int64_t number = ParseDecimal(text);
    if (number > std::numeric_limits<int>::max()) {
        value = std::numeric_limits<int>::max();
    } else if (number < std::numeric_limits<int>::min()) {
        value = std::numeric_limits<int>::min();
    } else {
        value = static_cast<int>(number);
    }
    return true;
}

bool CSettingsReader::ReadLong(std::string_view key, std::int64_t& value) const {
    std::string text;
    if (!ReadText(key, text, kMaxNumberText)) {
        return false;
    }
    value = ParseDecimal(text);
    return true;
}

bool CSettingsReader::ReadFlag(std::string_view key, bool& value) const {
    std::string text;
    if (!ReadText(key, text, 1)) {
        return false;
    }
    value = !text.empty() && text[0] >= '1' && text[0] <= '9';
    return true;
}

bool CSettingsReader::FindSection(std::string_view name) {
    Line line;
    for (std::size_t pos = m_pos; ReadLine(pos, line); pos = line.next) {
        if (line.isSection &&
            EqualsNoCase(line.text.substr(1, line.text.size() - 2), name)) {
            m_pos = line.next;
            return true;
        }
    }
    return false;
}

std::optional<std::string> CSettingsReader::NextSection() {
    Line line;
    for (std::size_t pos = m_pos; ReadLine(pos, line); pos = line.next) {
        if (line.isSection) {
            m_pos = line.start;
            return std::string(line.text.substr(1, line.text.size() - 2));
        }
    }
    return std::nullopt;
}

} // namespace torvex
