#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace torvex {

constexpr std::size_t kMaxCookieDomain = 128;
constexpr std::size_t kMaxCookiePath = 512;
constexpr std::size_t kMaxCookieName = 128;
constexpr std::size_t kMaxCookieValue = 512;

// One cookie of a run's jar. A plain value: the jar copies it in and out under its lock.
struct CCookie {
    std::string domain;   // host suffix the cookie applies to
    std::string path;     // path prefix the cookie applies to
    std::string name;
    std::string value;    // as received, blanks and commas included
    bool secure = false;  // kept and written to the file; never used for matching
    int useCount = 0;     // how often it went into a request in this run
};

// Reads the text after "set-cookie:" (up to its first CR). The first pair that is not path,
// domain or expires gives the name and value; later pairs (Max-Age, HttpOnly=..., ...) are
// attributes this jar does not use and never replace the cookie. The expiry date is skipped.
// Domain and path stay empty when the text has none; every field is cut to its capacity.
CCookie ParseSetCookie(std::string_view text);

// Whether a cookie of `domain` goes to `host`: the host equals the domain, or ends in it where
// a label begins (".a.com" and "a.com" both reach "shop.a.com"; "a.com" never "bada.com").
// Without regard to case.
bool CookieDomainMatches(std::string_view domain, std::string_view host);

// The domain a cookie from a server at `host` is kept for: the host itself when the cookie
// names none; the named domain when it reaches the host (or is the host with a leading dot),
// has a dot inside and is no public suffix ("co.uk", "github.io"), unless it is the host itself;
// the empty text when the server may not set cookies there. A host given as an address only
// ever sets cookies for itself.
std::string CookieDomainFor(std::string_view host, std::string_view domain);

// Whether a cookie of `cookiePath` goes with a request for `requestPath` (its query left out):
// the paths are equal, or the cookie's path is a prefix that ends in "/" or is followed by "/"
// in the request's ("/foo" reaches "/foo/bar", never "/foobar"). Letters compare without regard
// to case.
bool CookiePathMatches(std::string_view cookiePath, std::string_view requestPath);

// True when `text` holds a byte that must not travel in a header line (below 32, or 127).
bool HasCookieControlBytes(std::string_view text);

} // namespace torvex
