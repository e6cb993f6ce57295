#include "html/LinkWalker.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/AsciiCase.h"
#include "html/CAttrList.h"
#include "html/CTagTable.h"
#include "html/CharacterReferences.h"
#include "html/CssParser.h"
#include "url/CUrl.h"

namespace torvex {

namespace {

constexpr std::string_view kJavascript = "javascript:";
constexpr std::string_view kStyle = "style";
constexpr std::size_t kNotFound = std::string_view::npos;

bool IsQuote(char c) { return c == '\'' || c == '"'; }

bool IsHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsTagNameChar(char c) {
    return IsLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ':' || c == '.';
}

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

// The argument of a script call names a file when it looks like one: a plain address with a
// "." or "/" in it. "alert('Saved')" names none, and its text must not become an address.
bool IsScriptArgumentAddress(std::string_view text) {
    return IsPlainAddress(text) && text.find_first_of("./") != kNotFound;
}

// Whether a link tag's rel names a part of the page (fetched on the page's level, like an
// image) or another page (one level deeper, judged by the address filters like an anchor). A
// link tag without rel is taken as a part of the page, as such tags have always been.
bool RelNamesPagePart(std::string_view rel) {
    static constexpr std::string_view kPartRels[] = {
        "stylesheet", "icon",     "apple-touch-icon", "apple-touch-icon-precomposed",
        "mask-icon",  "preload",  "modulepreload",    "manifest"};
    std::size_t i = 0;
    bool anyToken = false;
    while (i < rel.size()) {
        while (i < rel.size() && IsHtmlSpace(rel[i])) {
            ++i;
        }
        std::size_t end = i;
        while (end < rel.size() && !IsHtmlSpace(rel[end])) {
            ++end;
        }
        if (end > i) {
            anyToken = true;
            for (std::string_view part : kPartRels) {
                if (EqualsNoCase(rel.substr(i, end - i), part)) {
                    return true;
                }
            }
        }
        i = end;
    }
    return !anyToken;
}

// Where a replacement is written, for the escaping it needs there.
enum class Place {
    Address,     // an attribute value that is one address
    Candidate,   // an address of a srcset list, inside an attribute value
    StyleUrl,    // a url() value of a style attribute
};

// A replacement inside an HTML attribute value reads back as written: quotes are written as
// references, so are "&" that would start one, and blanks and ">" when the value has no quotes.
void AppendAttributeText(std::string& out, std::string_view text, bool quoted) {
    const bool escapeAmpersands = HasCharacterReference(text);
    for (const char c : text) {
        if (c == '"') {
            out += "&quot;";
        } else if (c == '\'') {
            out += "&#39;";
        } else if (c == '&' && escapeAmpersands) {
            out += "&amp;";
        } else if (!quoted && (IsHtmlSpace(c) || c == '>')) {
            out += "&#";
            out += std::to_string(static_cast<int>(c));
            out += ';';
        } else {
            out.push_back(c);
        }
    }
}

// An address in a srcset list ends at a blank, and trailing commas separate candidates.
void AppendCandidateText(std::string& out, std::string_view text) {
    std::size_t keep = text.size();
    while (keep > 0 && text[keep - 1] == ',') {
        --keep;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsHtmlSpace(text[i])) {
            out += "%20";
        } else if (i >= keep) {
            out += "%2C";
        } else {
            out.push_back(text[i]);
        }
    }
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
    // The end (">", or "<" of the next tag when it has none) of the tag whose name ends at
    // `nameEnd`; kNotFound when it ends nowhere.
    std::size_t TagEnd(std::size_t nameEnd) const;
    void ProcessTag(int row, std::string_view tag);
    // A tag outside the table at `pos` (after its "<"): only a style attribute can carry links.
    // Returns where the walk goes on.
    std::size_t ProcessOtherTag(std::size_t pos);
    // A style element whose name begins at `pos`: its content is read as a style sheet. Returns
    // where the walk goes on, or kNotFound when `pos` begins no style element with an end.
    std::size_t ProcessStyleElement(std::size_t pos);

    // Reads the attribute's value as a browser does into m_view; Raw maps positions back.
    void DecodeValue(std::string_view norm, const CAttr& attr);
    std::size_t Raw(std::size_t i) const {
        return m_valuePos + (m_decoded ? m_rawAt[i] : i);
    }
    void HandleAddress(int code, const CAttr& attr, std::string_view tag, std::size_t& cursor);
    void HandleCandidates(int code, std::string_view tag, std::size_t& cursor);
    void HandleStyle(std::string_view tag, std::size_t& cursor);
    // Visits m_view[start, end) and writes the visitor's replacement over the raw value.
    void VisitAndReplace(int code, std::size_t start, std::size_t end, Place place,
                         std::string_view tag, std::size_t& cursor);
    void Replace(std::string_view tag, std::size_t& cursor, std::size_t from, std::size_t to,
                 std::string_view text);

    std::string_view m_text;
    std::string& m_out;
    ILinkVisitor& m_visitor;
    const CTagTable& m_table;
    std::size_t m_maxTagText;
    std::size_t m_lastGt = kNotFound;
    bool m_stopped = false;
    CAttrList m_attrs;
    std::vector<char> m_scratch;   // allocated once per walk
    std::string m_replacement;
    std::string m_escaped;
    std::string m_staged;
    // The value being read: as decoded (m_value) or as written, and where it was written.
    std::string_view m_view;
    std::string m_value;
    std::vector<std::uint32_t> m_rawAt;
    bool m_decoded = false;
    bool m_quoted = false;
    std::size_t m_valuePos = 0;
};

std::size_t Walker::TagEnd(std::size_t nameEnd) const {
    const std::size_t n = m_text.size();
    const std::size_t window = std::min(n, nameEnd + m_maxTagText + 1);
    std::size_t tagEnd = FindByte(m_text, '>', nameEnd, window);
    if (tagEnd != kNotFound) {
        return tagEnd;
    }
    if (m_lastGt != kNotFound && m_lastGt >= window) {
        return FindByte(m_text, '>', window, n);   // too long: copied as it is
    }
    return FindByte(m_text, '<', nameEnd, n);   // unterminated: ends at the next tag
}

void Walker::Run() {
    const std::size_t n = m_text.size();
    // Where the last ">" is tells in constant time whether a tag without a near ">" has one at
    // all, so an unterminated tag never costs a scan to the end of the page.
    m_lastGt = m_text.rfind('>');
    std::size_t pos = 0;
    while (pos < n && !m_stopped) {
        const std::size_t lt = FindByte(m_text, '<', pos, n);
        if (lt == kNotFound) {
            break;
        }
        m_out.append(m_text.substr(pos, lt + 1 - pos));
        pos = lt + 1;
        const int row = m_table.MatchTag(m_text.substr(pos, 8));
        if (row < 0) {
            if (pos < n && IsLetter(m_text[pos])) {
                const std::size_t next = ProcessStyleElement(pos);
                pos = next != kNotFound ? next : ProcessOtherTag(pos);
            }
            continue;
        }
        if (m_visitor.StopRequested()) {
            break;
        }
        const std::size_t nameEnd = pos + m_table.Row(row).name.size();
        const std::size_t tagEnd = TagEnd(nameEnd);
        if (tagEnd == kNotFound) {
            break;
        }
        if (tagEnd - nameEnd > m_maxTagText) {
            m_out.append(m_text.substr(pos, tagEnd - pos));
        } else {
            m_out.append(m_text.substr(pos, nameEnd - pos));
            ProcessTag(row, m_text.substr(nameEnd, tagEnd - nameEnd));
        }
        pos = tagEnd;   // the ">" or "<" that ended the tag is copied with the text after it
    }
    if (pos < n) {
        m_out.append(m_text.substr(pos));
    }
}

void Walker::ProcessTag(int row, std::string_view tag) {
    // Attributes are read from a copy in which tab, CR and LF are spaces; the page keeps its own
    // bytes, so a line break inside a script handler is never turned into a space. Values of any
    // length are read: a srcset or style lists several addresses, each of which is bounded.
    std::memcpy(m_scratch.data(), tag.data(), tag.size());
    ParseAttributes(std::span<char>(m_scratch.data(), tag.size()), m_attrs, tag.size());
    const std::string_view norm(m_scratch.data(), tag.size());

    if (row == static_cast<int>(TagCode::Meta)) {
        const CAttr* equiv = m_attrs.Find("http-equiv");
        if (equiv == nullptr || !EqualsNoCase(equiv->value, "refresh")) {
            m_out.append(tag);
            return;
        }
    }
    int linkTagCode = static_cast<int>(TagCode::Link);
    if (row == static_cast<int>(TagCode::Link)) {
        const CAttr* rel = m_attrs.Find("rel");
        if (rel != nullptr && !RelNamesPagePart(rel->value)) {
            linkTagCode = static_cast<int>(TagCode::LinkPage);
        }
    }
    std::size_t cursor = 0;
    for (const CAttr& attr : m_attrs) {
        if (attr.namePos < cursor) {
            continue;
        }
        if (EqualsNoCase(attr.name, kStyle)) {
            DecodeValue(norm, attr);
            HandleStyle(tag, cursor);
            continue;
        }
        int code = m_table.AttributeCode(row, attr.name);
        if (code < 0) {
            continue;
        }
        if (code == static_cast<int>(TagCode::Link)) {
            code = linkTagCode;
        }
        if (CTagTable::IsCandidateList(code)) {
            DecodeValue(norm, attr);
            HandleCandidates(code, tag, cursor);
            continue;
        }
        if (attr.value.size() > kMaxAttrValue) {
            continue;   // one address never runs this long
        }
        if (code == static_cast<int>(TagCode::Base)) {
            m_out.append(tag.substr(cursor, attr.namePos - cursor));
            m_out.push_back('!');
            cursor = attr.namePos;
        }
        DecodeValue(norm, attr);
        HandleAddress(code, attr, tag, cursor);
    }
    m_out.append(tag.substr(cursor));
}

std::size_t Walker::ProcessOtherTag(std::size_t pos) {
    const std::size_t n = m_text.size();
    std::size_t nameEnd = pos;
    while (nameEnd < n && IsTagNameChar(m_text[nameEnd])) {
        ++nameEnd;
    }
    if (nameEnd >= n || !IsHtmlSpace(m_text[nameEnd])) {
        return pos;
    }
    const std::size_t tagEnd =
        FindByte(m_text, '>', nameEnd, std::min(n, nameEnd + m_maxTagText + 1));
    if (tagEnd == kNotFound) {
        return pos;
    }
    const std::string_view tag = m_text.substr(nameEnd, tagEnd - nameEnd);
    if (FindNoCase(tag, kStyle) == kNotFound) {
        return pos;
    }
    if (m_visitor.StopRequested()) {
        m_stopped = true;
        return pos;
    }
    std::memcpy(m_scratch.data(), tag.data(), tag.size());
    ParseAttributes(std::span<char>(m_scratch.data(), tag.size()), m_attrs, tag.size());
    const std::string_view norm(m_scratch.data(), tag.size());
    m_out.append(m_text.substr(pos, nameEnd - pos));
    std::size_t cursor = 0;
    for (const CAttr& attr : m_attrs) {
        if (attr.namePos >= cursor && EqualsNoCase(attr.name, kStyle)) {
            DecodeValue(norm, attr);
            HandleStyle(tag, cursor);
        }
    }
    // Only the tag up to its last rewritten value is taken here; the walk reads the rest of it as
    // it reads any text.
    return nameEnd + cursor;
}

std::size_t Walker::ProcessStyleElement(std::size_t pos) {
    const std::size_t n = m_text.size();
    const std::size_t nameEnd = pos + kStyle.size();
    if (nameEnd >= n || !EqualsNoCase(m_text.substr(pos, kStyle.size()), kStyle) ||
        !(IsHtmlSpace(m_text[nameEnd]) || m_text[nameEnd] == '>' || m_text[nameEnd] == '/')) {
        return kNotFound;
    }
    const std::size_t tagEnd =
        FindByte(m_text, '>', nameEnd, std::min(n, nameEnd + m_maxTagText + 1));
    if (tagEnd == kNotFound) {
        return kNotFound;
    }
    const std::size_t close = FindNoCase(m_text, "</style", tagEnd + 1);
    if (close == kNotFound) {
        return kNotFound;   // no end: the text after it is no style sheet
    }
    if (m_visitor.StopRequested()) {
        m_stopped = true;
        return pos;
    }
    m_out.append(m_text.substr(pos, tagEnd + 1 - pos));
    WalkStyleSheetLinks(m_text.substr(tagEnd + 1, close - tagEnd - 1), m_out, m_visitor,
                        static_cast<int>(TagCode::StyleBlock),
                        static_cast<int>(TagCode::StyleImport));
    return close;
}

void Walker::DecodeValue(std::string_view norm, const CAttr& attr) {
    m_valuePos = attr.valuePos;
    std::size_t before = attr.valuePos;
    while (before > 0 && norm[before - 1] == ' ') {
        --before;
    }
    m_quoted = before > 0 && IsQuote(norm[before - 1]);
    m_decoded = attr.value.find('&') != kNotFound;
    if (!m_decoded) {
        m_view = attr.value;
        return;
    }
    DecodeCharacterReferences(attr.value, m_value, &m_rawAt);
    m_view = m_value;
}

void Walker::HandleAddress(int code, const CAttr& attr, std::string_view tag,
                           std::size_t& cursor) {
    const std::string_view v = m_view;
    std::size_t start = 0;
    std::size_t end = v.size();
    if (code == static_cast<int>(TagCode::Meta)) {
        // "5; url=page.html": the address follows the first "="; without one there is none.
        const std::size_t equals = FindByte(v, '=', start, end);
        if (equals == kNotFound) {
            return;
        }
        start = equals + 1;
        // Pages also write url= page.html and url='page.html'; the spaces and quotes are not
        // part of the address and stay in the page around it.
        while (start < end && v[start] == ' ') {
            ++start;
        }
        if (start < end && IsQuote(v[start])) {
            const char quote = v[start++];
            if (end > start && v[end - 1] == quote) {
                --end;
            }
        }
    }
    std::size_t javascriptAt = kNotFound;
    if (EqualsNoCase(attr.name, "onclick") || EqualsNoCase(attr.name, "onmouseover")) {
        // A handler is script code; only a quoted argument in it can be an address. Read as a
        // whole, "x=a/b" or a handler with line breaks would be "rewritten" into broken code.
        if (!TakeQuotedArgument(v, start, end) ||
            !IsScriptArgumentAddress(v.substr(start, end - start))) {
            return;
        }
    } else if (StartsWithNoCase(v.substr(start, end - start), kJavascript)) {
        std::size_t argumentStart = start + kJavascript.size();
        std::size_t argumentEnd = end;
        if (!TakeQuotedArgument(v, argumentStart, argumentEnd) ||
            !IsScriptArgumentAddress(v.substr(argumentStart, argumentEnd - argumentStart))) {
            // Script code that names no file: it is met whole, as the scheme it is, and keeps
            // its text.
            VisitAndReplace(code, start, end, Place::Address, tag, cursor);
            return;
        }
        javascriptAt = start;
        start = argumentStart;
        end = argumentEnd;
    }
    const std::size_t hash = v.substr(start, end - start).rfind('#');
    if (hash != kNotFound) {
        end = start + hash;   // the fragment stays behind the rewritten address
    }
    // Quotes escaped for a script string around the address stay in the page.
    while (end - start >= 2 && v[start] == '\\' && v[start + 1] == '"') {
        start += 2;
    }
    while (end - start >= 2 && v[end - 2] == '\\' && v[end - 1] == '"') {
        end -= 2;
    }
    if (javascriptAt != kNotFound) {
        Replace(tag, cursor, Raw(javascriptAt), Raw(javascriptAt + kJavascript.size()),
                kJavascript);
    }
    VisitAndReplace(code, start, end, Place::Address, tag, cursor);
}

void Walker::HandleCandidates(int code, std::string_view tag, std::size_t& cursor) {
    // "a.png 1x, b.png 2x": each address runs to a blank; one that ends in commas has no
    // descriptors, otherwise they run to the next comma outside parentheses.
    const std::string_view v = m_view;
    std::size_t pos = 0;
    while (pos < v.size()) {
        while (pos < v.size() && (IsHtmlSpace(v[pos]) || v[pos] == ',')) {
            ++pos;
        }
        const std::size_t start = pos;
        while (pos < v.size() && !IsHtmlSpace(v[pos])) {
            ++pos;
        }
        std::size_t end = pos;
        if (end > start && v[end - 1] == ',') {
            while (end > start && v[end - 1] == ',') {
                --end;
            }
        } else {
            bool inParentheses = false;
            while (pos < v.size() && (inParentheses || v[pos] != ',')) {
                if (v[pos] == '(') {
                    inParentheses = true;
                } else if (v[pos] == ')') {
                    inParentheses = false;
                }
                ++pos;
            }
        }
        if (end > start && end - start <= kMaxUrlText) {
            VisitAndReplace(code, start, end, Place::Candidate, tag, cursor);
        }
    }
}

void Walker::HandleStyle(std::string_view tag, std::size_t& cursor) {
    std::size_t pos = 0;
    CStyleLink link;
    while (NextStyleSheetLink(m_view, pos, link)) {
        VisitAndReplace(static_cast<int>(TagCode::StyleAttribute), link.start, link.end,
                        Place::StyleUrl, tag, cursor);
    }
}

void Walker::VisitAndReplace(int code, std::size_t start, std::size_t end, Place place,
                             std::string_view tag, std::size_t& cursor) {
    m_replacement.clear();
    if (!m_visitor.VisitLink(code, m_view.substr(start, end - start), m_replacement)) {
        return;
    }
    m_escaped.clear();
    switch (place) {
    case Place::Address:
        AppendAttributeText(m_escaped, m_replacement, m_quoted);
        break;
    case Place::Candidate:
        m_staged.clear();
        AppendCandidateText(m_staged, m_replacement);
        AppendAttributeText(m_escaped, m_staged, m_quoted);
        break;
    case Place::StyleUrl:
        m_staged.clear();
        AppendStyleSheetUrl(m_staged, m_replacement);
        AppendAttributeText(m_escaped, m_staged, m_quoted);
        break;
    }
    Replace(tag, cursor, Raw(start), Raw(end), m_escaped);
}

void Walker::Replace(std::string_view tag, std::size_t& cursor, std::size_t from,
                     std::size_t to, std::string_view text) {
    m_out.append(tag.substr(cursor, from - cursor));
    m_out.append(text);
    cursor = to;
}

} // namespace

bool IsPlainAddress(std::string_view text) {
    if (text.empty() || text.front() == '+' || text.back() == '+') {
        return false;
    }
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 127 || c == '"' || c == '\'' || c == '`' || c == '\\' ||
            c == '<' || c == '>' || c == '(' || c == ')' || c == '{' || c == '}') {
            return false;
        }
    }
    return true;
}

void WalkLinks(std::string_view text, std::string& out, ILinkVisitor& visitor,
               std::size_t maxTagText) {
    Walker walker(text, out, visitor, maxTagText);
    walker.Run();
}

} // namespace torvex
