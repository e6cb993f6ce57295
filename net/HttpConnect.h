#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "net/CHttpOptions.h"
#include "net/CMyExHttpSocket.h"
#include "platform/Sockets.h"
#include "url/CUrl.h"

namespace torvex {

// The proxy refused to open a tunnel for an https address (code: its HTTP status, 0 when its
// answer was not HTTP), or sent bytes after its answer that no TLS server would.
constexpr std::string_view kOpProxyTunnel = "ProxyTunnel";

// True when a request for `url` goes to the HTTP proxy as a proxy request (the absolute address
// as target, Proxy-Authorization). An https request goes through a tunnel instead and is the
// one the server itself would get.
bool IsProxyRequest(const CHttpOptions& options, const CUrl& url);

// Where a connection for `url` goes, as the key a kept connection is reused by: the HTTP proxy
// for every http address asked of it; otherwise the scheme, host (any case) and port of the
// address (also through a SOCKS5 proxy or an HTTP proxy's tunnel, which lead to that host).
std::string ConnectionPlace(const CHttpOptions& options, const CUrl& url);

// Connects `socket` (created and non-blocking) for a request of `url`: directly or to the HTTP
// proxy at `address`, or through the SOCKS5 proxy the socket is configured for; for https it
// then opens a tunnel through an HTTP proxy (CONNECT with the proxy's Basic credentials) and
// secures the connection with TLS (options.tls). Nothing more is done once `stop` (may be null)
// is raised: the caller sees the flag. Throws what the socket layer throws, "ProxyTunnel",
// and "TlsHandshake" (also, with code 1, for https when the run has no TLS context).
void ConnectForRequest(CMyExHttpSocket& socket, const CUrl& url, const SocketAddress& address,
                       const CHttpOptions& options, const std::atomic<bool>* stop);

} // namespace torvex
