#include "CNginxServer.h"
#include "LoopbackPorts.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace torvex::test {

namespace {

constexpr int kStartAttempts = 3;
constexpr auto kStartLimit = std::chrono::seconds(10);

std::string FindNginx() {
    for (const char* candidate : {"/usr/sbin/nginx", "/usr/bin/nginx", "/usr/local/sbin/nginx"}) {
        if (::access(candidate, X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

} // namespace

CNginxServer::CNginxServer(const std::string& root) { Start(root); }

CNginxServer::CNginxServer(const std::string& root, const std::vector<CertificateFiles>& tls)
    : m_tls(tls) {
    Start(root);
}

void CNginxServer::Start(const std::string& root) {
    const std::string binary = FindNginx();
    if (binary.empty()) {
        m_reason = "nginx is not installed (tools/deps.sh installs it; run ./test.sh)";
        return;
    }
    for (int attempt = 0; attempt < kStartAttempts && !Started(); ++attempt) {
        TryStart(binary, root);
    }
}

CNginxServer::~CNginxServer() {
    Stop();
}

std::string CNginxServer::ConnectionLog() const {
    std::ifstream log(m_dir.Str() + "/connections.log");
    return std::string((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
}

std::string CNginxServer::AccessLog() const {
    std::ifstream log(m_dir.Str() + "/access.log");
    return std::string((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
}

bool CNginxServer::TryStart(const std::string& binary, const std::string& root) {
    m_port = FreeLoopbackPort();
    m_tlsPorts.clear();
    for (std::size_t i = 0; i < m_tls.size(); ++i) {
        m_tlsPorts.push_back(FreeLoopbackPort());
        if (m_tlsPorts.back() == 0) {
            m_port = 0;
        }
    }
    if (m_port == 0) {
        m_reason = "no free loopback port";
        return false;
    }
    const std::string dir = m_dir.Str();
    const std::string config = dir + "/nginx.conf";
    {
        std::ofstream out(config, std::ios::trunc);
        out << "daemon off;\n"
            << "master_process off;\n"
            << "worker_processes 1;\n"
            << "pid " << dir << "/nginx.pid;\n"
            << "error_log " << dir << "/error.log;\n"
            << "events { worker_connections 64; }\n"
            << "http {\n"
            << "  access_log " << dir << "/access.log;\n"
            // Which connection carried each request, and whether its body went compressed.
            << "  log_format connections '$connection $connection_requests $status "
               "$gzip_ratio \"$request\"';\n"
            << "  access_log " << dir << "/connections.log connections;\n"
            // Compressed only for clients that ask for it, as browsers do.
            << "  gzip on;\n"
            << "  gzip_min_length 1;\n"
            << "  gzip_types text/css;\n"
            << "  client_body_temp_path " << dir << "/body;\n"
            << "  proxy_temp_path " << dir << "/proxy;\n"
            << "  fastcgi_temp_path " << dir << "/fastcgi;\n"
            << "  uwsgi_temp_path " << dir << "/uwsgi;\n"
            << "  scgi_temp_path " << dir << "/scgi;\n"
            << "  types { text/html html htm php; text/plain txt; text/css css;"
               " application/javascript js; image/png png; image/gif gif; image/jpeg jpg jpeg;"
               " image/svg+xml svg; image/webp webp; font/woff2 woff2; video/mp4 mp4;"
               " application/pdf pdf; }\n"
            << "  default_type application/octet-stream;\n"
            << "  server {\n"
            << "    listen 127.0.0.1:" << m_port << ";\n"
            << "    root " << root << ";\n"
            << "  }\n";
        for (std::size_t i = 0; i < m_tls.size(); ++i) {
            out << "  server {\n"
                << "    listen 127.0.0.1:" << m_tlsPorts[i] << " ssl;\n"
                << "    root " << root << ";\n"
                << "    ssl_certificate " << m_tls[i].cert << ";\n"
                << "    ssl_certificate_key " << m_tls[i].key << ";\n"
                << "    ssl_protocols TLSv1.2 TLSv1.3;\n"
                << "  }\n";
        }
        out << "}\n";
    }
    std::vector<std::string> args = {binary, "-p", dir + "/", "-c", config, "-e",
                                     dir + "/error.log"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, binary.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        m_reason = "nginx could not be started";
        return false;
    }
    // nginx says nothing when it is ready; it is ready when its port accepts connections.
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            std::ifstream log(dir + "/error.log");
            std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
            m_reason = "nginx exited at start: " + text;
            return false;   // most likely the port was taken meanwhile
        }
        bool allAccept = LoopbackAccepts(m_port);
        for (const int port : m_tlsPorts) {
            allAccept = allAccept && LoopbackAccepts(port);
        }
        if (allAccept) {
            m_pid = pid;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    m_reason = "nginx did not accept connections in time";
    return false;
}

void CNginxServer::Stop() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

} // namespace torvex::test
