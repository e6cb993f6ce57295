#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "CFixtureServer.h"

namespace torvex::test {

// A complete HTTP/1.0 answer: status line, Content-Type (left out when empty), `extra` header
// lines (each ending in CRLF), Content-Length and the body.
std::string HttpReply(std::string_view status, std::string_view type, std::string_view body,
                      std::string_view extra = {});

// A small web site on a fixture server: answers from a table of request targets that a test
// may change between runs (404 for the rest), holds chosen targets without answering, and keeps
// every request it read.
class CLoopbackSite {
public:
    CLoopbackSite();

    void Serve(const std::string& target, std::string reply);
    // While held, requests for `target` get no answer until the client gives up.
    void Hold(const std::string& target, bool held);
    int Count(const std::string& target) const;
    // The requests for `target`, in the order they came.
    std::vector<std::string> RequestsFor(const std::string& target) const;

    int Port() const { return m_server.Port(); }
    std::string Url(std::string_view path) const;
    // The host folder of a record ("127.0.0.1+port").
    std::string Host() const;

private:
    mutable std::mutex m_lock;
    std::map<std::string, std::string> m_pages;
    std::set<std::string> m_held;
    std::vector<std::string> m_requests;
    CFixtureServer m_server;   // last: its connections end before the tables they read go
};

} // namespace torvex::test
