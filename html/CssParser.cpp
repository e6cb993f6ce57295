#include "html/CssParser.h"

#include "base/AsciiCase.h"
#include "html/CTagTable.h"
#include "url/CUrl.h"

namespace torvex {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

bool IsCssSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::size_t SkipSpaces(std::string_view text, std::size_t i) {
    while (i < text.size() && IsCssSpace(text[i])) {
        ++i;
    }
    return i;
}

bool IsUrlOpening(std::string_view text, std::size_t i) {
    return i + 4 <= text.size() && EqualsNoCase(text.substr(i, 4), "url(") &&
           (i == 0 || !IsNameChar(text[i - 1]));
}

// The value of one link at `start` in `text`: for url( the text up to the closing quote or
// parenthesis, for @import the quoted string. The closing quote is not part of the value; false
// when the value never ends (a string may not run over a line).
bool ReadValue(std::string_view text, std::size_t start, bool inUrl, std::size_t& valueStart,
               std::size_t& valueEnd) {
    const std::size_t i = SkipSpaces(text, start);
    if (i >= text.size()) {
        return false;
    }
    const char quote = text[i];
    if (quote == '"' || quote == '\'') {
        const std::size_t close = text.find(quote, i + 1);
        if (close == npos || text.substr(i + 1, close - i - 1).find('\n') != npos) {
            return false;
        }
        valueStart = i + 1;
        valueEnd = close;
        return true;
    }
    if (!inUrl) {
        return false;
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

void AppendStyleSheetUrl(std::string& out, std::string_view address) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : address) {
        if (IsCssSpace(c) || c == '"' || c == '\'' || c == '(' || c == ')' || c == '\\') {
            const auto byte = static_cast<unsigned char>(c);
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        } else {
            out.push_back(c);
        }
    }
}

bool NextStyleSheetLink(std::string_view text, std::size_t& pos, CStyleLink& link) {
    std::size_t i = pos;
    while (i < text.size()) {
        const char c = text[i];
        bool inUrl = false;
        bool import = false;
        std::size_t after = 0;
        if ((c == 'u' || c == 'U') && IsUrlOpening(text, i)) {
            inUrl = true;
            after = i + 4;
        } else if (c == '@' && i + 7 <= text.size() && EqualsNoCase(text.substr(i, 7), "@import")) {
            import = true;
            after = SkipSpaces(text, i + 7);
            if (IsUrlOpening(text, after)) {
                inUrl = true;   // @import url(...): an imported sheet all the same
                after += 4;
            }
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            const std::size_t close = text.find("*/", i + 2);
            i = close == npos ? text.size() : close + 2;
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
        std::string_view value = text.substr(valueStart, valueEnd - valueStart);
        // "url(#clip)" names a part of the document itself; "a.svg#icon" a part of a file.
        const std::size_t hash = value.find('#');
        if (hash != npos) {
            value = value.substr(0, hash);
        }
        if (value.empty() || value.size() > kMaxUrlText || HasUnfetchedScheme(value)) {
            continue;
        }
        link.start = valueStart;
        link.end = valueStart + value.size();
        link.import = import;
        pos = i;
        return true;
    }
    pos = text.size();
    return false;
}

void WalkStyleSheetLinks(std::string_view text, std::string& out, ILinkVisitor& visitor,
                         int urlCode, int importCode) {
    std::string replacement;
    std::size_t copied = 0;   // bytes of `text` already in `out`
    std::size_t pos = 0;
    CStyleLink link;
    while (NextStyleSheetLink(text, pos, link)) {
        if (visitor.StopRequested()) {
            break;
        }
        replacement.clear();
        if (visitor.VisitLink(link.import ? importCode : urlCode,
                              text.substr(link.start, link.end - link.start), replacement)) {
            out.append(text.substr(copied, link.start - copied));
            AppendStyleSheetUrl(out, replacement);
            copied = link.end;
        }
    }
    out.append(text.substr(copied));
}

void WalkStyleSheetLinks(std::string_view text, std::string& out, ILinkVisitor& visitor) {
    WalkStyleSheetLinks(text, out, visitor, static_cast<int>(TagCode::Img),
                        static_cast<int>(TagCode::Link));
}

void CssParser(const CPageInfo& sheet, std::string_view text, std::string& out,
               std::string& linkMap, IFoundLinkSink& sink) {
    // A sheet's links always resolve against the sheet itself, however it was linked.
    CPageInfo own = sheet;
    if (own.linkCode == static_cast<int>(TagCode::Script)) {
        own.linkCode = kLinkCodeBaseLine;
    }
    ParseLinksWith([](std::string_view t, std::string& o,
                      ILinkVisitor& v) { WalkStyleSheetLinks(t, o, v); },
                   own, text, out, linkMap, sink);
}

} // namespace torvex
