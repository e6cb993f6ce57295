#include "net/CTlsChannel.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include "net/CBlockingSocket.h"
#include "net/CTlsContextImpl.h"

namespace torvex {

namespace {

// One TLS record with its overhead fits; the server's records are taken in such pieces.
constexpr std::size_t kRecordBuffer = 16 * 1024 + 512;

} // namespace

// The session works on memory buffers: the records it writes are sent, and the bytes received
// are fed to it, through the socket calls of platform/, so that every step waits as a plain
// socket waits (and no send raises SIGPIPE).
struct CTlsChannel::State {
    SSL* ssl = nullptr;
    BIO* incoming = nullptr;   // owned by `ssl`
    BIO* outgoing = nullptr;   // owned by `ssl`
    std::string key;           // "host:port", where the host's session is kept
    std::vector<char> buffer = std::vector<char>(kRecordBuffer);
    bool peerClosed = false;
};

CTlsChannel::CTlsChannel(CTlsContext& context, SocketHandle handle)
    : m_context(context), m_handle(handle), m_state(new State) {}

CTlsChannel::~CTlsChannel() {
    if (m_state->ssl != nullptr) {
        SSL_free(m_state->ssl);
    }
    delete m_state;
}

namespace {

using Deadline = std::chrono::steady_clock::time_point;

// One call of the channel waits at most its time-out in all, however the server splits its
// records: a peer that trickles a record byte by byte cannot stretch the wait.
Deadline DeadlineAfter(std::chrono::milliseconds timeOut) {
    return std::chrono::steady_clock::now() + timeOut;
}

std::chrono::milliseconds Left(Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return std::max(left, std::chrono::milliseconds(0));
}

// Sends whatever the session has written: 0, or -1 / -2.
int Flush(SocketHandle handle, CTlsChannel::State& state, Deadline deadline) {
    for (;;) {
        const int pending = BIO_read(state.outgoing, state.buffer.data(),
                                     static_cast<int>(state.buffer.size()));
        if (pending <= 0) {
            return 0;
        }
        int sent = 0;
        while (sent < pending) {
            if (WaitSocket(handle, true, Left(deadline)) == 0) {
                return kSocketTimedOut;
            }
            const long result = SendSome(handle, state.buffer.data() + sent,
                                         static_cast<std::size_t>(pending - sent));
            if (result == kSocketRetry) {
                continue;
            }
            if (result < 0) {
                return kSocketFailed;
            }
            sent += static_cast<int>(result);
        }
    }
}

// Waits for the server's next bytes and feeds them to the session: 1 fed, 0 the server closed,
// -1 error, -2 time-out.
int Feed(SocketHandle handle, CTlsChannel::State& state, Deadline deadline) {
    for (;;) {
        if (WaitSocket(handle, false, Left(deadline)) == 0) {
            return kSocketTimedOut;
        }
        const long received = ReceiveSome(handle, state.buffer.data(), state.buffer.size());
        if (received == kSocketRetry) {
            continue;
        }
        if (received < 0) {
            return kSocketFailed;
        }
        if (received == 0) {
            state.peerClosed = true;
            return 0;
        }
        BIO_write(state.incoming, state.buffer.data(), static_cast<int>(received));
        return 1;
    }
}

std::string OpenSslReason() {
    const unsigned long error = ERR_peek_last_error();
    const char* text = error != 0 ? ERR_reason_error_string(error) : nullptr;
    ERR_clear_error();
    return text != nullptr ? text : "protocol error";
}

} // namespace

int CTlsChannel::Handshake(std::string_view host, int port, std::chrono::milliseconds timeOut) {
    CTlsContext::Impl& context = m_context.Native();
    State& state = *m_state;
    ERR_clear_error();
    auto fail = [this](int code, std::string reason) {
        m_failureCode = code;
        m_reason = std::move(reason);
        return kSocketFailed;
    };
    SSL_CTX* const native = context.Context();
    if (native == nullptr || state.ssl != nullptr) {
        return fail(TlsCode::Failed, "TLS could not be set up");
    }
    state.ssl = SSL_new(native);
    state.incoming = BIO_new(BIO_s_mem());
    state.outgoing = BIO_new(BIO_s_mem());
    if (state.ssl == nullptr || state.incoming == nullptr || state.outgoing == nullptr) {
        BIO_free(state.incoming);
        BIO_free(state.outgoing);
        state.incoming = state.outgoing = nullptr;
        return fail(TlsCode::Failed, "TLS could not be set up");
    }
    // An empty buffer asks for more rather than reporting the end of the stream.
    BIO_set_mem_eof_return(state.incoming, -1);
    SSL_set_bio(state.ssl, state.incoming, state.outgoing);
    SSL_set_connect_state(state.ssl);

    const std::string name(host);
    std::uint32_t address = 0;
    const bool isAddress = ParseDottedAddress(name, address);
    if (!isAddress) {
        // SSL_set_tlsext_host_name, without the macro's cast.
        SSL_ctrl(state.ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                 const_cast<char*>(name.c_str()));
    }
    if (context.verify) {
        if (isAddress) {
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(state.ssl), name.c_str());
        } else {
            SSL_set_hostflags(state.ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
            SSL_set1_host(state.ssl, name.c_str());
        }
    }
    state.key = name + ":" + std::to_string(port);
    SSL_set_ex_data(state.ssl, 0, &state.key);   // what the context's session callback reads
    if (SSL_SESSION* session = context.TakeSession(state.key)) {
        SSL_set_session(state.ssl, session);
        SSL_SESSION_free(session);
    }

    const Deadline deadline = DeadlineAfter(timeOut);
    for (;;) {
        ERR_clear_error();
        const int result = SSL_do_handshake(state.ssl);
        const int error = result == 1 ? SSL_ERROR_NONE : SSL_get_error(state.ssl, result);
        const int flushed = Flush(m_handle, state, deadline);
        if (result == 1 && flushed == 0) {
            m_resumed = SSL_session_reused(state.ssl) == 1;
            context.CountHandshake(m_resumed);
            return 0;
        }
        if (flushed < 0 && error != SSL_ERROR_SSL) {
            return flushed == kSocketTimedOut
                       ? (fail(TlsCode::Failed, "no answer within the time-out"), kSocketTimedOut)
                       : fail(TlsCode::Failed, "the connection was reset");
        }
        if (error == SSL_ERROR_WANT_READ) {
            const int fed = Feed(m_handle, state, deadline);
            if (fed == kSocketTimedOut) {
                fail(TlsCode::Failed, "no answer within the time-out");
                return kSocketTimedOut;
            }
            if (fed == 0) {
                return fail(TlsCode::Failed, "the server closed the connection");
            }
            if (fed < 0) {
                return fail(TlsCode::Failed, "the connection was reset");
            }
            continue;
        }
        if (error == SSL_ERROR_WANT_WRITE) {
            continue;
        }
        const long verified = SSL_get_verify_result(state.ssl);
        if (context.verify && verified != X509_V_OK) {
            std::string reason = X509_verify_cert_error_string(verified);
            if (!context.caFileProblem.empty()) {
                reason += " (" + context.caFileProblem + ")";
            }
            ERR_clear_error();
            return fail(TlsCode::Certificate, reason);
        }
        return fail(TlsCode::Failed, OpenSslReason());
    }
}

int CTlsChannel::Send(const char* data, int length, std::chrono::milliseconds timeOut) {
    State& state = *m_state;
    if (state.ssl == nullptr || length < 0) {
        return kSocketFailed;
    }
    if (length == 0) {
        return 0;
    }
    const Deadline deadline = DeadlineAfter(timeOut);
    for (;;) {
        ERR_clear_error();
        const int written = SSL_write(state.ssl, data, length);
        const int error = written > 0 ? SSL_ERROR_NONE : SSL_get_error(state.ssl, written);
        const int flushed = Flush(m_handle, state, deadline);
        if (flushed < 0) {
            return flushed;
        }
        if (written > 0) {
            return written;
        }
        if (error == SSL_ERROR_WANT_READ) {
            const int fed = Feed(m_handle, state, deadline);
            if (fed <= 0) {
                return fed == kSocketTimedOut ? kSocketTimedOut : kSocketFailed;
            }
            continue;
        }
        if (error != SSL_ERROR_WANT_WRITE) {
            ERR_clear_error();
            return kSocketFailed;
        }
    }
}

int CTlsChannel::Receive(char* buffer, int capacity, std::chrono::milliseconds timeOut) {
    State& state = *m_state;
    if (state.ssl == nullptr || capacity < 0) {
        return kSocketFailed;
    }
    if (capacity == 0) {
        return 0;
    }
    const Deadline deadline = DeadlineAfter(timeOut);
    for (;;) {
        ERR_clear_error();
        const int read = SSL_read(state.ssl, buffer, capacity);
        const int error = read > 0 ? SSL_ERROR_NONE : SSL_get_error(state.ssl, read);
        // Reading may make the session answer (a key update, a close notice).
        const int flushed = Flush(m_handle, state, deadline);
        if (read > 0) {
            return read;
        }
        if (error == SSL_ERROR_ZERO_RETURN) {
            return 0;   // the server's close notice: the stream ended where it meant to
        }
        if (flushed < 0) {
            return flushed;
        }
        if (error == SSL_ERROR_WANT_READ) {
            if (state.peerClosed) {
                return kSocketFailed;   // cut without a close notice
            }
            const int fed = Feed(m_handle, state, deadline);
            if (fed < 0) {
                return fed;
            }
            continue;   // also after the close: the records received before it come first
        }
        if (error != SSL_ERROR_WANT_WRITE) {
            ERR_clear_error();
            return kSocketFailed;
        }
    }
}

void CTlsChannel::Close() {
    State& state = *m_state;
    if (state.ssl == nullptr || state.peerClosed) {
        return;
    }
    ERR_clear_error();
    if (SSL_is_init_finished(state.ssl) == 1 && SSL_shutdown(state.ssl) >= 0) {
        // One try to send the notice, without a wait: a full socket buffer just loses it.
        const int pending = BIO_read(state.outgoing, state.buffer.data(),
                                     static_cast<int>(state.buffer.size()));
        if (pending > 0) {
            SendSome(m_handle, state.buffer.data(), static_cast<std::size_t>(pending));
        }
    }
    ERR_clear_error();
}

} // namespace torvex
