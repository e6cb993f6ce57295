#include "LoopbackSite.h"

namespace torvex::test {

std::string HttpReply(std::string_view status, std::string_view type, std::string_view body,
                      std::string_view extra) {
    std::string reply = "HTTP/1.0 " + std::string(status) + "\r\n";
    if (!type.empty()) {
        reply += "Content-Type: " + std::string(type) + "\r\n";
    }
    reply += extra;
    reply += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    reply += body;
    return reply;
}

CLoopbackSite::CLoopbackSite() {
    m_server.SetResponder([this](const std::string& request) {
        const std::string target = RequestTarget(request);
        std::lock_guard<std::mutex> guard(m_lock);
        m_requests.push_back(request);
        FixtureScript script;
        if (m_held.count(target) > 0) {
            script.push_back(WaitForClose());
            return script;
        }
        const auto hit = m_pages.find(target);
        script.push_back(SendBytes(hit != m_pages.end()
                                       ? hit->second
                                       : HttpReply("404 Not Found", "text/html", "missing")));
        return script;
    });
}

void CLoopbackSite::Serve(const std::string& target, std::string reply) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_pages[target] = std::move(reply);
}

void CLoopbackSite::Hold(const std::string& target, bool held) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (held) {
        m_held.insert(target);
    } else {
        m_held.erase(target);
    }
}

int CLoopbackSite::Count(const std::string& target) const {
    return static_cast<int>(RequestsFor(target).size());
}

std::vector<std::string> CLoopbackSite::RequestsFor(const std::string& target) const {
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<std::string> found;
    for (const std::string& request : m_requests) {
        if (RequestTarget(request) == target) {
            found.push_back(request);
        }
    }
    return found;
}

std::string CLoopbackSite::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(m_server.Port()) + std::string(path);
}

std::string CLoopbackSite::Host() const { return "127.0.0.1+" + std::to_string(m_server.Port()); }

} // namespace torvex::test
