#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TempDir.h"

namespace torvex::test {

// A real server program from a Debian package (a proxy, an FTP server), started by a test as a
// child in its own process group on 127.0.0.1 and a free port, with whatever private
// configuration `arguments` writes into the daemon's temporary folder. Ready when its port
// accepts connections; stopped with its whole group (and waited for) on destruction. When the
// program is missing or does not come up, Started() is false and Reason() says why, so the test
// can skip with that.
class CLoopbackDaemon {
public:
    // The command line (program first) for `port`, after writing any configuration into `dir`.
    using Arguments = std::function<std::vector<std::string>(int port, const std::string& dir)>;

    CLoopbackDaemon(const std::string& program, Arguments arguments);
    ~CLoopbackDaemon();
    CLoopbackDaemon(const CLoopbackDaemon&) = delete;
    CLoopbackDaemon& operator=(const CLoopbackDaemon&) = delete;

    bool Started() const { return m_pid > 0; }
    const std::string& Reason() const { return m_reason; }
    int Port() const { return m_port; }
    std::string Dir() const { return m_dir.Str(); }

private:
    bool TryStart(const std::string& program, const Arguments& arguments);
    void Stop(int pid);

    TempDir m_dir;
    int m_pid = -1;
    int m_port = 0;
    std::string m_reason;
};

// A Debian SOCKS5 proxy without authentication (dante's danted).
std::unique_ptr<CLoopbackDaemon> StartDanted();
// A Debian SOCKS5 proxy that asks for `user` and `password` (microsocks).
std::unique_ptr<CLoopbackDaemon> StartMicrosocks(const std::string& user,
                                                 const std::string& password);
// A Debian HTTP proxy (tinyproxy). With a user, it asks for Basic credentials; with
// `connectPorts`, it opens CONNECT tunnels only to those ports (else to any).
std::unique_ptr<CLoopbackDaemon> StartTinyproxy(const std::string& user = "",
                                                const std::string& password = "",
                                                const std::vector<int>& connectPorts = {});
// A Debian FTP server (pyftpdlib) serving `root` read-only to anonymous users, and to `user`
// with `password` when a user is given.
std::unique_ptr<CLoopbackDaemon> StartFtpServer(const std::string& root,
                                                const std::string& user = "",
                                                const std::string& password = "");

} // namespace torvex::test
