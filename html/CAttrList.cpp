#include "html/CAttrList.h"

#include "base/AsciiCase.h"

namespace torvex {

namespace {

bool IsQuote(char c) { return c == '\'' || c == '"'; }

// A piece of the tag text: [start, end).
struct TextSpan {
    std::size_t start = 0;
    std::size_t end = 0;
};

// The end of the name that begins at `i`: up to a space or "=" outside quotes; the quotes
// belong to the name.
std::size_t ScanName(std::string_view t, std::size_t i) {
    char quote = 0;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            }
        } else if (IsQuote(c)) {
            quote = c;
        } else if (c == ' ' || c == '=') {
            break;
        }
    }
    return i;
}

// The value that begins at `i` as written: up to its closing quote, or to the next space when
// it is not quoted. `i` moves past it (and past the closing quote).
TextSpan ScanValue(std::string_view t, std::size_t& i) {
    const std::size_t n = t.size();
    TextSpan raw{i, i};
    char open = 0;
    if (i < n && IsQuote(t[i])) {
        open = t[i];
    } else if (i + 1 < n && t[i] == '\\' && IsQuote(t[i + 1])) {
        // A quote escaped for a script string quotes the value just like a bare one; the
        // backslash stays in the text in front of the value.
        open = t[i + 1];
        raw.start = ++i;
    }
    if (open != 0) {
        ++i;
        while (i < n && t[i] != open && !(t[i] == '\\' && i + 1 < n && t[i + 1] == open)) {
            ++i;
        }
        raw.end = i;
        if (i < n) {
            i += (t[i] == open) ? 1 : 2;   // the closing quote, or backslash and quote
        }
    } else {
        while (i < n && t[i] != ' ') {
            ++i;
        }
        raw.end = i;
    }
    return raw;
}

// The value without its leading spaces and quotes, cut at the last quote seen among them, and
// without trailing spaces.
TextSpan CleanValue(std::string_view t, TextSpan value) {
    if (value.start < value.end && (t[value.start] == ' ' || IsQuote(t[value.start]))) {
        char lastQuote = 0;
        while (value.start < value.end && (t[value.start] == ' ' || IsQuote(t[value.start]))) {
            if (IsQuote(t[value.start])) {
                lastQuote = t[value.start];
            }
            ++value.start;
        }
        if (lastQuote != 0) {
            const std::size_t cut = t.substr(value.start, value.end - value.start).find(lastQuote);
            if (cut != std::string_view::npos) {
                value.end = value.start + cut;
            }
        }
    }
    while (value.end > value.start && t[value.end - 1] == ' ') {
        --value.end;
    }
    return value;
}

} // namespace

CAttrList::CAttrList() { m_entries.reserve(32); }

const CAttr* CAttrList::Find(std::string_view name) const {
    for (const CAttr& attr : m_entries) {
        if (EqualsNoCase(attr.name, name)) {
            return &attr;
        }
    }
    return nullptr;
}

void ParseAttributes(std::span<char> tagText, CAttrList& list, std::size_t maxValue) {
    list.Clear();
    for (char& c : tagText) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    const std::string_view t(tagText.data(), tagText.size());
    const std::size_t n = t.size();
    std::size_t i = 0;
    while (i < n) {
        while (i < n && t[i] == ' ') {
            ++i;
        }
        if (i >= n) {
            break;
        }
        const std::size_t nameStart = i;
        const std::size_t nameEnd = i = ScanName(t, i);
        while (i < n && t[i] == ' ') {
            ++i;
        }
        TextSpan value{nameEnd, nameEnd};
        if (i < n && t[i] == '=') {
            ++i;
            while (i < n && t[i] == ' ') {
                ++i;
            }
            value = CleanValue(t, ScanValue(t, i));
        }
        const std::size_t nameLength = nameEnd - nameStart;
        const std::size_t valueLength = value.end - value.start;
        if (nameLength > 0 && nameLength <= kMaxAttrName && valueLength <= maxValue) {
            list.Add(CAttr{t.substr(nameStart, nameLength), t.substr(value.start, valueLength),
                           nameStart, value.start});
        }
    }
}

} // namespace torvex
