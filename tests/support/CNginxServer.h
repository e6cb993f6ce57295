#pragma once

#include <string>
#include <vector>

#include "TempDir.h"
#include "TestCertificates.h"

namespace torvex::test {

// A real web server for tests: Debian's nginx, started as a child of the test process on
// 127.0.0.1 and a free port, with a private configuration in a temporary folder, serving the
// files under `root`, with kept connections (nginx's defaults). Stopped (and waited for) on
// destruction. When nginx is not installed or does not come up, Started() is false and Reason()
// says why, so the test can skip with that.
class CNginxServer {
public:
    explicit CNginxServer(const std::string& root);
    // The same, and one https listener for each certificate in `tls` (the same files), on
    // ports of their own (TlsPort).
    CNginxServer(const std::string& root, const std::vector<CertificateFiles>& tls);
    ~CNginxServer();
    CNginxServer(const CNginxServer&) = delete;
    CNginxServer& operator=(const CNginxServer&) = delete;

    bool Started() const { return m_pid > 0; }
    const std::string& Reason() const { return m_reason; }
    int Port() const { return m_port; }
    int TlsPort(std::size_t index = 0) const { return m_tlsPorts.at(index); }
    // The requests served so far, one line each in nginx's combined format ("GET /x HTTP/1.0"
    // and the status among them).
    std::string AccessLog() const;
    // The same requests, one line each: nginx's connection number, the request's number on
    // that connection, the status, the compression ratio ("-" when the body went as it is)
    // and the request line in quotes. Bodies are compressed (gzip) for text/html and text/css
    // when the request accepts it.
    std::string ConnectionLog() const;

private:
    bool TryStart(const std::string& binary, const std::string& root);
    void Start(const std::string& root);
    void Stop();

    TempDir m_dir;
    int m_pid = -1;
    int m_port = 0;
    std::vector<CertificateFiles> m_tls;
    std::vector<int> m_tlsPorts;
    std::string m_reason;
};

} // namespace torvex::test
