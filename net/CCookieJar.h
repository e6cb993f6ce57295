#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "net/CCookie.h"
#include "net/CCookieExchange.h"

namespace torvex {

constexpr std::size_t kCookieSlots = 300;
constexpr int kCookiesPerDomain = 20;
// The longest Cookie line a request gets, its CR LF included. A request has 4096 characters in
// all; the rest of it (request line, referrer, host, credentials, user agent) stays well within
// the other half, so a site with many large cookies still gets the first of them back.
constexpr std::size_t kMaxCookieLine = 2048;

// The cookies of one run: filled from the servers' "set-cookie:" lines, sent back with every
// matching request, and loaded from and saved to the project's cookies file at the start and
// end of the run. Owned by the run's data; every download worker of the run shares it, so each
// public call takes the jar's lock for its whole scan and change.
//
// At most 300 cookies and 20 per domain; when full, the cookie used least often in this run
// (the earliest of equals) gives way. A cookie with the domain, path and name of one already
// kept replaces its value in place.
class CCookieJar : public CCookieExchange {
public:
    CCookieJar();
    ~CCookieJar() override;
    CCookieJar(const CCookieJar&) = delete;
    CCookieJar& operator=(const CCookieJar&) = delete;

    // Cookies that would make the line longer than kMaxCookieLine are left out (and not
    // counted as used).
    std::string BuildCookieHeader(std::string_view host, std::string_view path) override;
    // Cookies without a name, with control bytes in name or value, or for a domain the host
    // may not set are dropped.
    void AddSetCookie(std::string_view text, std::string_view defaultDomain,
                      std::string_view defaultPath) override;

    // Keeps, replaces or drops `cookie` by the jar's rules.
    void AddCookie(CCookie cookie);

    // Reads a cookies file into the jar; a missing or unreadable file adds nothing, damaged
    // lines are skipped. False only when the file exists but cannot be opened.
    bool LoadCookies(const std::string& fileName);
    // Writes every cookie, one line each, through a temporary file renamed over `fileName`.
    // An empty jar writes nothing and leaves an existing file alone. False when the file
    // could not be written (an older file then stays as it was).
    bool SaveCookies(const std::string& fileName) const;

    // A copy of the kept cookies in jar order.
    std::vector<CCookie> Cookies() const;

private:
    mutable std::mutex m_lock;
    std::vector<CCookie> m_cookies;   // jar order, no gaps
};

} // namespace torvex
