#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/ChildProgram.h"
#include "platform/DialUp.h"

namespace torvex {

// Dial-up networking over NetworkManager, through its command-line client `nmcli` (terse mode,
// C locale). The entries are the connection profiles of the point-to-point kinds (mobile
// broadband, PPPoE, DSL, Bluetooth, VPN, WireGuard); a LAN or wireless profile is never listed,
// dialled or hung up. Dialling is `nmcli connection up` on a thread of its own, while the state
// of the profile's device is polled and mapped onto the dial states; hanging up is `nmcli
// connection down`. The error codes are nmcli's exit statuses, and the error text is what nmcli
// said about the last failure with that code. Without `nmcli` on the search path the service is
// not Available().
//
// Owned by the front end; any thread may call it. Its threads are joined when it goes (the
// commands under way are killed first).
class CNmcliDialUp final : public IDialUpService {
public:
    struct Options {
        std::string searchPath = ProgramSearchPath();
        int pollMs = 500;        // device state polls while dialling
        int attemptSeconds = 60; // nmcli's own wait for the connection
        int commandTimeoutMs = 20000;
    };

    explicit CNmcliDialUp(Options options);
    CNmcliDialUp() : CNmcliDialUp(Options{}) {}
    ~CNmcliDialUp() override;
    CNmcliDialUp(const CNmcliDialUp &) = delete;
    CNmcliDialUp &operator=(const CNmcliDialUp &) = delete;

    bool Available() override { return !m_nmcli.empty(); }
    int EnumEntries(std::vector<std::string> &entries) override;
    int Dial(const CDialParams &params, int attempt, IDialEvents &events,
             DialConnection &connection) override;
    void Forget(IDialEvents &events) override;
    void HangUp(const DialConnection &connection) override;
    std::string ErrorText(int error) override;
    int EnumConnections(std::vector<DialConnection> &connections) override;

    // Error codes of this side (the rest are nmcli's exit statuses).
    static constexpr int kErrorNotRun = 1;   // nmcli could not be run or was killed
    static constexpr int kErrorNoAnswer = 3; // no result in time
    static constexpr int kErrorNoEntry = 10; // no dial-up profile of that name

private:
    struct Profile {
        std::string name;
        std::string uuid;
        std::string type;
    };
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    // Runs nmcli with `arguments`; a failure's text is kept for ErrorText. The exit code.
    int Nmcli(const std::vector<std::string> &arguments, std::string &out, int timeoutMs);
    int Profiles(bool activeOnly, std::vector<Profile> &profiles);
    void Launch(std::function<void()> body);
    void Report(IDialEvents *events, int attempt, int state, int error);
    void RunDial(CDialParams params, std::string uuid, int attempt, IDialEvents *events);
    int DeviceStateOf(const std::string &uuid);
    void KeepError(int code, const std::string &text);

    Options m_options;
    std::string m_nmcli;
    std::atomic<bool> m_closing{false};

    std::mutex m_lock; // the workers, the error texts, the hang-ups under way
    std::condition_variable m_hangUpsDone;
    int m_hangUps = 0;
    std::vector<Worker> m_workers;
    std::map<int, std::string> m_errors;

    std::mutex m_eventsLock; // held while a report is made
    std::set<IDialEvents *> m_listeners;
};

} // namespace torvex
