#include "html/LinkWalker.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/AsciiCase.h"
#include "html/CAttrList.h"
#include "html/CTagTable.h"

namespace torvex {

namespace {

constexpr std::string_view kJavascript = "javascript:";
constexpr std::size_t kNotFound = std::string_view::npos;

bool IsQuote(char c) { return c == '\'' || c == '"'; }

std::size_t FindByte(std::string_view text, char c, std::size_t from, std::size_t to) {
    if (from >= to) {
        return kNotFound;
    }
    const void* hit = std::memchr(text.data() + from, c, to - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : kNotFound;
}

// Narrows [start, end) of `text` to the inside of its first pair of single quotes, as script
// calls such as window.open('big.jpg','win') carry their address; without a closing quote the
// address runs to the end. A backslash in front of the closing quote belongs to the script text
// after the link. False, with the range unchanged, when there is no single quote at all.
bool TakeQuotedArgument(std::string_view text, std::size_t& start, std::size_t& end) {
    const std::size_t open = FindByte(text, '\'', start, end);
    if (open == kNotFound) {
        return false;
    }
    start = open + 1;
    const std::size_t close = FindByte(text, '\'', start, end);
    if (close == kNotFound) {
        return true;
    }
    end = close;
    if (end > start && text[end - 1] == '\\') {
        --end;
    }
    return true;
}

// The walk over one page; holds the scratch space that is reused for every tag.
class Walker {
public:
    Walker(std::string_view text, std::string& out, ILinkVisitor& visitor, std::size_t maxTagText)
        : m_text(text), m_out(out), m_visitor(visitor), m_table(CTagTable::Get()),
          m_maxTagText(maxTagText), m_scratch(maxTagText) {
        m_replacement.reserve(1024);
    }

    void Run();

private:
    void ProcessTag(int code, std::string_view tag);
    void HandleValue(int code, const CAttr& attr, std::string_view tag, std::string_view norm,
                     std::size_t& cursor);

    std::string_view m_text;
    std::string& m_out;
    ILinkVisitor& m_visitor;
    const CTagTable& m_table;
    std::size_t m_maxTagText;
    CAttrList m_attrs;
    std::vector<char> m_scratch;   // allocated once per walk
    std::string m_replacement;
};

void Walker::Run() {
    const std::size_t n = m_text.size();
    // Where the last ">" is tells in constant time whether a tag without a near ">" has one at
    // all, so an unterminated tag never costs a scan to the end of the page.
    const std::size_t lastGt = m_text.rfind('>');
    std::size_t pos = 0;
    while (pos < n) {
        const std::size_t lt = FindByte(m_text, '<', pos, n);
        if (lt == kNotFound) {
            break;
        }
        m_out.append(m_text.substr(pos, lt + 1 - pos));
        pos = lt + 1;
        const int code = m_table.MatchTag(m_text.substr(pos, 8));
        if (code < 0) {
            continue;
        }
        if (m_visitor.StopRequested()) {
            break;
        }
        const std::size_t nameEnd = pos + m_table.Row(code).name.size();
        const std::size_t window = std::min(n, nameEnd + m_maxTagText + 1);
        std::size_t tagEnd = FindByte(m_text, '>', nameEnd, window);
        if (tagEnd == kNotFound) {
            if (lastGt != kNotFound && lastGt >= window) {
                tagEnd = FindByte(m_text, '>', window, n);   // too long: copied as it is
            } else {
                tagEnd = FindByte(m_text, '<', nameEnd, n);  // unterminated: ends at the next tag
                if (tagEnd == kNotFound) {
                    break;
                }
            }
        }
        if (tagEnd - nameEnd > m_maxTagText) {
            m_out.append(m_text.substr(pos, tagEnd - pos));
        } else {
            m_out.append(m_text.substr(pos, nameEnd - pos));
            ProcessTag(code, m_text.substr(nameEnd, tagEnd - nameEnd));
        }
        pos = tagEnd;   // the ">" or "<" that ended the tag is copied with the text after it
    }
    if (pos < n) {
        m_out.append(m_text.substr(pos));
    }
}

void Walker::ProcessTag(int code, std::string_view tag) {
    // Attributes are read from a copy in which tab, CR and LF are spaces; the page keeps its own
    // bytes, so a line break inside a script handler is never turned into a space.
    std::memcpy(m_scratch.data(), tag.data(), tag.size());
    ParseAttributes(std::span<char>(m_scratch.data(), tag.size()), m_attrs);
    const std::string_view norm(m_scratch.data(), tag.size());

    if (code == static_cast<int>(TagCode::Meta)) {
        const CAttr* equiv = m_attrs.Find("http-equiv");
        if (equiv == nullptr || !EqualsNoCase(equiv->value, "refresh")) {
            m_out.append(tag);
            return;
        }
    }
    std::size_t cursor = 0;
    for (const CAttr& attr : m_attrs) {
        if (attr.namePos < cursor || !m_table.HasAttribute(code, attr.name)) {
            continue;
        }
        if (code == static_cast<int>(TagCode::Base)) {
            m_out.append(tag.substr(cursor, attr.namePos - cursor));
            m_out.push_back('!');
            cursor = attr.namePos;
        }
        HandleValue(code, attr, tag, norm, cursor);
    }
    m_out.append(tag.substr(cursor));
}

void Walker::HandleValue(int code, const CAttr& attr, std::string_view tag, std::string_view norm,
                         std::size_t& cursor) {
    std::size_t start = attr.valuePos;
    std::size_t end = start + attr.value.size();
    if (code == static_cast<int>(TagCode::Meta)) {
        // "5; url=page.html": the address follows the first "="; without one there is none.
        const std::size_t equals = FindByte(norm, '=', start, end);
        if (equals == kNotFound) {
            return;
        }
        start = equals + 1;
        // Pages also write url= page.html and url='page.html'; the spaces and quotes are not
        // part of the address and stay in the page around it.
        while (start < end && norm[start] == ' ') {
            ++start;
        }
        if (start < end && IsQuote(norm[start])) {
            const char quote = norm[start++];
            if (end > start && norm[end - 1] == quote) {
                --end;
            }
        }
    }
    std::size_t javascriptAt = kNotFound;
    if (EqualsNoCase(attr.name, "onclick") || EqualsNoCase(attr.name, "onmouseover")) {
        // A handler is script code; only a quoted argument in it can be an address. Read as a
        // whole, "x=a/b" or a handler with line breaks would be "rewritten" into broken code.
        if (!TakeQuotedArgument(norm, start, end)) {
            return;
        }
    } else if (StartsWithNoCase(norm.substr(start, end - start), kJavascript)) {
        javascriptAt = start;
        start += kJavascript.size();
        TakeQuotedArgument(norm, start, end);
    }
    const std::size_t hash = norm.substr(start, end - start).rfind('#');
    if (hash != kNotFound) {
        end = start + hash;   // the fragment stays behind the rewritten address
    }
    // Quotes escaped for a script string around the address stay in the page.
    while (end - start >= 2 && norm[start] == '\\' && norm[start + 1] == '"') {
        start += 2;
    }
    while (end - start >= 2 && norm[end - 2] == '\\' && norm[end - 1] == '"') {
        end -= 2;
    }

    m_replacement.clear();
    const bool rewrite = m_visitor.VisitLink(code, norm.substr(start, end - start), m_replacement);
    if (javascriptAt != kNotFound) {
        m_out.append(tag.substr(cursor, javascriptAt - cursor));
        m_out.append(kJavascript);
        cursor = javascriptAt + kJavascript.size();
    }
    m_out.append(tag.substr(cursor, start - cursor));
    m_out.append(rewrite ? std::string_view(m_replacement) : tag.substr(start, end - start));
    cursor = end;
}

} // namespace

void WalkLinks(std::string_view text, std::string& out, ILinkVisitor& visitor,
               std::size_t maxTagText) {
    Walker walker(text, out, visitor, maxTagText);
    walker.Run();
}

} // namespace torvex
