#include "CTlsFixtureServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <openssl/ssl.h>

namespace torvex::test {

namespace {

SSL_CTX* Context(void* context) { return static_cast<SSL_CTX*>(context); }

} // namespace

CTlsFixtureServer::CTlsFixtureServer(const CertificateFiles& certificate) {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (context == nullptr ||
        SSL_CTX_use_certificate_chain_file(context, certificate.cert.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, certificate.key.c_str(), SSL_FILETYPE_PEM) != 1) {
        SSL_CTX_free(context);
        return;
    }
    m_context = context;
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (m_listen < 0 || ::pipe(m_stopPipe) != 0 ||
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_listen, 8) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { AcceptLoop(); });
}

CTlsFixtureServer::~CTlsFixtureServer() {
    if (m_thread.joinable()) {
        (void)!::write(m_stopPipe[1], "x", 1);
        m_thread.join();
    }
    for (const int handle : {m_listen, m_stopPipe[0], m_stopPipe[1]}) {
        if (handle >= 0) {
            ::close(handle);
        }
    }
    SSL_CTX_free(Context(m_context));
}

void CTlsFixtureServer::AddReply(std::string bytes, bool closeNotify) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_replies.push_back(Reply{std::move(bytes), closeNotify});
}

void CTlsFixtureServer::AddTricklingReply(std::string bytes) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_replies.push_back(Reply{std::move(bytes), false, true});
}

void CTlsFixtureServer::Trickle(int handle) {
    // An application-data record announced at 1,000 bytes, whose bytes then come every 20 ms
    // until the reader gives up or the server is stopped.
    const unsigned char head[] = {0x17, 0x03, 0x03, 0x03, 0xe8};
    if (::send(handle, head, sizeof(head), MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof(head))) {
        return;
    }
    for (int sent = 0; sent < 1000; ++sent) {
        pollfd stop{m_stopPipe[0], POLLIN, 0};
        if (::poll(&stop, 1, 20) != 0 || ::send(handle, "x", 1, MSG_NOSIGNAL) != 1) {
            return;
        }
    }
}

void CTlsFixtureServer::AcceptLoop() {
    for (;;) {
        pollfd waits[2] = {{m_listen, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            continue;
        }
        if (waits[1].revents != 0) {
            return;
        }
        const int handle = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (handle >= 0) {
            Serve(handle);
            ::close(handle);
        }
    }
}

void CTlsFixtureServer::Serve(int handle) {
    // A client that stalls cannot hold the server for long.
    timeval limit{10, 0};
    ::setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    ::setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    Reply reply;
    bool haveReply = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_replies.empty()) {
            reply = std::move(m_replies.front());
            m_replies.pop_front();
            haveReply = true;
        }
    }
    SSL* ssl = SSL_new(Context(m_context));
    SSL_set_fd(ssl, handle);
    if (SSL_accept(ssl) == 1 && haveReply) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int read = SSL_read(ssl, buffer, sizeof(buffer));
            if (read <= 0) {
                break;
            }
            request.append(buffer, static_cast<std::size_t>(read));
        }
        if (!reply.bytes.empty()) {
            SSL_write(ssl, reply.bytes.data(), static_cast<int>(reply.bytes.size()));
        }
        if (reply.trickle) {
            Trickle(handle);
        }
        if (reply.closeNotify) {
            SSL_shutdown(ssl);
        }
    }
    SSL_free(ssl);
}

} // namespace torvex::test
