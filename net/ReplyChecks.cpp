#include "net/ReplyChecks.h"

#include <limits>

#include "base/AsciiCase.h"

namespace torvex {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void SkipBlanks(std::string_view& text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
}

// Reads one unsigned decimal number at the start of `text` (at most 18 digits, so it never
// overflows); false without digits.
bool TakeNumber(std::string_view& text, std::int64_t& value) {
    SkipBlanks(text);
    std::size_t digits = 0;
    value = 0;
    while (digits < text.size() && IsDigit(text[digits])) {
        if (digits == 18) {
            return false;
        }
        value = value * 10 + (text[digits] - '0');
        ++digits;
    }
    text.remove_prefix(digits);
    SkipBlanks(text);
    return digits > 0;
}

bool TakeChar(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) {
        return false;
    }
    text.remove_prefix(1);
    return true;
}

} // namespace

bool IsStatusCode(std::string_view status) {
    return status.size() == 3 && status[0] >= '1' && status[0] <= '5' && IsDigit(status[1]) &&
           IsDigit(status[2]);
}

bool ParseContentRange(std::string_view value, CContentRange& range) {
    SkipBlanks(value);
    constexpr std::string_view kUnit = "bytes";
    if (!StartsWithNoCase(value, kUnit)) {
        return false;
    }
    value.remove_prefix(kUnit.size());
    if (value.empty() || (value.front() != ' ' && value.front() != '\t')) {
        return false;
    }
    CContentRange read;
    if (!TakeNumber(value, read.first) || !TakeChar(value, '-') ||
        !TakeNumber(value, read.last) || !TakeChar(value, '/')) {
        return false;
    }
    SkipBlanks(value);
    if (TakeChar(value, '*')) {
        read.total = -1;
    } else if (!TakeNumber(value, read.total)) {
        return false;
    }
    SkipBlanks(value);
    if (!value.empty() || read.first > read.last ||
        (read.total >= 0 && read.last >= read.total)) {
        return false;
    }
    range = read;
    return true;
}

bool PartialReplyPlace(const CContentRange& range, std::int64_t asked, std::int64_t& offset,
                       std::int64_t& length) {
    if (range.first != asked && range.first != 0) {
        return false;
    }
    if (range.total >= 0 && range.last + 1 != range.total) {
        return false;   // the rest of the file would be missing
    }
    offset = range.first;
    length = range.last - range.first + 1;
    return true;
}

} // namespace torvex
