#include "html/CAttrList.h"

#include "base/AsciiCase.h"

namespace torvex {

namespace {

bool IsQuote(char c) { return c == '\'' || c == '"'; }

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

        // Name: up to a space or "=" outside quotes; the quotes belong to the name.
        const std::size_t nameStart = i;
        char quote = 0;
        while (i < n) {
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
            ++i;
        }
        const std::size_t nameEnd = i;
        while (i < n && t[i] == ' ') {
            ++i;
        }

        std::size_t valueStart = nameEnd;
        std::size_t valueEnd = nameEnd;
        if (i < n && t[i] == '=') {
            ++i;
            while (i < n && t[i] == ' ') {
                ++i;
            }
            std::size_t rawStart = i;
            std::size_t rawEnd = i;
            char open = 0;
            if (i < n && IsQuote(t[i])) {
                open = t[i];
            } else if (i + 1 < n && t[i] == '\\' && IsQuote(t[i + 1])) {
                // A quote escaped for a script string quotes the value just like a bare one;
                // the backslash stays in the text in front of the value.
                open = t[i + 1];
                rawStart = ++i;
            }
            if (open != 0) {
                ++i;
                while (i < n && t[i] != open && !(t[i] == '\\' && i + 1 < n && t[i + 1] == open)) {
                    ++i;
                }
                rawEnd = i;
                if (i < n) {
                    i += (t[i] == open) ? 1 : 2;   // the closing quote, or backslash and quote
                }
            } else {
                while (i < n && t[i] != ' ') {
                    ++i;
                }
                rawEnd = i;
            }

            // Cleaning: leading spaces and quotes go; the last quote seen cuts the value.
            valueStart = rawStart;
            valueEnd = rawEnd;
            if (valueStart < valueEnd && (t[valueStart] == ' ' || IsQuote(t[valueStart]))) {
                char lastQuote = 0;
                while (valueStart < valueEnd && (t[valueStart] == ' ' || IsQuote(t[valueStart]))) {
                    if (IsQuote(t[valueStart])) {
                        lastQuote = t[valueStart];
                    }
                    ++valueStart;
                }
                if (lastQuote != 0) {
                    const std::size_t cut =
                        t.substr(valueStart, valueEnd - valueStart).find(lastQuote);
                    if (cut != std::string_view::npos) {
                        valueEnd = valueStart + cut;
                    }
                }
            }
            while (valueEnd > valueStart && t[valueEnd - 1] == ' ') {
                --valueEnd;
            }
        }

        const std::size_t nameLength = nameEnd - nameStart;
        const std::size_t valueLength = valueEnd - valueStart;
        if (nameLength > 0 && nameLength <= kMaxAttrName && valueLength <= maxValue) {
            list.Add(CAttr{t.substr(nameStart, nameLength), t.substr(valueStart, valueLength),
                           nameStart, valueStart});
        }
    }
}

} // namespace torvex
