#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "TestCertificates.h"

namespace torvex::test {

// A TLS server for the endings nginx never plays: on 127.0.0.1 and a port the system chose,
// it takes one connection at a time, makes the handshake with `certificate`, reads one request
// header, sends the next reply added with AddReply and then ends the session properly (with a
// close notice) or cuts the connection without one. Without a reply left it just closes. A
// trickling reply sends its bytes, then the start of one more record and its body a byte at a
// time (a server that keeps a reader waiting without ever completing a record).
// Listens before the constructor returns; the destructor stops and joins its thread.
class CTlsFixtureServer {
public:
    explicit CTlsFixtureServer(const CertificateFiles& certificate);
    ~CTlsFixtureServer();
    CTlsFixtureServer(const CTlsFixtureServer&) = delete;
    CTlsFixtureServer& operator=(const CTlsFixtureServer&) = delete;

    bool Started() const { return m_port > 0; }
    int Port() const { return m_port; }
    void AddReply(std::string bytes, bool closeNotify);
    void AddTricklingReply(std::string bytes);

private:
    struct Reply {
        std::string bytes;
        bool closeNotify = true;
        bool trickle = false;
    };
    void Trickle(int handle);
    void AcceptLoop();
    void Serve(int handle);

    void* m_context = nullptr;   // SSL_CTX, kept out of the header
    int m_listen = -1;
    int m_stopPipe[2] = {-1, -1};
    int m_port = 0;
    std::mutex m_lock;
    std::deque<Reply> m_replies;
    std::thread m_thread;
};

} // namespace torvex::test
