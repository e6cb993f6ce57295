#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

#include "net/CMyExSocket.h"

namespace torvex {

constexpr std::size_t kMaxSocksText = 255;
constexpr std::string_view kMyExSocksSocketClass = "CMyExSocksSocket";
constexpr std::string_view kOpSocks5Authenticate = "Socks5Authenticate";

// Codes of the SOCKS5 failures besides the proxy's own reply codes (1 to 8 for "Connect").
namespace SocksCode {
constexpr int UnusableMode = 101;       // "Connect": a mode other than direct and SOCKS5
constexpr int LongHostName = 102;       // "Connect": a target name of more than 255 characters
constexpr int UnknownAddressType = 103; // "Connect": a reply whose bound address cannot be read
constexpr int NotSocks5 = 201;          // "Socks5Authenticate": the answer is not of version 5
constexpr int NoCredentials = 202;      // the proxy asks for a password that was not configured
constexpr int NoAcceptableMethod = 203; // the proxy accepts none of the offered methods
constexpr int UnofferedMethod = 204;    // the proxy chose a method that was not offered
constexpr int Refused = 205;            // the proxy refused the user name and password
} // namespace SocksCode

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
    // -1 or -2). SOCKS5: connects to the proxy (throws "Connect", -1 or -2), authenticates
    // (Socks5Authenticate) and asks the proxy for a tunnel to the target, which is named by its
    // address when `host` is a dotted address and by its name otherwise. A refusal throws
    // "Connect" with the proxy's reply code (1 to 8). Any other mode throws "Connect" 101.
    // Exceptions carry the class name "CMyExSocksSocket"; the sends and receives of the exchange
    // throw "SendAll" / "ReceiveAll" (class "CMyExSocket").
    void SocksConnect(std::string_view host, int port, SocketWait timeOut,
                      const std::atomic<bool>* abort = nullptr);

    // Offers the one method the settings allow (user name and password when authentication is
    // on, else none) and, when the proxy chooses the password method, sends the credentials.
    // Throws "Socks5Authenticate" with a SocksCode.
    void Socks5Authenticate(SocketWait timeOut);

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
