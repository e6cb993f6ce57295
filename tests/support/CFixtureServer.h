#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace torvex::test {

// One step of what the fixture server does on a connection.
struct FixtureStep {
    enum class Kind {
        ReadRequest,    // read up to the empty line that ends a request header; record it
        ReadBytes,      // read exactly `count` bytes (or until the peer closes); record them
        Send,           // send `bytes`, in pieces of `pieceSize` with `pause` between (0: whole)
        Pause,          // wait `pause` without reading or sending
        WaitForClose,   // hold the connection without answering until the peer closes
        Reset,          // drop the connection at once with a reset
        Close,          // end the connection gracefully here (a kept one too)
    };
    Kind kind = Kind::Send;
    std::string bytes;
    std::size_t count = 0;
    std::size_t pieceSize = 0;
    std::chrono::milliseconds pause{0};
};
using FixtureScript = std::vector<FixtureStep>;

FixtureStep ReadRequest();
FixtureStep ReadBytes(std::size_t count);
FixtureStep SendBytes(std::string bytes);
FixtureStep SendInPieces(std::string bytes, std::size_t pieceSize, std::chrono::milliseconds gap);
FixtureStep Pause(std::chrono::milliseconds length);
FixtureStep WaitForClose();
FixtureStep ResetConnection();
FixtureStep CloseConnection();

// A scriptable TCP server on 127.0.0.1 and a port the system chose. It listens before the
// constructor returns, so a test may connect at once. Every connection runs on its own thread:
// it plays the next script added with AddScript, or, when none is left, reads one request and
// plays what the responder returns for it (without a responder it just closes). A script that
// ends closes the connection gracefully (after the peer has read everything). Pauses and waits
// end early when the server is destroyed; the destructor joins every thread.
//
// Everything a connection read is recorded, so tests can compare the exact request bytes.
class CFixtureServer {
public:
    using Responder = std::function<FixtureScript(const std::string& request)>;

    CFixtureServer();
    ~CFixtureServer();
    CFixtureServer(const CFixtureServer&) = delete;
    CFixtureServer& operator=(const CFixtureServer&) = delete;

    int Port() const { return m_port; }

    // The script for the next connection that has none yet (connections take them in order).
    void AddScript(FixtureScript script);
    void SetResponder(Responder responder);
    // Every connection without a script: read the request, send `response`, close.
    void AnswerAll(std::string response);
    // Connections the responder serves are kept: after each reply the next request is read on
    // the same connection, until the client closes it or a reply's script says Close or Reset.
    void KeepConnections();

    // What each connection read, in the order the connections were accepted.
    std::vector<std::string> Requests() const;
    std::string LastRequest() const;
    int ConnectionCount() const;
    // Requests whose request target (the second word of the first line) is `target`.
    int RequestCount(std::string_view target) const;
    // Waits until `count` connections have finished; false when `limit` passed first.
    bool WaitForFinished(int count, std::chrono::milliseconds limit) const;

private:
    void AcceptLoop();
    void Serve(int handle, std::size_t index, FixtureScript script, bool useResponder);
    bool WaitReadable(int handle, int milliseconds) const;
    void Record(std::size_t index, std::string_view bytes);

    int m_listen = -1;
    int m_stopPipe[2] = {-1, -1};
    int m_port = 0;
    std::thread m_acceptThread;

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::deque<FixtureScript> m_scripts;
    Responder m_responder;
    std::vector<std::string> m_requests;
    std::vector<std::thread> m_connections;
    int m_finished = 0;
    bool m_keepConnections = false;
};

// The target of a request's first line ("GET /a HTTP/1.0" gives "/a"); empty when malformed.
std::string RequestTarget(std::string_view request);
// The value of the request header `name` (exact case), or empty.
std::string RequestHeader(const std::string &request, const std::string &name);
// An HTTP/1.0 answer with `status` ("200 OK"), a Content-Type unless `type` is empty, the
// Content-Length of `body`, the header lines `extraHeaders` (each ending in CRLF) and the body.
std::string HttpAnswer(std::string_view status, std::string_view type, std::string_view body,
                       std::string_view extraHeaders = "");

} // namespace torvex::test
