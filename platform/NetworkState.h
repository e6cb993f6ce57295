#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace torvex {

// Whether this machine has a network address other than the loopback one. First the local host name
// is resolved and its IPv4 addresses are written as dotted decimal one after another (at most
// 64 characters). The network counts as down when that text begins with "0" or is exactly
// "127.0.0.1"; an empty text (nothing resolved) counts as up, so a failed look-up never ends a
// run on its own. When the name says down, an interface that is up, not the loopback, and has
// an IPv4 address still counts as a network. Safe to call from any thread; it may block for the
// resolver's time.
bool IsNetworkUp();

// True when an interface other than the loopback is up with an IPv4 address.
bool HasExternalInterface();

// The decision above on addresses given in host byte order (first octet in the top byte).
bool IsNetworkUpFromAddresses(const std::vector<std::uint32_t>& addresses);

} // namespace torvex
