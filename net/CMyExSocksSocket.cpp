#include "net/CMyExSocksSocket.h"

#include "html/BoundedText.h"
#include "net/CMyException.h"

namespace torvex {

namespace {

constexpr int kUnusableMode = 101;

[[noreturn]] void ThrowSocksFailure(std::string_view operation, int code) {
    ThrowMyException(ExceptionKind::Socket, kMyExSocksSocketClass, operation, code);
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

void CMyExSocksSocket::SocksConnect(std::string_view host, int port, int timeOut,
                                    const std::atomic<bool>* abort) {
    if (m_mode == static_cast<int>(SocksMode::Direct)) {
        SocketAddress target;
        const int resolved = ResolveAddress(host, port, target, abort);
        if (resolved != 0) {
            ThrowSocksFailure(kOpGetHostByName, resolved);
        }
        if (ConnectRaw(target) == kSocketFailed) {
            ThrowSocksFailure(kOpConnect, kSocketFailed);
        }
        const int finished = FinishConnectRaw(timeOut);
        if (finished < 0) {
            ThrowSocksFailure(kOpConnect, finished);
        }
        return;
    }
    // The exchange with a SOCKS5 proxy is not part of this build yet, so mode 5 is refused like
    // any unknown mode: the download fails as a connection failure instead of going out directly
    // behind the user's back.
    ThrowSocksFailure(kOpConnect, kUnusableMode);
}

} // namespace torvex
