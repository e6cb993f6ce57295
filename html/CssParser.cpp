#include "html/CssParser.h"

#include "base/AsciiCase.h"
#include "html/CTagTable.h"

namespace torvex {

namespace {

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

bool IsCssSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The value of one link at `start` in `text`: for url( the text up to the closing quote or
// parenthesis, for @import the quoted string. Sets `end` past the value (the closing quote is
// not part of the value); false when the value never ends.
bool ReadValue(std::string_view text, std::size_t start, bool inUrl, std::size_t& valueStart,
               std::size_t& valueEnd) {
    std::size_t i = start;
    while (i < text.size() && IsCssSpace(text[i])) {
        ++i;
    }
    if (i >= text.size()) {
        return false;
    }
    const char quote = text[i];
    if (quote == '"' || quote == '\'') {
        const std::size_t close = text.find(quote, i + 1);
        if (close == std::string_view::npos || text.substr(i + 1, close - i - 1).find('\n') != std::string_view::npos) {
            return false;
        }
        valueStart = i + 1;
        valueEnd = close;
        return true;
    }
    if (!inUrl) {
        return false;   // @import url(...) is found by its url( anyway
    }
    std::size_t close = i;
    while (close < text.size() && text[close] != ')' && !IsCssSpace(text[close]) &&
           text[close] != '"' && text[close] != '\'') {
        ++close;
    }
    if (close >= text.size()) {
        return false;
    }
    valueStart = i;
    valueEnd = close;
    return true;
}

} // namespace

bool IsStyleSheetName(std::string_view fileName) {
    return fileName.size() >= 4 && EqualsNoCase(fileName.substr(fileName.size() - 4), ".css");
}

void WalkStyleSheetLinks(std::string_view text, std::string& out, ILinkVisitor& visitor) {
    std::string replacement;
    std::size_t copied = 0;   // bytes of `text` already in `out`
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        bool inUrl = false;
        std::size_t after = 0;
        if ((c == 'u' || c == 'U') && i + 4 <= text.size() && EqualsNoCase(text.substr(i, 4), "url(") &&
            (i == 0 || !IsNameChar(text[i - 1]))) {
            inUrl = true;
            after = i + 4;
        } else if (c == '@' && i + 7 <= text.size() && EqualsNoCase(text.substr(i, 7), "@import")) {
            after = i + 7;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            const std::size_t close = text.find("*/", i + 2);
            i = close == std::string_view::npos ? text.size() : close + 2;
            continue;
        } else {
            ++i;
            continue;
        }
        std::size_t valueStart = 0;
        std::size_t valueEnd = 0;
        if (!ReadValue(text, after, inUrl, valueStart, valueEnd)) {
            i = after;
            continue;
        }
        i = valueEnd;
        const std::string_view value = text.substr(valueStart, valueEnd - valueStart);
        if (value.empty() || value.size() > kMaxUrlText || StartsWithNoCase(value, "data:")) {
            continue;
        }
        if (visitor.StopRequested()) {
            break;
        }
        const int code = static_cast<int>(inUrl ? TagCode::Img : TagCode::Link);
        replacement.clear();
        if (visitor.VisitLink(code, value, replacement)) {
            out.append(text.substr(copied, valueStart - copied));
            out.append(replacement);
            copied = valueEnd;
        }
    }
    out.append(text.substr(copied));
}

void CssParser(const CPageInfo& sheet, std::string_view text, std::string& out,
               std::string& linkMap, IFoundLinkSink& sink) {
    // A sheet's links always resolve against the sheet itself, however it was linked.
    CPageInfo own = sheet;
    if (own.linkCode == static_cast<int>(TagCode::Script)) {
        own.linkCode = kLinkCodeBaseLine;
    }
    ParseLinksWith(WalkStyleSheetLinks, own, text, out, linkMap, sink);
}

} // namespace torvex
