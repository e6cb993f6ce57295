#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "net/CBlockingSocket.h"
#include "net/ProxyMode.h"

namespace torvex {

class CTlsContext;

// What the HTTP transaction needs to know of one start address.
struct CHttpStartAddress {
    std::string requestMethod = "GET";   // "GET" or "POST"; anything else is sent as GET
    std::string userName;                // empty: no Authorization header
    std::string password;
    // The host (lower case) and effective port of the start address: its credentials go to this
    // server only, never to other hosts the crawl reaches from it.
    std::string host;
    int port = 80;
};

// The settings of one run as the HTTP transaction and the FTP session read them. Filled once by
// the run from its copy of the project settings and only read afterwards, by every worker
// thread.
struct CHttpOptions {
    SocketWait timeOut = std::chrono::seconds(120);   // every socket wait
    ProxyMode proxyMode = ProxyMode::None;
    std::string proxyUser;
    std::string proxyPassword;
    std::string userAgent = "Torvex/0.9";   // UserAgentText of the project; empty: no header
    std::vector<CHttpStartAddress> startAddresses;
    bool cookie = false;                 // keep and send cookies
    // HTTP/1.1: connections kept open between requests, chunked and compressed replies taken.
    // False: every request is HTTP/1.0 over a connection of its own.
    bool keepAlive = false;
    // The run's TLS side, for https addresses (owned by the run; it locks itself). Null: https
    // cannot be fetched.
    CTlsContext* tls = nullptr;
};

// The User-Agent text of a project: mode 0 none, 1 "Torvex/0.9", 2 "Mozilla/5.0 (compatible;
// MSIE5.0)", 3 "Mozilla/4.7", any other mode the user's own text.
std::string UserAgentText(int userAgentMode, std::string_view userDefined);

} // namespace torvex
