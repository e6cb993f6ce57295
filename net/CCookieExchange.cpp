#include "net/CCookieExchange.h"

namespace torvex {

CCookieExchange::~CCookieExchange() = default;

CNoCookies::~CNoCookies() = default;

std::string CNoCookies::BuildCookieHeader(std::string_view, std::string_view) {
    return {};
}

void CNoCookies::AddSetCookie(std::string_view, std::string_view, std::string_view) {}

} // namespace torvex
