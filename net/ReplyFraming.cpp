#include "net/ReplyFraming.h"

#include "base/AsciiCase.h"

namespace torvex {

namespace {

constexpr std::size_t kMaxLengthDigits = 18;   // stays below 2^63
constexpr std::size_t kMaxContentEncoding = 256;

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

// Calls `each` with every element of a comma-separated list, trimmed; empty elements skipped.
template <class Each> void ForEachElement(std::string_view list, Each each) {
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view element = Trimmed(list.substr(0, comma));
        if (!element.empty()) {
            each(element);
        }
        if (comma == std::string_view::npos) {
            break;
        }
        list.remove_prefix(comma + 1);
    }
}

bool ParseLength(std::string_view text, std::int64_t& value) {
    if (text.empty() || text.size() > kMaxLengthDigits) {
        return false;
    }
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return true;
}

} // namespace

void ReplyFraming::Take(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return;
    }
    // A name is followed at once by its colon; "Content-Length :" is no Content-Length.
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = Trimmed(line.substr(colon + 1));
    if (EqualsNoCase(name, "Content-Length")) {
        lengthGiven = true;
        bool any = false;
        ForEachElement(value, [this, &any](std::string_view element) {
            std::int64_t parsed = 0;
            any = true;
            if (!ParseLength(element, parsed) || (length >= 0 && parsed != length)) {
                lengthBroken = true;
                return;
            }
            length = parsed;
        });
        if (!any) {
            lengthBroken = true;
        }
    } else if (EqualsNoCase(name, "Transfer-Encoding")) {
        transferEncoding = true;
        ForEachElement(value, [this](std::string_view element) {
            chunked = EqualsNoCase(Trimmed(element.substr(0, element.find(';'))), "chunked");
        });
    } else if (EqualsNoCase(name, "Connection")) {
        ForEachElement(value, [this](std::string_view element) {
            if (EqualsNoCase(element, "close")) {
                connectionClose = true;
            }
        });
    } else if (EqualsNoCase(name, "Content-Encoding")) {
        if (!contentEncoding.empty()) {
            contentEncoding += ", ";
        }
        if (contentEncoding.size() + value.size() <= kMaxContentEncoding) {
            contentEncoding += value;
        } else {
            contentEncoding += "?";   // too many codings to be one we can undo
        }
    }
}

BodyEnd ReplyFraming::End(std::string_view status) const {
    if ((!status.empty() && status.front() == '1') || status == "204" || status == "304") {
        return BodyEnd::None;
    }
    if (transferEncoding) {
        return chunked ? BodyEnd::Chunked : BodyEnd::Close;
    }
    if (lengthGiven && !lengthBroken) {
        return length == 0 ? BodyEnd::None : BodyEnd::Length;
    }
    return BodyEnd::Close;
}

bool ReplyFraming::KeepsConnection(std::string_view status) const {
    return http11 && !connectionClose && End(status) != BodyEnd::Close &&
           !(transferEncoding && lengthGiven);
}

} // namespace torvex
