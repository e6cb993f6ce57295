#pragma once

#include <string>
#include <string_view>

namespace torvex {

// The cookies of a run as the HTTP transaction sees them: the Cookie line of a request and
// the "set-cookie:" lines of a response. The run's cookie jar implements it; it is shared by
// every worker of the run, so implementations lock themselves.
class CCookieExchange {
public:
    virtual ~CCookieExchange();

    // The whole "Cookie: ...\r\n" line for a request to `host` and `path`, or the empty text
    // when no cookie matches.
    virtual std::string BuildCookieHeader(std::string_view host, std::string_view path) = 0;

    // Takes one cookie from the text after "set-cookie:" and its spaces (line end removed). A
    // cookie without a domain gets `defaultDomain`, one without a path `defaultPath`.
    virtual void AddSetCookie(std::string_view text, std::string_view defaultDomain,
                              std::string_view defaultPath) = 0;
};

// A run without cookies: sends none and keeps none.
class CNoCookies : public CCookieExchange {
public:
    ~CNoCookies() override;
    std::string BuildCookieHeader(std::string_view host, std::string_view path) override;
    void AddSetCookie(std::string_view text, std::string_view defaultDomain,
                      std::string_view defaultPath) override;
};

} // namespace torvex
