#include "LoopbackPorts.h"

#include <cstdint>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace torvex::test {

namespace {

sockaddr LoopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    sockaddr generic{};
    std::memcpy(&generic, &address, sizeof address);
    return generic;
}

} // namespace

int FreeLoopbackPort() {
    const int handle = ::socket(AF_INET, SOCK_STREAM, 0);
    if (handle < 0) {
        return 0;
    }
    sockaddr address = LoopbackAddress(0);
    int port = 0;
    if (::bind(handle, &address, sizeof(sockaddr_in)) == 0) {
        socklen_t length = sizeof address;
        ::getsockname(handle, &address, &length);
        sockaddr_in in{};
        std::memcpy(&in, &address, sizeof in);
        port = ntohs(in.sin_port);
    }
    ::close(handle);
    return port;
}

bool LoopbackAccepts(int port) {
    const int handle = ::socket(AF_INET, SOCK_STREAM, 0);
    if (handle < 0) {
        return false;
    }
    const sockaddr address = LoopbackAddress(port);
    const bool connected = ::connect(handle, &address, sizeof(sockaddr_in)) == 0;
    ::close(handle);
    return connected;
}

} // namespace torvex::test
