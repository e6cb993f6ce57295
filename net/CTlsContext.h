#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace torvex {

// How a run checks the servers it reaches over TLS.
struct CTlsSettings {
    // Check the certificate chain against the trusted authorities and the name against the
    // host. Off only for a project that asks for it (an intranet with its own certificates).
    bool verify = true;
    // Files of further trusted authorities (PEM), besides the system's trust store.
    std::vector<std::string> caFiles;
};

// The TLS side of one run: the trusted authorities, the protocol versions (TLS 1.2 and 1.3)
// and the sessions of the hosts reached so far, so that the next connection to a host resumes
// its session instead of paying a full handshake (every HTTP/1.0 file is its own connection).
// Made by the run before its workers start and shared by them: every method may be called from
// any thread. CTlsChannel uses it for each connection.
class CTlsContext {
public:
    explicit CTlsContext(const CTlsSettings& settings);
    ~CTlsContext();
    CTlsContext(const CTlsContext&) = delete;
    CTlsContext& operator=(const CTlsContext&) = delete;

    bool Verifies() const;
    // Empty when every CA file was read; else what went wrong with them (added to the reason of
    // a certificate that fails, since a missing authority is the likely cause).
    const std::string& CaFileProblem() const;
    // Handshakes completed with a new session and with a resumed one.
    std::int64_t FullHandshakes() const;
    std::int64_t ResumedHandshakes() const;
    // The same, over every context of the process since it started (any thread).
    static std::int64_t ProcessFullHandshakes();
    static std::int64_t ProcessResumedHandshakes();

    struct Impl;
    Impl& Native() { return *m_impl; }

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace torvex
