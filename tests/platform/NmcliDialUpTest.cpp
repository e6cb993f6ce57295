#include "platform/NmcliDialUp.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "support/ScopedVariable.h"
#include "support/TempDir.h"

namespace torvex {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

constexpr auto kWait = std::chrono::seconds(30);

// Keeps the reports of a dial in arrival order.
class CEventLog final : public IDialEvents {
public:
    struct Event {
        int attempt;
        int state;
        int error;
    };
    void OnDialEvent(int attempt, int state, int error) override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_events.push_back({attempt, state, error});
        m_changed.notify_all();
    }
    // Waits until the attempt ended (connected or failed).
    bool WaitForEnd() {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, kWait, [this] {
            return !m_events.empty() &&
                   (m_events.back().error != 0 || m_events.back().state == DialState::Connected);
        });
    }
    std::vector<Event> Events() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_events;
    }
    std::vector<int> States() {
        std::vector<int> states;
        for (const Event &event : Events()) {
            states.push_back(event.state);
        }
        return states;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Event> m_events;
};

// A folder with the stub nmcli and its state: two dial-up profiles (one with a ":" in its name),
// a LAN and a wireless profile; the LAN is up.
class NmcliDialUp : public ::testing::Test {
protected:
    NmcliDialUp() {
        fs::create_directories(m_dir / "bin");
        std::string stub =
            ReadFileBytes(std::string(TORVEX_SOURCE_DIR) + "/tests/platform/stubs/nmcli");
        stub.replace(stub.find("@DIR@"), 5, "'" + m_dir.Str() + "'");
        WriteFileBytes(m_dir / "bin/nmcli", stub);
        fs::permissions(m_dir / "bin/nmcli", fs::perms::owner_all);
        Write("profiles", "Wired connection 1:0b3e-lan:802-3-ethernet\n"
                          "Mobile:7f1a-gsm:gsm\n"
                          "Home\\:Office VPN:51c2-vpn:vpn\n"
                          "Cafe:9d2e-wifi:802-11-wireless\n");
        Write("active", "Wired connection 1:0b3e-lan:802-3-ethernet\n");
        Write("states", "ttyUSB0:connecting (prepare):7f1a-gsm\n"
                        "ttyUSB0:connecting (need authentication):7f1a-gsm\n"
                        "ttyUSB0:connecting (getting IP configuration):7f1a-gsm\n");
    }
    void Write(const std::string &name, const std::string &text) {
        WriteFileBytes(m_dir / name, text);
    }
    std::string Read(const std::string &name) const { return ReadFileBytes(m_dir / name); }
    CNmcliDialUp::Options Options() const {
        CNmcliDialUp::Options options;
        options.searchPath = m_dir / "bin" + ":" + ProgramSearchPath();
        options.pollMs = 20;
        return options;
    }
    static CDialParams Params(const std::string &entry, const std::string &password = "") {
        CDialParams params;
        params.EntryName = entry;
        params.Password = password;
        return params;
    }

    TempDir m_dir;
};

TEST_F(NmcliDialUp, WithoutNmcliNothingIsAvailableAndNothingIsDialled) {
    TempDir empty;
    CNmcliDialUp::Options options;
    options.searchPath = empty.Str();
    CNmcliDialUp service(options);
    EXPECT_FALSE(service.Available());
    std::vector<std::string> entries;
    EXPECT_NE(service.EnumEntries(entries), 0);
    EXPECT_TRUE(entries.empty());
    CEventLog events;
    DialConnection connection;
    EXPECT_NE(service.Dial(Params("Mobile"), 1, events, connection), 0);
    service.HangUp("7f1a-gsm");
    EXPECT_TRUE(events.Events().empty());
}

TEST_F(NmcliDialUp, TheStubFirstOnPathIsTheOneUsed) {
    const std::string path = m_dir / "bin" + ":" + ProgramSearchPath();
    test::ScopedVariable variable("PATH", path.c_str());
    CNmcliDialUp service;
    EXPECT_TRUE(service.Available());
    std::vector<std::string> entries;
    EXPECT_EQ(service.EnumEntries(entries), 0);
    EXPECT_FALSE(entries.empty());
}

TEST_F(NmcliDialUp, EntriesAndConnectionsAreTheDialUpProfilesOnly) {
    CNmcliDialUp service(Options());
    ASSERT_TRUE(service.Available());
    std::vector<std::string> entries;
    ASSERT_EQ(service.EnumEntries(entries), 0);
    EXPECT_EQ(entries, (std::vector<std::string>{"Mobile", "Home:Office VPN"}));

    std::vector<DialConnection> connections;
    ASSERT_EQ(service.EnumConnections(connections), 0);
    EXPECT_TRUE(connections.empty()); // the LAN is no dial-up connection
    Write("active", Read("active") + "Home\\:Office VPN:51c2-vpn:vpn\n");
    ASSERT_EQ(service.EnumConnections(connections), 0);
    EXPECT_EQ(connections, std::vector<DialConnection>{"51c2-vpn"});
    // Every call ran in the C locale, in terse mode.
    EXPECT_NE(Read("calls").find("LC_ALL=C -t -f NAME,UUID,TYPE connection show --active"),
              std::string::npos);
}

TEST_F(NmcliDialUp, ADialReportsTheDeviceStatesThenConnectedWithThePasswordKeptPrivate) {
    CNmcliDialUp service(Options());
    CEventLog events;
    DialConnection connection;
    ASSERT_EQ(service.Dial(Params("Mobile", "s3cret"), 4, events, connection), 0);
    EXPECT_EQ(connection, "7f1a-gsm");
    ASSERT_TRUE(events.WaitForEnd());
    EXPECT_EQ(events.States(), (std::vector<int>{DialState::OpenPort, DialState::ConnectDevice,
                                                 DialState::Authenticate, DialState::Authenticated,
                                                 DialState::Connected}));
    for (const CEventLog::Event &event : events.Events()) {
        EXPECT_EQ(event.attempt, 4);
        EXPECT_EQ(event.error, 0);
    }
    EXPECT_NE(Read("calls").find("--wait 60 connection up uuid 7f1a-gsm passwd-file "),
              std::string::npos);
    EXPECT_NE(Read("secrets").find("gsm.password:s3cret\n"), std::string::npos);
    // The secrets file is gone once the attempt is over.
    const std::string calls = Read("calls");
    const std::size_t at = calls.find("passwd-file ") + 12;
    EXPECT_FALSE(fs::exists(calls.substr(at, calls.find('\n', at) - at)));

    std::vector<DialConnection> connections;
    ASSERT_EQ(service.EnumConnections(connections), 0);
    EXPECT_EQ(connections, std::vector<DialConnection>{"7f1a-gsm"});
    service.HangUp(connection);
    for (int i = 0; i < 600 && !connections.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        connections.clear();
        ASSERT_EQ(service.EnumConnections(connections), 0);
    }
    EXPECT_TRUE(connections.empty());
    EXPECT_NE(Read("calls").find("connection down uuid 7f1a-gsm"), std::string::npos);
}

TEST_F(NmcliDialUp, FailuresCarryNmcliCodeAndText) {
    CNmcliDialUp service(Options());
    SCOPED_TRACE("a failing connection");
    Write("fail-up", "Error: Connection activation failed: (11) The device could not be readied "
                     "for configuration.\nHint: use 'journalctl -xe NM_CONNECTION=7f1a-gsm + "
                     "NM_DEVICE=ttyUSB0' to get more details.\n");
    CEventLog events;
    DialConnection connection;
    ASSERT_EQ(service.Dial(Params("Mobile"), 1, events, connection), 0);
    ASSERT_TRUE(events.WaitForEnd());
    EXPECT_EQ(events.Events().back().error, 4);
    EXPECT_EQ(service.ErrorText(4), "Error: Connection activation failed: (11) The device could "
                                    "not be readied for configuration.");
    EXPECT_FALSE(fs::exists(m_dir / "secrets")); // no password, no secrets file

    SCOPED_TRACE("an entry that is not a dial-up profile");
    for (const char *name : {"Cafe", "Nowhere", ""}) {
        EXPECT_EQ(service.Dial(Params(name), 2, events, connection), CNmcliDialUp::kErrorNoEntry);
        EXPECT_TRUE(connection.empty());
    }
    EXPECT_NE(service.ErrorText(CNmcliDialUp::kErrorNoEntry).find("does not exist"),
              std::string::npos);

    SCOPED_TRACE("NetworkManager not running");
    Write("nm-down", "");
    std::vector<std::string> entries;
    EXPECT_EQ(service.EnumEntries(entries), 8);
    EXPECT_EQ(service.Dial(Params("Mobile"), 3, events, connection), 8);
    EXPECT_EQ(service.ErrorText(8), "Error: NetworkManager is not running.");
    EXPECT_EQ(service.ErrorText(77), "Dial-up networking error 77.");
}

TEST_F(NmcliDialUp, AHangUpEndsTheAttemptAndAForgottenListenerHearsNothing) {
    Write("wait-down", "");
    CNmcliDialUp service(Options());
    CEventLog events;
    DialConnection connection;
    ASSERT_EQ(service.Dial(Params("Home:Office VPN"), 9, events, connection), 0);
    EXPECT_EQ(connection, "51c2-vpn");
    service.HangUp(connection);
    ASSERT_TRUE(events.WaitForEnd());
    EXPECT_EQ(events.Events().back().error, 4);
    EXPECT_EQ(events.Events().back().attempt, 9);

    CEventLog forgotten;
    std::size_t heard = 0;
    fs::remove(m_dir / "down-called");
    {
        CNmcliDialUp other(Options());
        ASSERT_EQ(other.Dial(Params("Home:Office VPN"), 10, forgotten, connection), 0);
        other.Forget(forgotten);
        heard = forgotten.Events().size();
        other.HangUp(connection);
    } // waits for the attempt to end
    EXPECT_LE(heard, 1u);
    EXPECT_EQ(forgotten.Events().size(), heard);
}

TEST_F(NmcliDialUp, GoingAwayEndsAnAttemptUnderWay) {
    Write("wait-down", "");
    CEventLog events;
    const auto begin = std::chrono::steady_clock::now();
    {
        CNmcliDialUp service(Options());
        DialConnection connection;
        ASSERT_EQ(service.Dial(Params("Mobile"), 1, events, connection), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(15));
}

} // namespace
} // namespace torvex
