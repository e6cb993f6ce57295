#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include <openssl/ssl.h>

#include "net/CTlsContext.h"

namespace torvex {

// The OpenSSL side of CTlsContext, shared by CTlsContext.cpp and CTlsChannel.cpp only.
struct CTlsContext::Impl {
    // Made on the first https connection, so that a run without one never reads the trust
    // store; null when it could not be made.
    SSL_CTX* ctx = nullptr;
    std::once_flag made;
    CTlsSettings settings;
    bool verify = true;
    std::string caFileProblem;   // set while `ctx` is made
    std::mutex lock;                               // guards `sessions`
    std::map<std::string, SSL_SESSION*> sessions;  // "host:port" -> the newest session (owned)
    std::atomic<std::int64_t> full{0};
    std::atomic<std::int64_t> resumed{0};

    // A reference to the session kept for `key`, or null; the caller frees it.
    SSL_SESSION* TakeSession(const std::string& key);
    // Keeps `session` (whose reference passes here) as the newest one for `key`.
    void KeepSession(const std::string& key, SSL_SESSION* session);
    // Counts a completed handshake here and for the process.
    void CountHandshake(bool resumed);
    // The OpenSSL context, made on the first call (any thread); null when it could not be made.
    SSL_CTX* Context();
    void Make();
};

} // namespace torvex
