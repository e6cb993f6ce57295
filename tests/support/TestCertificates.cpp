#include "TestCertificates.h"

#include <fstream>
#include <vector>

#include <unistd.h>

#include "CChildProcess.h"

namespace torvex::test {

namespace {

constexpr const char* kOpenSsl = "/usr/bin/openssl";
constexpr const char* kLocalNames = "subjectAltName=DNS:localhost,IP:127.0.0.1";

} // namespace

CTestCertificates::CTestCertificates() {
    if (::access(kOpenSsl, X_OK) != 0) {
        m_reason = "the openssl command is not installed (tools/deps.sh installs it)";
        return;
    }
    m_ready = Make();
}

bool CTestCertificates::Run(const std::string& what, const std::vector<std::string>& arguments) {
    CChildProcess child(kOpenSsl, arguments, {});
    const ChildResult result = child.Wait(std::chrono::seconds(60));
    if (result.exitStatus != 0) {
        m_reason = "openssl failed to make " + what + ": " + result.err;
        return false;
    }
    return true;
}

bool CTestCertificates::Make() {
    const std::string dir = m_dir.Str();
    // Elliptic-curve keys: made in an instant, and the handshakes are quick too.
    const std::vector<std::string> newKey = {"-newkey", "ec", "-pkeyopt",
                                             "ec_paramgen_curve:prime256v1", "-nodes"};
    auto request = [&](const std::string& name, const std::string& subject) {
        std::vector<std::string> args = {"req", "-new"};
        args.insert(args.end(), newKey.begin(), newKey.end());
        args.insert(args.end(), {"-keyout", dir + "/" + name + ".key", "-out",
                                 dir + "/" + name + ".csr", "-subj", subject});
        return Run(name + " request", args);
    };
    auto selfSigned = [&](const std::string& name, const std::string& subject, bool ca) {
        std::vector<std::string> args = {"req", "-x509"};
        args.insert(args.end(), newKey.begin(), newKey.end());
        args.insert(args.end(), {"-keyout", dir + "/" + name + ".key", "-out",
                                 dir + "/" + name + ".pem", "-days", "3650", "-subj", subject});
        if (!ca) {
            args.insert(args.end(), {"-addext", kLocalNames});
        }
        return Run(name, args);
    };
    auto sign = [&](const std::string& name, const std::string& names, int serial) {
        const std::string ext = dir + "/" + name + ".ext";
        std::ofstream(ext) << names << "\n";
        return Run(name, {"x509", "-req", "-in", dir + "/" + name + ".csr", "-CA", dir + "/ca.pem",
                          "-CAkey", dir + "/ca.key", "-set_serial", std::to_string(serial),
                          "-days", "30", "-out", dir + "/" + name + ".pem", "-extfile", ext});
    };
    if (!selfSigned("ca", "/CN=Torvex Test CA", true) ||
        !request("good", "/CN=localhost") || !sign("good", kLocalNames, 2) ||
        !request("wronghost", "/CN=other.invalid") ||
        !sign("wronghost", "subjectAltName=DNS:other.invalid", 3) ||
        !selfSigned("selfsigned", "/CN=localhost", false) ||
        !request("expired", "/CN=localhost")) {
        return false;
    }
    // Only "openssl ca" signs for dates in the past; it wants a small database of its own.
    std::ofstream(dir + "/index.txt").close();
    std::ofstream(dir + "/serial") << "04\n";
    std::ofstream(dir + "/ca.cnf")
        << "[ca]\ndefault_ca = test\n"
        << "[test]\ndatabase = " << dir << "/index.txt\nnew_certs_dir = " << dir << "\n"
        << "certificate = " << dir << "/ca.pem\nprivate_key = " << dir << "/ca.key\n"
        << "serial = " << dir << "/serial\ndefault_md = sha256\npolicy = any\n"
        << "x509_extensions = names\n"
        << "[any]\ncommonName = supplied\n"
        << "[names]\n" << kLocalNames << "\n";
    return Run("expired", {"ca", "-batch", "-notext", "-config", dir + "/ca.cnf", "-startdate",
                           "20200101000000Z", "-enddate", "20200201000000Z", "-in",
                           dir + "/expired.csr", "-out", dir + "/expired.pem"});
}

} // namespace torvex::test
