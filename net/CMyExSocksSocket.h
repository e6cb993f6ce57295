#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

#include "net/CMyExSocket.h"

namespace torvex {

constexpr std::size_t kMaxSocksText = 255;
constexpr std::string_view kMyExSocksSocketClass = "CMyExSocksSocket";

// How a socket reaches its target.
enum class SocksMode : int {
    Direct = 0,
    Socks5 = 5,
};

// A socket that can reach its target directly or through a SOCKS5 proxy. The proxy settings are
// given once per worker (ConfigureSocks) and kept for every later connection. Same ownership
// and threading as CBlockingSocket.
class CMyExSocksSocket : public CMyExSocket {
public:
    CMyExSocksSocket();
    ~CMyExSocksSocket() override;

    // Copies the proxy settings; user and password are cut to 255 characters.
    void ConfigureSocks(int mode, const SocketAddress& proxy, bool useAuthentication,
                        std::string_view user, std::string_view password);

    // Connects the socket (already created and non-blocking) to `host`:`port` by the stored
    // mode. Direct: resolves the host (throws "GetHostByName") and connects (throws "Connect",
    // -1). Any mode but direct and SOCKS5 throws "Connect" with code 101. Exceptions carry the
    // class name "CMyExSocksSocket".
    void SocksConnect(std::string_view host, int port, int timeOut,
                      const std::atomic<bool>* abort = nullptr);

    int Mode() const { return m_mode; }
    const SocketAddress& ProxyAddress() const { return m_proxy; }
    bool UseAuthentication() const { return m_useAuthentication; }
    const std::string& User() const { return m_user; }
    const std::string& Password() const { return m_password; }

private:
    int m_mode = 0;
    SocketAddress m_proxy;
    bool m_useAuthentication = false;
    std::string m_user;       // at most 255 characters
    std::string m_password;   // at most 255 characters
};

} // namespace torvex
