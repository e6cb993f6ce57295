#include "net/CTlsContext.h"

#include <openssl/err.h>

#include "net/CTlsContextImpl.h"

namespace torvex {

namespace {

std::atomic<std::int64_t> g_fullHandshakes{0};
std::atomic<std::int64_t> g_resumedHandshakes{0};

} // namespace

void CTlsContext::Impl::CountHandshake(bool wasResumed) {
    (wasResumed ? resumed : full).fetch_add(1);
    (wasResumed ? g_resumedHandshakes : g_fullHandshakes).fetch_add(1);
}

std::int64_t CTlsContext::ProcessFullHandshakes() { return g_fullHandshakes.load(); }

std::int64_t CTlsContext::ProcessResumedHandshakes() { return g_resumedHandshakes.load(); }

namespace {

// OpenSSL calls this on the connection's thread whenever the server hands out a session (in
// TLS 1.3 after the handshake, with the first records that follow it).
int NewSession(SSL* ssl, SSL_SESSION* session) {
    auto* impl = static_cast<CTlsContext::Impl*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), 0));
    const auto* key = static_cast<const std::string*>(SSL_get_ex_data(ssl, 0));
    if (impl == nullptr || key == nullptr) {
        return 0;   // OpenSSL keeps its reference and frees it
    }
    impl->KeepSession(*key, session);
    return 1;
}

} // namespace

SSL_SESSION* CTlsContext::Impl::TakeSession(const std::string& key) {
    std::lock_guard<std::mutex> guard(lock);
    const auto found = sessions.find(key);
    if (found == sessions.end() || SSL_SESSION_is_resumable(found->second) == 0) {
        return nullptr;
    }
    SSL_SESSION_up_ref(found->second);
    return found->second;
}

void CTlsContext::Impl::KeepSession(const std::string& key, SSL_SESSION* session) {
    std::lock_guard<std::mutex> guard(lock);
    SSL_SESSION*& slot = sessions[key];
    if (slot != nullptr) {
        SSL_SESSION_free(slot);
    }
    slot = session;
}

CTlsContext::CTlsContext(const CTlsSettings& settings) : m_impl(std::make_unique<Impl>()) {
    m_impl->settings = settings;
    m_impl->verify = settings.verify;
}

SSL_CTX* CTlsContext::Impl::Context() {
    std::call_once(made, [this] { Make(); });
    return ctx;
}

void CTlsContext::Impl::Make() {
    Impl& impl = *this;
    impl.ctx = SSL_CTX_new(TLS_client_method());
    if (impl.ctx == nullptr) {
        impl.caFileProblem = "TLS could not be set up";
        return;
    }
    SSL_CTX_set_min_proto_version(impl.ctx, TLS1_2_VERSION);
    SSL_CTX_set_ex_data(impl.ctx, 0, &impl);
    SSL_CTX_set_session_cache_mode(impl.ctx,
                                   SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(impl.ctx, NewSession);
    const int mode = impl.settings.verify ? SSL_VERIFY_PEER : SSL_VERIFY_NONE;
    SSL_CTX_set_verify(impl.ctx, mode, nullptr);
    if (impl.settings.verify) {
        SSL_CTX_set_default_verify_paths(impl.ctx);
        for (const std::string& file : impl.settings.caFiles) {
            if (SSL_CTX_load_verify_locations(impl.ctx, file.c_str(), nullptr) != 1) {
                if (!impl.caFileProblem.empty()) {
                    impl.caFileProblem += "; ";
                }
                impl.caFileProblem += "the CA file \"" + file + "\" could not be read";
            }
        }
        ERR_clear_error();
    }
}

CTlsContext::~CTlsContext() {
    for (auto& entry : m_impl->sessions) {
        SSL_SESSION_free(entry.second);
    }
    SSL_CTX_free(m_impl->ctx);
}

bool CTlsContext::Verifies() const { return m_impl->verify; }

const std::string& CTlsContext::CaFileProblem() const {
    m_impl->Context();   // the files are read with the context
    return m_impl->caFileProblem;
}

std::int64_t CTlsContext::FullHandshakes() const { return m_impl->full.load(); }

std::int64_t CTlsContext::ResumedHandshakes() const { return m_impl->resumed.load(); }

} // namespace torvex
