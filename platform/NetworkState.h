#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace torvex {

// Whether this machine has a network: first, an interface that is up, not the loopback and has
// an IPv4 address counts as one (no resolver is asked then). Without one the local host name is
// resolved and its IPv4 addresses are written as dotted decimal one after another (at most 64
// characters): the network counts as down when that text begins with "0" or is exactly
// "127.0.0.1"; an empty text (nothing resolved) counts as up, so a failed look-up never ends a
// run on its own. Safe to call from any thread. The look-up is given up as soon as `abort` (may
// be null) becomes true, and the answer is then "up".
bool IsNetworkUp(const std::atomic<bool>* abort = nullptr);

// True when an interface other than the loopback is up with an IPv4 address.
bool HasExternalInterface();

// The decision above on addresses given in host byte order (first octet in the top byte).
bool IsNetworkUpFromAddresses(const std::vector<std::uint32_t>& addresses);

} // namespace torvex
