#include "CFixtureServer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace torvex::test {

namespace {

constexpr std::size_t kMaxRecorded = 1 << 20;
constexpr int kDrainMilliseconds = 2000;

void SendWhole(int handle, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(handle, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return;   // the peer went away; the script has nobody left to talk to
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

} // namespace

FixtureStep ReadRequest() {
    FixtureStep step;
    step.kind = FixtureStep::Kind::ReadRequest;
    return step;
}

FixtureStep ReadBytes(std::size_t count) {
    FixtureStep step;
    step.kind = FixtureStep::Kind::ReadBytes;
    step.count = count;
    return step;
}

FixtureStep SendBytes(std::string bytes) {
    FixtureStep step;
    step.kind = FixtureStep::Kind::Send;
    step.bytes = std::move(bytes);
    return step;
}

FixtureStep SendInPieces(std::string bytes, std::size_t pieceSize, std::chrono::milliseconds gap) {
    FixtureStep step = SendBytes(std::move(bytes));
    step.pieceSize = pieceSize;
    step.pause = gap;
    return step;
}

FixtureStep Pause(std::chrono::milliseconds length) {
    FixtureStep step;
    step.kind = FixtureStep::Kind::Pause;
    step.pause = length;
    return step;
}

FixtureStep WaitForClose() {
    FixtureStep step;
    step.kind = FixtureStep::Kind::WaitForClose;
    return step;
}

FixtureStep CloseConnection() {
    FixtureStep step;
    step.kind = FixtureStep::Kind::Close;
    return step;
}

FixtureStep ResetConnection() {
    FixtureStep step;
    step.kind = FixtureStep::Kind::Reset;
    return step;
}

std::string RequestTarget(std::string_view request) {
    const std::size_t lineEnd = request.find_first_of("\r\n");
    const std::string_view line = request.substr(0, lineEnd);
    const std::size_t first = line.find(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t second = line.find(' ', first + 1);
    if (second == std::string_view::npos) {
        return {};
    }
    return std::string(line.substr(first + 1, second - first - 1));
}

std::string RequestHeader(const std::string &request, const std::string &name) {
    const auto at = request.find("\r\n" + name + ": ");
    if (at == std::string::npos) {
        return {};
    }
    const auto begin = at + name.size() + 4;
    return request.substr(begin, request.find("\r\n", begin) - begin);
}

std::string HttpAnswer(std::string_view status, std::string_view type, std::string_view body,
                       std::string_view extraHeaders) {
    std::string text = "HTTP/1.0 " + std::string(status) + "\r\n";
    if (!type.empty()) {
        text += "Content-Type: " + std::string(type) + "\r\n";
    }
    text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    text += std::string(extraHeaders);
    text += "\r\n";
    text += body;
    return text;
}

CFixtureServer::CFixtureServer() {
    if (::pipe2(m_stopPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0) {
        throw std::runtime_error("socket failed");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    sockaddr generic{};
    std::memcpy(&generic, &address, sizeof address);
    if (::bind(m_listen, &generic, sizeof address) != 0 || ::listen(m_listen, 64) != 0) {
        throw std::runtime_error("bind or listen failed");
    }
    socklen_t length = sizeof generic;
    ::getsockname(m_listen, &generic, &length);
    std::memcpy(&address, &generic, sizeof address);
    m_port = ntohs(address.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
}

CFixtureServer::~CFixtureServer() {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_stopPipe[1], &byte, 1);
    m_acceptThread.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        connections.swap(m_connections);
    }
    for (std::thread& connection : connections) {
        connection.join();
    }
    ::close(m_listen);
    ::close(m_stopPipe[0]);
    ::close(m_stopPipe[1]);
}

void CFixtureServer::AddScript(FixtureScript script) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_scripts.push_back(std::move(script));
}

void CFixtureServer::KeepConnections() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_keepConnections = true;
}

void CFixtureServer::SetResponder(Responder responder) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_responder = std::move(responder);
}

void CFixtureServer::AnswerAll(std::string response) {
    SetResponder([response](const std::string&) { return FixtureScript{SendBytes(response)}; });
}

std::vector<std::string> CFixtureServer::Requests() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests;
}

std::string CFixtureServer::LastRequest() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests.empty() ? std::string() : m_requests.back();
}

int CFixtureServer::ConnectionCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<int>(m_requests.size());
}

int CFixtureServer::RequestCount(std::string_view target) const {
    std::lock_guard<std::mutex> guard(m_lock);
    int count = 0;
    for (const std::string& request : m_requests) {
        if (RequestTarget(request) == target) {
            ++count;
        }
    }
    return count;
}

bool CFixtureServer::WaitForFinished(int count, std::chrono::milliseconds limit) const {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, limit, [&] { return m_finished >= count; });
}

bool CFixtureServer::WaitReadable(int handle, int milliseconds) const {
    pollfd entries[2] = {{handle, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
    for (;;) {
        const int result = ::poll(entries, 2, milliseconds);
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result <= 0 || (entries[1].revents & POLLIN) != 0) {
            return false;   // time passed, or the server is going away
        }
        return true;
    }
}

void CFixtureServer::Record(std::size_t index, std::string_view bytes) {
    std::lock_guard<std::mutex> guard(m_lock);
    std::string& record = m_requests[index];
    if (record.size() + bytes.size() <= kMaxRecorded) {
        record.append(bytes);
    }
}

void CFixtureServer::AcceptLoop() {
    for (;;) {
        pollfd entries[2] = {{m_listen, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        const int result = ::poll(entries, 2, -1);
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result < 0 || (entries[1].revents & POLLIN) != 0) {
            return;
        }
        const int handle = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (handle < 0) {
            continue;
        }
        std::lock_guard<std::mutex> guard(m_lock);
        FixtureScript script;
        bool useResponder = true;
        if (!m_scripts.empty()) {
            script = std::move(m_scripts.front());
            m_scripts.pop_front();
            useResponder = false;
        }
        const std::size_t index = m_requests.size();
        m_requests.emplace_back();
        m_connections.emplace_back(
            [this, handle, index, script = std::move(script), useResponder]() mutable {
                Serve(handle, index, std::move(script), useResponder);
            });
    }
}

void CFixtureServer::Serve(int handle, std::size_t index, FixtureScript script,
                           bool useResponder) {
    char buffer[4096];
    std::string requestText;   // what ReadRequest has seen on this connection
    auto readRequest = [&]() {
        while (requestText.find("\r\n\r\n") == std::string::npos &&
               requestText.size() < kMaxRecorded) {
            if (!WaitReadable(handle, 10000)) {
                return;
            }
            const ssize_t got = ::recv(handle, buffer, sizeof buffer, 0);
            if (got <= 0) {
                return;
            }
            requestText.append(buffer, static_cast<std::size_t>(got));
            Record(index, std::string_view(buffer, static_cast<std::size_t>(got)));
        }
    };

    Responder responder;
    bool keep = false;
    if (useResponder) {
        readRequest();
        {
            std::lock_guard<std::mutex> guard(m_lock);
            responder = m_responder;
            keep = m_keepConnections;
        }
        if (responder) {
            script = responder(requestText);
        }
    }

    bool reset = false;
    bool closed = false;
    for (std::size_t at = 0;; ++at) {
        if (at == script.size()) {
            // A kept connection: the next request, until the client has no more.
            if (!keep || !responder || closed) {
                break;
            }
            const std::size_t end = requestText.find("\r\n\r\n");
            requestText.erase(0, end == std::string::npos ? requestText.size() : end + 4);
            readRequest();
            if (requestText.find("\r\n\r\n") == std::string::npos) {
                break;
            }
            script = responder(requestText.substr(0, requestText.find("\r\n\r\n") + 4));
            at = 0;
            if (script.empty()) {
                break;
            }
        }
        const FixtureStep& step = script[at];
        switch (step.kind) {
        case FixtureStep::Kind::ReadRequest: {
            // The next request: one read before on this connection is done with.
            const std::size_t end = requestText.find("\r\n\r\n");
            if (end != std::string::npos) {
                requestText.erase(0, end + 4);
            }
            readRequest();
            break;
        }
        case FixtureStep::Kind::ReadBytes: {
            std::size_t left = step.count;
            while (left > 0 && WaitReadable(handle, 10000)) {
                const ssize_t got = ::recv(handle, buffer, std::min(left, sizeof buffer), 0);
                if (got <= 0) {
                    break;
                }
                Record(index, std::string_view(buffer, static_cast<std::size_t>(got)));
                left -= static_cast<std::size_t>(got);
            }
            break;
        }
        case FixtureStep::Kind::Send:
            if (step.pieceSize == 0) {
                SendWhole(handle, step.bytes);
            } else {
                std::string_view rest(step.bytes);
                while (!rest.empty()) {
                    const std::size_t piece = std::min(step.pieceSize, rest.size());
                    SendWhole(handle, rest.substr(0, piece));
                    rest.remove_prefix(piece);
                    if (!rest.empty()) {
                        WaitReadable(-1, static_cast<int>(step.pause.count()));
                    }
                }
            }
            break;
        case FixtureStep::Kind::Pause:
            WaitReadable(-1, static_cast<int>(step.pause.count()));
            break;
        case FixtureStep::Kind::WaitForClose:
            while (WaitReadable(handle, -1)) {
                const ssize_t got = ::recv(handle, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    break;
                }
                Record(index, std::string_view(buffer, static_cast<std::size_t>(got)));
            }
            break;
        case FixtureStep::Kind::Reset:
            reset = true;
            break;
        case FixtureStep::Kind::Close:
            closed = true;
            break;
        }
        if (reset || closed) {
            break;
        }
    }

    if (reset) {
        linger hard{1, 0};
        ::setsockopt(handle, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    } else {
        // A graceful end: the peer reads everything sent before it sees the close, even when
        // it sent more than this script read.
        ::shutdown(handle, SHUT_WR);
        while (WaitReadable(handle, kDrainMilliseconds)) {
            if (::recv(handle, buffer, sizeof buffer, 0) <= 0) {
                break;
            }
        }
    }
    ::close(handle);
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_finished;
    m_changed.notify_all();
}

} // namespace torvex::test
