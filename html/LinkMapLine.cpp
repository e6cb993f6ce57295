#include "html/LinkMapLine.h"

#include <charconv>

#include "base/BoundedText.h"
#include "html/CTagTable.h"

namespace torvex {

namespace {

void AppendCodeLine(std::string& out, std::string_view url, int code, std::size_t width) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, code);
    const std::size_t length = static_cast<std::size_t>(result.ptr - digits);
    out.append(UpToNul(url));
    out.push_back('\t');
    out.append(digits, length);
    if (length < width) {
        out.append(width - length, ' ');
    }
    out.append("\t\n");
}

} // namespace

void AppendLinkMapLine(std::string& out, std::string_view url, int code) {
    AppendCodeLine(out, url, code, 3);
}

void AppendLinkMapBaseLine(std::string& out, std::string_view url) {
    AppendCodeLine(out, url, kLinkCodeBaseLine, 2);
}

} // namespace torvex
