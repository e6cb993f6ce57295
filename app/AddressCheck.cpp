#include "app/AddressCheck.h"

#include "base/AsciiCase.h"
#include "base/BoundedText.h"
#include "url/CUrl.h"

namespace torvex {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

bool IsSupportedScheme(std::string_view scheme) {
    return EqualsNoCase(scheme, "http") || EqualsNoCase(scheme, "https") ||
           EqualsNoCase(scheme, "ftp");
}

std::string UnsupportedSchemeText(std::string_view scheme) {
    return "Sorry, \"" + std::string(scheme) +
           "\" protocol is not supported in this version of Torvex.";
}

std::string CheckStartAddress(std::string_view text, std::string_view dateFormat) {
    if (text.size() > kMaxStartUrl || HasControlCharacter(text)) {
        return std::string(kUrlNotValidText);
    }
    std::string expanded;
    if (ExpandDateMacro(text, dateFormat, expanded) != 0) {
        return std::string(kUrlNotValidText); // the expansion would not fit
    }
    const CUrl url(expanded);
    if (!url.IsValid()) {
        return std::string(kUrlNotValidText);
    }
    if (!IsSupportedScheme(url.Scheme())) {
        return UnsupportedSchemeText(url.Scheme());
    }
    return {};
}

bool AddressListed(const std::vector<CStartAddress>& addresses, std::string_view text) {
    for (const CStartAddress& address : addresses) {
        if (EqualsNoCase(address.StartURL, text)) {
            return true;
        }
    }
    return false;
}

std::optional<CPendingAddress> AddressFromText(std::string_view text) {
    text = TrimBlanks(text);
    if (text.empty() || text.size() > kMaxStartUrl || HasControlCharacter(text)) {
        return std::nullopt;
    }
    const CUrl url(text);
    if (!url.IsValid()) {
        return std::nullopt;
    }
    CPendingAddress pending;
    pending.address = std::string(text);
    AssignCut(pending.name, url.Host(), kMaxProjectName);
    return pending;
}

} // namespace torvex
