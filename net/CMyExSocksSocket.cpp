#include "net/CMyExSocksSocket.h"

#include <cstdint>
#include <string>

#include "base/BoundedText.h"
#include "net/CMyException.h"

namespace torvex {

namespace {

constexpr unsigned char kSocksVersion = 5;
constexpr unsigned char kMethodNone = 0;
constexpr unsigned char kMethodPassword = 2;
constexpr unsigned char kNoAcceptableMethod = 255;
constexpr unsigned char kPasswordVersion = 1;
constexpr unsigned char kCommandConnect = 1;
constexpr unsigned char kAddressIpv4 = 1;
constexpr unsigned char kAddressName = 3;
constexpr unsigned char kAddressIpv6 = 4;

[[noreturn]] void ThrowSocksFailure(std::string_view operation, int code) {
    ThrowMyException(ExceptionKind::Socket, kMyExSocksSocketClass, operation, code);
}

void AppendByte(std::string& out, unsigned int value) {
    out.push_back(static_cast<char>(static_cast<unsigned char>(value)));
}

} // namespace

CMyExSocksSocket::CMyExSocksSocket() = default;

CMyExSocksSocket::~CMyExSocksSocket() = default;

void CMyExSocksSocket::ConfigureSocks(int mode, const SocketAddress& proxy,
                                      bool useAuthentication, std::string_view user,
                                      std::string_view password) {
    m_mode = mode;
    m_proxy = proxy;
    m_useAuthentication = useAuthentication;
    AssignCut(m_user, user, kMaxSocksText);
    AssignCut(m_password, password, kMaxSocksText);
}

void CMyExSocksSocket::SocksConnect(std::string_view host, int port, SocketWait timeOut,
                                    const std::atomic<bool>* abort) {
    SocketAddress target = m_proxy;
    if (m_mode == static_cast<int>(SocksMode::Direct)) {
        const int resolved = ResolveAddress(host, port, target, abort);
        if (resolved != 0) {
            ThrowSocksFailure(kOpGetHostByName, resolved);
        }
    } else if (m_mode != static_cast<int>(SocksMode::Socks5)) {
        ThrowSocksFailure(kOpConnect, SocksCode::UnusableMode);
    }
    if (ConnectRaw(target) == kSocketFailed) {
        ThrowSocksFailure(kOpConnect, kSocketFailed);
    }
    const int finished = FinishConnectRaw(timeOut);
    if (finished < 0) {
        ThrowSocksFailure(kOpConnect, finished);
    }
    if (m_mode == static_cast<int>(SocksMode::Direct)) {
        return;
    }

    Socks5Authenticate(timeOut);

    std::string request;
    AppendByte(request, kSocksVersion);
    AppendByte(request, kCommandConnect);
    AppendByte(request, 0);
    std::uint32_t address = 0;
    if (ParseDottedAddress(host, address)) {
        AppendByte(request, kAddressIpv4);
        for (int shift = 24; shift >= 0; shift -= 8) {
            AppendByte(request, (address >> shift) & 0xFF);
        }
    } else {
        if (host.size() > kMaxSocksText) {
            ThrowSocksFailure(kOpConnect, SocksCode::LongHostName);
        }
        AppendByte(request, kAddressName);
        AppendByte(request, static_cast<unsigned int>(host.size()));
        request.append(host);
    }
    AppendByte(request, (static_cast<unsigned int>(port) >> 8) & 0xFF);
    AppendByte(request, static_cast<unsigned int>(port) & 0xFF);
    SendAll(request.data(), static_cast<int>(request.size()), timeOut);

    // Version, reply code, reserved, address type and the first byte of the bound address.
    unsigned char reply[5] = {};
    ReceiveAll(reinterpret_cast<char*>(reply), sizeof reply, timeOut);
    if (reply[1] != 0) {
        ThrowSocksFailure(kOpConnect, reply[1]);
    }
    // The rest of the bound address and its port are read and dropped, so that the tunnel
    // starts with the target's first byte.
    int rest = 0;
    switch (reply[3]) {
    case kAddressIpv4: rest = 3 + 2; break;
    case kAddressName: rest = reply[4] + 2; break;
    case kAddressIpv6: rest = 15 + 2; break;
    default:
        // Nothing tells where the address ends, so nothing that follows can be trusted.
        ThrowSocksFailure(kOpConnect, SocksCode::UnknownAddressType);
    }
    char bound[kMaxSocksText + 2];
    ReceiveAll(bound, rest, timeOut);
}

void CMyExSocksSocket::Socks5Authenticate(SocketWait timeOut) {
    std::string greeting;
    AppendByte(greeting, kSocksVersion);
    AppendByte(greeting, 1);
    AppendByte(greeting, m_useAuthentication ? kMethodPassword : kMethodNone);
    SendAll(greeting.data(), static_cast<int>(greeting.size()), timeOut);

    unsigned char choice[2] = {};
    ReceiveAll(reinterpret_cast<char*>(choice), sizeof choice, timeOut);
    if (choice[0] != kSocksVersion) {
        ThrowSocksFailure(kOpSocks5Authenticate, SocksCode::NotSocks5);
    }
    if (choice[1] == kMethodNone) {
        // Also when a password was offered: a proxy that lets everyone through needs none.
        return;
    }
    if (choice[1] == kNoAcceptableMethod) {
        ThrowSocksFailure(kOpSocks5Authenticate, SocksCode::NoAcceptableMethod);
    }
    if (choice[1] != kMethodPassword) {
        ThrowSocksFailure(kOpSocks5Authenticate, SocksCode::UnofferedMethod);
    }
    if (!m_useAuthentication) {
        ThrowSocksFailure(kOpSocks5Authenticate, SocksCode::NoCredentials);
    }
    std::string credentials;
    AppendByte(credentials, kPasswordVersion);
    AppendByte(credentials, static_cast<unsigned int>(m_user.size()));
    credentials += m_user;
    AppendByte(credentials, static_cast<unsigned int>(m_password.size()));
    credentials += m_password;
    SendAll(credentials.data(), static_cast<int>(credentials.size()), timeOut);

    unsigned char status[2] = {};
    ReceiveAll(reinterpret_cast<char*>(status), sizeof status, timeOut);
    if (status[1] != 0) {
        ThrowSocksFailure(kOpSocks5Authenticate, SocksCode::Refused);
    }
}

} // namespace torvex
