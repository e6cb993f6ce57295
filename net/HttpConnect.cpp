#include "net/HttpConnect.h"

#include <string>

#include "base/AsciiCase.h"
#include "base/LeadingNumber.h"
#include "net/Base64.h"
#include "net/CMyException.h"
#include "net/CTlsChannel.h"
#include "net/HeaderBlock.h"

namespace torvex {

namespace {

constexpr std::size_t kTunnelLineCapacity = kReceiveWindow + 1;
constexpr std::size_t kMaxTunnelHeader = 16384;

[[noreturn]] void ThrowTunnelFailure(int code) {
    ThrowMyException(ExceptionKind::Socket, "", kOpProxyTunnel, code);
}

bool IsHttps(const CUrl& url) { return url.Scheme() == "https"; }

// A host or credential that could add lines to the CONNECT request is never sent.
bool Sendable(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 32 || byte == 127) {
            return false;
        }
    }
    return true;
}

void OpenTunnel(CMyExHttpSocket& socket, const CUrl& url, const CHttpOptions& options) {
    const std::string authority = url.Host() + ":" + std::to_string(url.EffectivePort());
    if (!Sendable(url.Host())) {
        ThrowMyException(ExceptionKind::General, "", "BadRequest", 0);
    }
    std::string request = "CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n";
    if (!options.proxyUser.empty() || !options.proxyPassword.empty()) {
        request += "Proxy-Authorization: Basic " +
                   Base64Encode(options.proxyUser + ":" + options.proxyPassword) + "\r\n";
    }
    request += "\r\n";
    socket.SendAll(request.data(), static_cast<int>(request.size()), options.timeOut);

    const CReceiveCounters counters;
    std::string line;
    HeaderBlock header;
    std::size_t read = 0;
    bool first = true;
    for (;;) {
        if (socket.ReadHeaderLine(line, kTunnelLineCapacity, options.timeOut, first, counters) <
            0) {
            ThrowTunnelFailure(0);   // not an HTTP answer
        }
        first = false;
        read += line.size();
        if (read > kMaxTunnelHeader) {
            ThrowTunnelFailure(0);
        }
        header.Append(line);
        if (line == "\r\n" || line == "\n") {
            break;
        }
    }
    const std::string status = header.StatusField(1);
    if (status.empty() || status.front() != '2') {
        ThrowTunnelFailure(static_cast<int>(LeadingNumber(status)));
    }
    // The server speaks first only after our ClientHello: bytes here are the proxy's own.
    if (!socket.WindowBytes().empty()) {
        ThrowTunnelFailure(0);
    }
    socket.ResetWindow();
}

} // namespace

bool IsProxyRequest(const CHttpOptions& options, const CUrl& url) {
    return options.proxyMode == ProxyMode::Http && !IsHttps(url);
}

std::string ConnectionPlace(const CHttpOptions& options, const CUrl& url) {
    if (IsProxyRequest(options, url)) {
        return "proxy";
    }
    return url.Scheme() + "://" + LowerAscii(url.Host()) + ":" +
           std::to_string(url.EffectivePort());
}

void ConnectForRequest(CMyExHttpSocket& socket, const CUrl& url, const SocketAddress& address,
                       const CHttpOptions& options, const std::atomic<bool>* stop) {
    const SocketWait timeOut = options.timeOut;
    if (options.proxyMode == ProxyMode::Socks5) {
        socket.SocksConnect(url.Host(), url.EffectivePort(), timeOut, stop);
    } else {
        socket.Connect(address, timeOut);
    }
    if (!IsHttps(url) || (stop != nullptr && stop->load())) {
        return;
    }
    if (options.proxyMode == ProxyMode::Http) {
        OpenTunnel(socket, url, options);
        if (stop != nullptr && stop->load()) {
            return;
        }
    }
    if (options.tls == nullptr) {
        ThrowMyException(ExceptionKind::Socket, kMyExSocketClass, kOpTlsHandshake,
                         TlsCode::Failed, "TLS is not set up for this run");
    }
    socket.StartTls(*options.tls, url.Host(), url.EffectivePort(), timeOut);
}

} // namespace torvex
