#pragma once

#include <string>
#include <vector>

#include "TempDir.h"

namespace torvex::test {

// A certificate and its private key, as PEM files.
struct CertificateFiles {
    std::string cert;
    std::string key;
};

// A test certificate authority and server certificates made with the openssl command line in
// a temporary folder when the object is made: one for localhost and 127.0.0.1 signed by the
// authority, one for another host name, one that expired in 2020, and one for localhost that
// signs itself (no authority trusts it). When openssl is missing or fails, Ready() is false and
// Reason() says why, so the test can skip with that.
class CTestCertificates {
public:
    CTestCertificates();

    bool Ready() const { return m_ready; }
    const std::string& Reason() const { return m_reason; }
    // The authority's certificate: the file a run names to trust it.
    std::string CaFile() const { return m_dir.Str() + "/ca.pem"; }
    CertificateFiles Good() const { return Pair("good"); }
    CertificateFiles WrongHost() const { return Pair("wronghost"); }
    CertificateFiles Expired() const { return Pair("expired"); }
    CertificateFiles SelfSigned() const { return Pair("selfsigned"); }

private:
    CertificateFiles Pair(const std::string& name) const {
        return {m_dir.Str() + "/" + name + ".pem", m_dir.Str() + "/" + name + ".key"};
    }
    bool Run(const std::string& what, const std::vector<std::string>& arguments);
    bool Make();

    TempDir m_dir;
    bool m_ready = false;
    std::string m_reason;
};

} // namespace torvex::test
