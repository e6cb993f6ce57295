#pragma once

namespace torvex {

// How a run reaches the web: the values of the project's `Proxy` setting.
enum class ProxyMode : int {
    None = 0,
    Http = 1,
    Socks5 = 2,
};

} // namespace torvex
