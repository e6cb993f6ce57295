// A Set-Cookie text as a server sends it: the first line of the input is the requesting host
// and path ("host/path"), the rest the text after "set-cookie:".

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "net/CCookie.h"
#include "net/CCookieJar.h"

using namespace torvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\n');
    std::string_view where = input.substr(0, split);
    const std::string_view text =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    const std::size_t slash = where.find('/');
    const std::string_view host = where.substr(0, slash);
    const std::string path(slash == std::string_view::npos ? "/" : where.substr(slash));

    const CCookie cookie = ParseSetCookie(text);
    FUZZ_CHECK(cookie.domain.size() <= kMaxCookieDomain);
    FUZZ_CHECK(cookie.path.size() <= kMaxCookiePath);
    FUZZ_CHECK(cookie.name.size() <= kMaxCookieName);
    FUZZ_CHECK(cookie.value.size() <= kMaxCookieValue);
    const std::string domain = CookieDomainFor(host, cookie.domain);
    FUZZ_CHECK(domain.empty() || CookieDomainMatches(domain, host));

    CCookieJar jar;
    jar.AddSetCookie(text, host, path);
    for (const CCookie& kept : jar.Cookies()) {
        FUZZ_CHECK(!HasCookieControlBytes(kept.name) && !HasCookieControlBytes(kept.value));
    }
    const std::string line = jar.BuildCookieHeader(host, path);
    FUZZ_CHECK(line.size() <= kMaxCookieLine);
    // The line ends where it says: no byte in it could start another header line.
    FUZZ_CHECK(line.empty() || line.find('\n') == line.size() - 1);
    return 0;
}
