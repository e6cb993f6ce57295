#include "platform/NetworkState.h"

#include <cstdio>
#include <cstring>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/Sockets.h"

namespace torvex {

namespace {
constexpr std::size_t kMaxAddressText = 64;
}

bool IsNetworkUpFromAddresses(const std::vector<std::uint32_t>& addresses) {
    std::string text;
    for (std::uint32_t a : addresses) {
        char dotted[20];
        std::snprintf(dotted, sizeof dotted, "%u.%u.%u.%u", (a >> 24) & 0xFF, (a >> 16) & 0xFF,
                      (a >> 8) & 0xFF, a & 0xFF);
        text += dotted;
    }
    if (text.size() > kMaxAddressText) {
        text.resize(kMaxAddressText);
    }
    return !(text.starts_with('0') || text == "127.0.0.1");
}

bool IsNetworkUp(const std::atomic<bool>* abort) {
    // An interface that is up, is not the loopback and has an IPv4 address answers at once,
    // without the resolver: a worker asks after every failed connection, and a name server that
    // is slow or gone must not hold it there.
    if (HasExternalInterface()) {
        return true;
    }
    // Many Linux systems map the host name to 127.0.0.1 whatever their network does; without
    // an external interface the name's addresses decide, as they always did.
    char name[128] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return IsNetworkUpFromAddresses({});
    }
    std::vector<std::uint32_t> addresses;
    if (LookUpHostAddresses(name, addresses, abort) != 0) {
        addresses.clear();
    }
    if (abort != nullptr && abort->load()) {
        return true;   // given up: nothing learnt, so nothing ends the run
    }
    return IsNetworkUpFromAddresses(addresses);
}

bool HasExternalInterface() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return false;
    }
    bool found = false;
    for (ifaddrs* p = list; p != nullptr && !found; p = p->ifa_next) {
        if (p->ifa_addr == nullptr || p->ifa_addr->sa_family != AF_INET ||
            (p->ifa_flags & IFF_UP) == 0 || (p->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        sockaddr_in in{};
        std::memcpy(&in, p->ifa_addr, sizeof in);
        const std::uint32_t address = ntohl(in.sin_addr.s_addr);
        found = (address >> 24) != 0 && (address >> 24) != 127;
    }
    ::freeifaddrs(list);
    return found;
}

} // namespace torvex
