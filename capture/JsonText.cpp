#include "capture/JsonText.h"

#include <algorithm>
#include <cstdint>

namespace torvex {

namespace {

bool IsJsonSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A recursive-descent reader over one text; every step checks the bounds of the input, and
// the depth is counted so that a hostile nesting cannot exhaust the stack.
class CJsonParser {
public:
    explicit CJsonParser(std::string_view text) : m_text(text) {}

    std::optional<JsonValue> ParseDocument() {
        JsonValue value;
        SkipSpace();
        if (!ParseValue(value, 0)) {
            return std::nullopt;
        }
        SkipSpace();
        if (m_pos != m_text.size()) {
            return std::nullopt;
        }
        return value;
    }

private:
    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_pos]; }

    void SkipSpace() {
        while (!AtEnd() && IsJsonSpace(m_text[m_pos])) {
            ++m_pos;
        }
    }

    bool Consume(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word) {
            return false;
        }
        m_pos += word.size();
        return true;
    }

    bool ParseValue(JsonValue& value, std::size_t depth) {
        switch (Peek()) {
        case '{':
            return depth < kMaxJsonDepth && ParseObject(value, depth + 1);
        case '[':
            return depth < kMaxJsonDepth && ParseArray(value, depth + 1);
        case '"':
            value.kind = JsonValue::Kind::String;
            return ParseString(value.text);
        case 't':
            value.kind = JsonValue::Kind::Boolean;
            value.boolean = true;
            return Consume("true");
        case 'f':
            value.kind = JsonValue::Kind::Boolean;
            return Consume("false");
        case 'n':
            value.kind = JsonValue::Kind::Null;
            return Consume("null");
        default:
            value.kind = JsonValue::Kind::Number;
            return ParseNumber(value.text);
        }
    }

    // The members of an object or the items of an array, after the opening bracket: entries
    // separated by commas up to `close`.
    template <typename ParseEntry> bool ParseEntries(char close, ParseEntry parseEntry) {
        ++m_pos;
        SkipSpace();
        if (Peek() == close) {
            ++m_pos;
            return true;
        }
        for (;;) {
            if (!parseEntry()) {
                return false;
            }
            SkipSpace();
            if (Peek() == close) {
                ++m_pos;
                return true;
            }
            if (Peek() != ',') {
                return false;
            }
            ++m_pos;
            SkipSpace();
        }
    }

    bool ParseObject(JsonValue& value, std::size_t depth) {
        value.kind = JsonValue::Kind::Object;
        return ParseEntries('}', [&] {
            JsonMember member;
            if (Peek() != '"' || !ParseString(member.name)) {
                return false;
            }
            if (value.Member(member.name) != nullptr) {
                return false; // two values for one name: which one counts is not defined
            }
            SkipSpace();
            if (Peek() != ':') {
                return false;
            }
            ++m_pos;
            SkipSpace();
            if (!ParseValue(member.value, depth)) {
                return false;
            }
            value.members.push_back(std::move(member));
            return true;
        });
    }

    bool ParseArray(JsonValue& value, std::size_t depth) {
        value.kind = JsonValue::Kind::Array;
        return ParseEntries(']', [&] {
            JsonValue item;
            if (!ParseValue(item, depth)) {
                return false;
            }
            value.items.push_back(std::move(item));
            return true;
        });
    }

    bool ParseDigits() {
        const std::size_t start = m_pos;
        while (IsDigit(Peek())) {
            ++m_pos;
        }
        return m_pos > start;
    }

    bool ParseNumber(std::string& out) {
        const std::size_t start = m_pos;
        if (Peek() == '-') {
            ++m_pos;
        }
        if (Peek() == '0') {
            ++m_pos; // no leading zeros
        } else if (!ParseDigits()) {
            return false;
        }
        if (Peek() == '.') {
            ++m_pos;
            if (!ParseDigits()) {
                return false;
            }
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++m_pos;
            if (Peek() == '+' || Peek() == '-') {
                ++m_pos;
            }
            if (!ParseDigits()) {
                return false;
            }
        }
        out.assign(m_text.substr(start, m_pos - start));
        return true;
    }

    bool ParseHex4(std::uint32_t& code) {
        if (m_text.size() - m_pos < 4) {
            return false;
        }
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_pos++];
            code <<= 4;
            if (IsDigit(c)) {
                code |= static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                code |= static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                code |= static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return false;
            }
        }
        return true;
    }

    // "\u" escapes: a high surrogate must be followed by an escaped low one.
    bool ParseUnicodeEscape(std::string& out) {
        std::uint32_t code = 0;
        if (!ParseHex4(code)) {
            return false;
        }
        if (code >= 0xDC00 && code <= 0xDFFF) {
            return false;
        }
        if (code >= 0xD800 && code <= 0xDBFF) {
            std::uint32_t low = 0;
            if (!Consume("\\u") || !ParseHex4(low) || low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(out, code);
        return true;
    }

    bool ParseString(std::string& out) {
        ++m_pos; // the opening quote
        out.clear();
        for (;;) {
            if (AtEnd()) {
                return false;
            }
            const char c = m_text[m_pos];
            if (c == '"') {
                ++m_pos;
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return false; // control characters must be escaped
            }
            if (c == '\\') {
                ++m_pos;
                if (AtEnd()) {
                    return false;
                }
                const char escape = m_text[m_pos++];
                const std::string_view simple = "\"\\/bfnrt";
                const std::string_view meaning = "\"\\/\b\f\n\r\t";
                const std::size_t found = simple.find(escape);
                if (found != std::string_view::npos) {
                    out += meaning[found];
                } else if (escape != 'u' || !ParseUnicodeEscape(out)) {
                    return false;
                }
                continue;
            }
            const std::size_t length = Utf8SequenceLength(m_text.substr(m_pos));
            if (length == 0) {
                return false;
            }
            out.append(m_text.substr(m_pos, length));
            m_pos += length;
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

} // namespace

const JsonValue* JsonValue::Member(std::string_view name) const {
    const auto found = std::find_if(members.begin(), members.end(),
                                    [name](const JsonMember& m) { return m.name == name; });
    return found != members.end() ? &found->value : nullptr;
}

std::optional<JsonValue> ParseJson(std::string_view text) {
    return CJsonParser(text).ParseDocument();
}

std::size_t Utf8SequenceLength(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;  // the bounds of the second byte rule out overlong forms,
    unsigned char high = 0xBF; // surrogates and values past U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool IsValidUtf8(std::string_view text) {
    while (!text.empty()) {
        const std::size_t length = Utf8SequenceLength(text);
        if (length == 0) {
            return false;
        }
        text.remove_prefix(length);
    }
    return true;
}

std::string JsonQuoted(std::string_view text) {
    std::string out = "\"";
    while (!text.empty()) {
        const std::size_t length = Utf8SequenceLength(text);
        if (length == 0) {
            out += "\xEF\xBF\xBD"; // U+FFFD
            text.remove_prefix(1);
            continue;
        }
        const char c = text.front();
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[(c >> 4) & 0xF];
            out += kHex[c & 0xF];
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    out += '"';
    return out;
}

} // namespace torvex
