#include "app/CDialUpSession.h"

#include <gtest/gtest.h>

#include "support/DialUpFakes.h"

namespace torvex {
namespace {

using test::CFakeDialUp;
using test::CFakeTimers;

// Keeps what the session showed and asked, one line each.
class CFrontEndLog final : public IDialUpFrontEnd {
public:
    void OpenDialWindow(const std::string &title) override { log.push_back("open " + title); }
    void SetDialStatus(const std::string &status) override { log.push_back(status); }
    void CloseDialWindow() override { log.push_back("close"); }
    void StartWaitingProjects() override { log.push_back("start projects"); }
    void OnDialMessage(int message) override { log.push_back(std::to_string(message)); }
    // The lines since the last call.
    std::vector<std::string> Take() {
        std::vector<std::string> taken(log.begin() + static_cast<long>(m_taken), log.end());
        m_taken = log.size();
        return taken;
    }
    std::vector<std::string> log;

private:
    std::size_t m_taken = 0;
};

using Lines = std::vector<std::string>;

class DialUpSession : public ::testing::Test {
protected:
    DialUpSession() {
        settings.Dialup = true;
        settings.EntryName = "Modem";
        settings.DialupUser = "me";
        settings.DialupPassword = "pw";
        settings.Redial = 2;
        settings.WaitBeforeRedial = 5;
        timers.fire = [this](int timer) { session->OnTimer(timer); };
        session = std::make_unique<CDialUpSession>(service, settings, frontEnd, timers,
                                                   [this] { return networkUp; });
    }
    // An attempt that goes as far as dialling and then fails with error 4.
    void FailAttempt() {
        service.Report(DialState::OpenPort);
        service.Report(DialState::OpenPort, 4);
    }

    CAppSettings settings;
    CFakeDialUp service;
    CFakeTimers timers;
    CFrontEndLog frontEnd;
    bool networkUp = true;
    std::unique_ptr<CDialUpSession> session;
};

TEST_F(DialUpSession, RedialZeroGivesOneFailedAttemptAndFailsAtOnce) {
    settings.Redial = 0;
    ASSERT_TRUE(session->DialBeforeStart());
    FailAttempt();
    EXPECT_EQ(frontEnd.Take(), (Lines{"open Connecting \"Modem\"(1)", "Status  Dialing up...",
                                      "Error 4 of the fake", "Status  Hanging up..."}));
    EXPECT_EQ(service.HungUp(), std::vector<DialConnection>{"conn-1"});
    // The hang-up's pause is a timer; then the failure, without any wait before a redial.
    EXPECT_EQ(timers.Left(CDialUpSession::HangUpPauseTimer), kHangUpPauseMs);
    timers.Advance(kHangUpPauseMs);
    EXPECT_EQ(frontEnd.Take(), (Lines{"close", "1326", "start projects"}));
    EXPECT_FALSE(session->Dialing());
    EXPECT_FALSE(timers.Running(CDialUpSession::RedialTimer));
    EXPECT_EQ(service.DialCount(), 1);
}

TEST_F(DialUpSession, RedialTwoGivesThreeAttemptsTitledOneToThree) {
    ASSERT_TRUE(session->DialBeforeStart());
    for (int attempt = 1; attempt <= 3; ++attempt) {
        SCOPED_TRACE(attempt);
        EXPECT_EQ(frontEnd.Take().front(),
                  "open Connecting \"Modem\"(" + std::to_string(attempt) + ")");
        FailAttempt();
        timers.Advance(kHangUpPauseMs);
        if (attempt < 3) {
            EXPECT_EQ(frontEnd.Take(), (Lines{"Status  Dialing up...", "Error 4 of the fake",
                                              "Status  Hanging up...", "close", "1325"}));
            EXPECT_TRUE(session->Dialing()); // the projects still wait
            timers.Advance(settings.WaitBeforeRedial * 1000 - 1);
            EXPECT_EQ(service.DialCount(), attempt);
            timers.Advance(1);
            EXPECT_EQ(service.DialCount(), attempt + 1);
        }
    }
    EXPECT_EQ(frontEnd.Take(), (Lines{"Status  Dialing up...", "Error 4 of the fake",
                                      "Status  Hanging up...", "close", "1326", "start projects"}));
    EXPECT_EQ(service.DialCount(), 3);
    EXPECT_EQ(service.attempts, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(session->RedialsLeft(), 0);
    // The next start dials anew with the whole count.
    ASSERT_TRUE(session->DialBeforeStart());
    EXPECT_EQ(frontEnd.Take().front(), "open Connecting \"Modem\"(1)");
}

TEST_F(DialUpSession, AnAttemptWithoutAnswerEndsAfterSixtySeconds) {
    settings.Redial = 1;
    ASSERT_TRUE(session->DialBeforeStart());
    service.Report(DialState::Authenticate);
    timers.Advance(kDialAttemptMs - 1);
    EXPECT_EQ(frontEnd.Take(),
              (Lines{"open Connecting \"Modem\"(1)", "Status  Authenticating user..."}));
    timers.Advance(1 + kHangUpPauseMs);
    EXPECT_EQ(frontEnd.Take(), (Lines{"Status  Hanging up...", "close", "1325"}));
    EXPECT_EQ(service.HungUp(), std::vector<DialConnection>{"conn-1"});
    // A late answer of the given-up attempt changes nothing.
    service.Report(DialState::Connected);
    EXPECT_TRUE(frontEnd.Take().empty());
    timers.Advance(settings.WaitBeforeRedial * 1000);
    EXPECT_EQ(frontEnd.Take(), (Lines{"open Connecting \"Modem\"(2)"}));
}

TEST_F(DialUpSession, CancelHangsUpAndLetsTheProjectsRun) {
    ASSERT_TRUE(session->DialBeforeStart());
    service.Report(DialState::DeviceConnected);
    session->Cancel();
    session->Cancel(); // a second press during the pause does nothing more
    timers.Advance(kHangUpPauseMs);
    EXPECT_EQ(frontEnd.Take(), (Lines{"open Connecting \"Modem\"(1)", "Status  Dialing up...",
                                      "Status  Hanging up...", "close", "1324", "start projects"}));
    EXPECT_EQ(service.HungUp(), std::vector<DialConnection>{"conn-1"});
    EXPECT_FALSE(session->Dialing());
    EXPECT_EQ(session->RedialsLeft(), 0);
    EXPECT_FALSE(timers.Running(CDialUpSession::AttemptTimer));
    session->Cancel(); // nothing runs
    EXPECT_TRUE(frontEnd.Take().empty());
}

TEST_F(DialUpSession, StatesShowTheirTexts) {
    struct Case {
        int state;
        const char *text;
    };
    const Case cases[] = {
        {DialState::OpenPort, "Status  Dialing up..."},
        {DialState::PortOpened, "Status  Dialing up..."},
        {DialState::ConnectDevice, "Status  Dialing up..."},
        {DialState::DeviceConnected, "Status  Dialing up..."},
        {DialState::Authenticate, "Status  Authenticating user..."},
        {DialState::ReAuthenticate, "Status  Authenticating user..."},
        {DialState::Authenticated, "Status  Logging on to network..."},
        {DialState::LogonNetwork, "Status  Logging on to network..."},
        {4, nullptr},
        {DialState::Disconnected, nullptr},
    };
    ASSERT_TRUE(session->DialBeforeStart());
    frontEnd.Take();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.state);
        service.Report(c.state);
        EXPECT_EQ(frontEnd.Take(), c.text ? Lines{c.text} : Lines{});
    }
    // The connection was reported down: Cancel has nothing to hang up.
    session->Cancel();
    EXPECT_TRUE(service.HungUp().empty());
}

TEST_F(DialUpSession, AWorkingConnectionStartsTheProjects) {
    ASSERT_TRUE(session->DialBeforeStart());
    service.Report(DialState::Connected);
    EXPECT_EQ(frontEnd.Take(), (Lines{"open Connecting \"Modem\"(1)", "Status  Connected", "close",
                                      "8192", "start projects"}));
    EXPECT_FALSE(session->Dialing());
    EXPECT_FALSE(timers.Running(CDialUpSession::AttemptTimer));
    EXPECT_TRUE(service.HungUp().empty());
    // The next start finds the connection up and does not dial.
    EXPECT_FALSE(session->DialBeforeStart());
    EXPECT_EQ(service.DialCount(), 1);
}

TEST_F(DialUpSession, AUselessConnectionIsHungUpAndDialledAgainWithoutCountingARedial) {
    settings.Redial = 0;
    networkUp = false;
    ASSERT_TRUE(session->DialBeforeStart());
    service.Report(DialState::Connected);
    EXPECT_EQ(frontEnd.Take(),
              (Lines{"open Connecting \"Modem\"(1)", "Status  Connected", "close", "8192"}));
    EXPECT_TRUE(session->Dialing());
    // Asked again a second later, still down: every connection is hung up, then after the
    // hang-up's pause and the wait before a redial the entry is dialled again.
    timers.Advance(kNetworkRecheckMs);
    EXPECT_EQ(service.HungUp(), std::vector<DialConnection>{"conn-1"});
    EXPECT_EQ(service.DialCount(), 1);
    timers.Advance(kHangUpPauseMs + settings.WaitBeforeRedial * 1000);
    EXPECT_EQ(service.DialCount(), 2);
    EXPECT_EQ(frontEnd.Take(), (Lines{"open Connecting \"Modem\"(1)"}));

    // This time the network comes up by the second look.
    service.Report(DialState::Connected);
    networkUp = true;
    timers.Advance(kNetworkRecheckMs);
    EXPECT_EQ(frontEnd.Take(), (Lines{"Status  Connected", "close", "8192", "start projects"}));
    EXPECT_EQ(service.HungUp().size(), 1u);
    EXPECT_FALSE(session->Dialing());
}

TEST_F(DialUpSession, DialsOnlyWhenDialUpIsOnAndNoConnectionIsUp) {
    SCOPED_TRACE("dial-up off");
    settings.Dialup = false;
    EXPECT_FALSE(session->DialBeforeStart());
    settings.Dialup = true;

    SCOPED_TRACE("a connection is up");
    service.SetConnections({"existing"});
    EXPECT_FALSE(session->DialBeforeStart());
    service.SetConnections({});

    SCOPED_TRACE("the connections cannot be listed");
    service.enumResult = 8;
    EXPECT_FALSE(session->DialBeforeStart());
    service.enumResult = 0;
    EXPECT_EQ(service.DialCount(), 0);

    SCOPED_TRACE("a session runs already");
    EXPECT_TRUE(session->DialBeforeStart());
    EXPECT_TRUE(session->DialBeforeStart());
    EXPECT_EQ(service.DialCount(), 1);
}

TEST_F(DialUpSession, WithoutDialUpNetworkingNothingIsDialled) {
    service.available = false;
    CDialUpSession without(service, settings, frontEnd, timers, [] { return true; });
    EXPECT_FALSE(without.Available());
    EXPECT_FALSE(without.DialBeforeStart());
    EXPECT_EQ(service.DialCount(), 0);
    EXPECT_TRUE(frontEnd.Take().empty());
}

TEST_F(DialUpSession, ADialThatCannotStartFailsAtOnce) {
    service.dialResult = 623;
    EXPECT_FALSE(session->DialBeforeStart());
    EXPECT_EQ(frontEnd.Take(),
              (Lines{"open Connecting \"Modem\"(1)", "close", "1326", "start projects"}));
    EXPECT_EQ(session->RedialsLeft(), 0);
}

TEST_F(DialUpSession, TheDialParametersKeepTheirCapacities) {
    settings.EntryName = std::string(300, 'e');
    settings.DialupUser = std::string(70, 'u');
    settings.DialupPassword = std::string(65, 'p');
    ASSERT_TRUE(session->DialBeforeStart());
    ASSERT_EQ(service.dials.size(), 1u);
    EXPECT_EQ(service.dials[0].EntryName, std::string(256, 'e'));
    EXPECT_EQ(service.dials[0].UserName, std::string(64, 'u'));
    EXPECT_EQ(service.dials[0].Password, std::string(64, 'p'));
}

TEST(DialIconFrame, StepsForwardAndBack) {
    std::vector<int> frames;
    for (int step = 0; step < 8; ++step) {
        frames.push_back(DialIconFrame(step));
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 3, 2, 1, 0, 1}));
    EXPECT_EQ(DialWindowTitle("My \"Line\"", 12), "Connecting \"My \"Line\"\"(12)");
}

} // namespace
} // namespace torvex
