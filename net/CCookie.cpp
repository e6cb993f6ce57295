#include "net/CCookie.h"

#include "base/AsciiCase.h"
#include "platform/PublicSuffix.h"

namespace torvex {

namespace {

bool IsDelimiter(char c) { return c == ',' || c == ' ' || c == ';'; }

void AppendCut(std::string& field, char c, std::size_t capacity) {
    if (field.size() < capacity) {
        field += c;
    }
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// A host written as an address rather than a name: its "labels" are numbers, so suffix
// matching would let 0.0.1 reach 127.0.0.1.
bool IsAddressHost(std::string_view host) {
    if (host.find(':') != std::string_view::npos || host.find('[') != std::string_view::npos) {
        return true;
    }
    for (const char c : host) {
        if (c != '.' && (c < '0' || c > '9')) {
            return false;
        }
    }
    return !host.empty();
}

enum class ScanState { Start, Token, TokenEnded, Value, PathValue, DomainValue, ExpiresValue };

} // namespace

CCookie ParseSetCookie(std::string_view text) {
    CCookie cookie;
    std::string token;
    std::string ignored;          // the value of a later pair, read and dropped
    std::string* value = nullptr; // where the Value state stores
    bool haveName = false;
    ScanState state = ScanState::Start;

    const auto decide = [&] {
        if (EqualsNoCase(token, "path")) {
            cookie.path.clear();
            state = ScanState::PathValue;
        } else if (EqualsNoCase(token, "domain")) {
            cookie.domain.clear();
            state = ScanState::DomainValue;
        } else if (EqualsNoCase(token, "expires")) {
            state = ScanState::ExpiresValue;
        } else if (!haveName) {
            haveName = true;
            cookie.name = token;
            value = &cookie.value;
            state = ScanState::Value;
        } else {
            ignored.clear();
            value = &ignored;
            state = ScanState::Value;
        }
    };
    const auto endToken = [&] {
        if (EqualsNoCase(token, "secure")) {
            cookie.secure = true;
        }
    };

    for (const char c : text) {
        if (c == '\r') {
            break;
        }
        switch (state) {
        case ScanState::Start:
            if (!IsDelimiter(c)) {
                token.assign(1, c);
                state = ScanState::Token;
            }
            break;
        case ScanState::Token:
            if (c == '=') {
                decide();
            } else if (c == ';' || c == ',') {
                endToken();
                state = ScanState::Start;
            } else if (c == ' ') {
                state = ScanState::TokenEnded;
            } else {
                AppendCut(token, c, kMaxCookieName);
            }
            break;
        case ScanState::TokenEnded:
            if (c == '=') {
                decide();
            } else if (!IsDelimiter(c)) {
                token.assign(1, c);
                state = ScanState::Token;
            }
            break;
        case ScanState::Value:
            if (c == ';') {
                state = ScanState::Start;
            } else {
                AppendCut(*value, c, kMaxCookieValue);
            }
            break;
        case ScanState::PathValue:
        case ScanState::DomainValue: {
            const bool isPath = state == ScanState::PathValue;
            if (IsDelimiter(c)) {
                state = ScanState::Start;
            } else {
                AppendCut(isPath ? cookie.path : cookie.domain, c,
                          isPath ? kMaxCookiePath : kMaxCookieDomain);
            }
            break;
        }
        case ScanState::ExpiresValue:
            if (c == ';') {
                state = ScanState::Start;
            }
            break;
        }
    }
    if (state == ScanState::Token || state == ScanState::TokenEnded) {
        endToken();
    }
    return cookie;
}

bool CookieDomainMatches(std::string_view domain, std::string_view host) {
    if (domain.empty()) {
        return false;
    }
    if (EqualsNoCase(domain, host)) {
        return true;   // also a host-only cookie of a host spelt oddly (".")
    }
    // A leading dot is no part of the domain: ".a.com" reaches a.com itself, which set it, as
    // well as the hosts below it.
    if (domain.front() == '.') {
        domain.remove_prefix(1);
        if (domain.empty()) {
            return false;
        }
        if (EqualsNoCase(domain, host)) {
            return true;
        }
    }
    // The suffix must begin a label: the host has a dot just before it.
    return host.size() > domain.size() && EndsWithNoCase(host, domain) &&
           host[host.size() - domain.size() - 1] == '.';
}

std::string CookieDomainFor(std::string_view host, std::string_view domain) {
    if (domain.empty() || IsAddressHost(host)) {
        // An address has no parents to share cookies with: only the host itself, and spelt
        // as the host so that matching finds it again.
        std::string_view bare = domain;
        if (!bare.empty() && bare.front() == '.') {
            bare.remove_prefix(1);
        }
        return domain.empty() || EqualsNoCase(bare, host) ? std::string(host) : std::string();
    }
    std::string_view bare = domain;
    if (bare.front() == '.') {
        bare.remove_prefix(1);
    }
    if (bare.empty()) {
        return {};
    }
    if (EqualsNoCase(bare, host)) {
        return std::string(domain);
    }
    // A single label ("com", ".local") or a public suffix ("co.uk", "github.io") would reach
    // every site below it.
    if (bare.find('.') == std::string_view::npos || !CookieDomainMatches(domain, host) ||
        IsPublicSuffix(bare)) {
        return {};
    }
    return std::string(domain);
}

bool CookiePathMatches(std::string_view cookiePath, std::string_view requestPath) {
    // The query is no part of the path a cookie is scoped to.
    requestPath = requestPath.substr(0, requestPath.find('?'));
    if (cookiePath.empty() || !StartsWithNoCase(requestPath, cookiePath)) {
        return false;
    }
    // "/foo" reaches "/foo" and "/foo/bar", never "/foobar".
    return requestPath.size() == cookiePath.size() || cookiePath.back() == '/' ||
           requestPath[cookiePath.size()] == '/';
}

bool HasCookieControlBytes(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127) {
            return true;
        }
    }
    return false;
}

} // namespace torvex
