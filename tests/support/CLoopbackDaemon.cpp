#include "CLoopbackDaemon.h"
#include "LoopbackPorts.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
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
constexpr auto kStopLimit = std::chrono::seconds(5);

std::string FileText(const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

CLoopbackDaemon::CLoopbackDaemon(const std::string& program, Arguments arguments) {
    if (::access(program.c_str(), X_OK) != 0) {
        m_reason = program + " is not installed (tools/deps.sh installs it; run ./test.sh)";
        return;
    }
    for (int attempt = 0; attempt < kStartAttempts && !Started(); ++attempt) {
        TryStart(program, arguments);
    }
}

CLoopbackDaemon::~CLoopbackDaemon() {
    if (m_pid > 0) {
        Stop(m_pid);
    }
}

bool CLoopbackDaemon::TryStart(const std::string& program, const Arguments& arguments) {
    m_port = FreeLoopbackPort();
    if (m_port == 0) {
        m_reason = "no free loopback port";
        return false;
    }
    const std::string dir = m_dir.Str();
    std::vector<std::string> args = arguments(m_port, dir);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string outPath = dir + "/daemon.out";
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group: a daemon that forks helpers is stopped with all of them.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        m_reason = program + " could not be started";
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            ::kill(-pid, SIGKILL);
            m_reason = program + " exited at start: " + FileText(outPath);
            return false;   // most likely the port was taken meanwhile
        }
        if (LoopbackAccepts(m_port)) {
            m_pid = pid;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Stop(pid);
    m_reason = program + " did not accept connections in time: " + FileText(outPath);
    return false;
}

void CLoopbackDaemon::Stop(int pid) {
    ::kill(-pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
    while (::waitpid(pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(-pid, SIGKILL);   // helpers the daemon left behind
    if (pid == m_pid) {
        m_pid = -1;
    }
}

std::unique_ptr<CLoopbackDaemon> StartDanted() {
    return std::make_unique<CLoopbackDaemon>(
        "/usr/sbin/danted", [](int port, const std::string& dir) {
            std::ofstream out(dir + "/danted.conf", std::ios::trunc);
            out << "logoutput: " << dir << "/danted.log\n"
                << "internal: 127.0.0.1 port = " << port << "\n"
                << "external: 127.0.0.1\n"
                << "clientmethod: none\n"
                << "socksmethod: none\n"
                << "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
                << "socks pass { from: 127.0.0.0/8 to: 127.0.0.0/8 }\n"
                << "socks block { from: 0.0.0.0/0 to: 0.0.0.0/0 }\n";
            out.close();
            return std::vector<std::string>{"/usr/sbin/danted", "-f", dir + "/danted.conf", "-p",
                                            dir + "/danted.pid", "-N", "1"};
        });
}

std::unique_ptr<CLoopbackDaemon> StartMicrosocks(const std::string& user,
                                                 const std::string& password) {
    return std::make_unique<CLoopbackDaemon>(
        "/usr/bin/microsocks", [user, password](int port, const std::string&) {
            return std::vector<std::string>{"/usr/bin/microsocks", "-i", "127.0.0.1", "-p",
                                            std::to_string(port), "-u", user, "-P", password};
        });
}

std::unique_ptr<CLoopbackDaemon> StartTinyproxy(const std::string& user,
                                                const std::string& password,
                                                const std::vector<int>& connectPorts) {
    return std::make_unique<CLoopbackDaemon>(
        "/usr/bin/tinyproxy", [user, password, connectPorts](int port, const std::string& dir) {
            std::ofstream out(dir + "/tinyproxy.conf", std::ios::trunc);
            out << "Port " << port << "\n"
                << "Listen 127.0.0.1\n"
                << "Timeout 10\n"
                << "Allow 127.0.0.1\n"
                << "MaxClients 8\n"
                << "LogFile \"" << dir << "/tinyproxy.log\"\n"
                << "PidFile \"" << dir << "/tinyproxy.pid\"\n";
            if (!user.empty()) {
                out << "BasicAuth " << user << " " << password << "\n";
            }
            for (const int allowed : connectPorts) {
                out << "ConnectPort " << allowed << "\n";
            }
            out.close();
            return std::vector<std::string>{"/usr/bin/tinyproxy", "-d", "-c",
                                            dir + "/tinyproxy.conf"};
        });
}

std::unique_ptr<CLoopbackDaemon> StartFtpServer(const std::string& root, const std::string& user,
                                                const std::string& password) {
    // Debian's own interpreter, which has the package's module, whatever python3 the PATH finds.
    return std::make_unique<CLoopbackDaemon>(
        "/usr/bin/python3", [root, user, password](int port, const std::string&) {
            std::vector<std::string> args{"/usr/bin/python3", "-m", "pyftpdlib", "-i",
                                          "127.0.0.1", "-p", std::to_string(port), "-d", root};
            if (!user.empty()) {
                args.insert(args.end(), {"-u", user, "-P", password});
            }
            return args;
        });
}

} // namespace torvex::test
