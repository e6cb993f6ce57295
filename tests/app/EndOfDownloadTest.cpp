#include "app/EndOfDownload.h"

#include <gtest/gtest.h>

#include "app/FinalActions.h"
#include "support/DialUpFakes.h"

namespace torvex {
namespace {

using test::CFakeDialUp;
using test::CFakeShutdown;

enum class Conversion { None, StartedByTheRun, OtherOpen };

TEST(EndOfDownload, CountdownFlagsForEveryCombination) {
    struct Case {
        bool dialUp; // dial-up networking is there
        bool hangUp;
        bool shutdown;
        Conversion conversion;
        int flags;      // when the last run ends
        int afterwards; // when the conversion is over
    };
    const Case cases[] = {
        {true, false, false, Conversion::None, 0, 0},
        {true, false, false, Conversion::StartedByTheRun, 0, 0},
        {true, false, false, Conversion::OtherOpen, 0, 0},
        {true, true, false, Conversion::None, 5, 0},
        {true, true, false, Conversion::StartedByTheRun, 5, 0},
        {true, true, false, Conversion::OtherOpen, 5, 0},
        {true, false, true, Conversion::None, 9, 0},
        {true, false, true, Conversion::StartedByTheRun, 0, 10},
        {true, false, true, Conversion::OtherOpen, 0, 10},
        {true, true, true, Conversion::None, 13, 0},
        {true, true, true, Conversion::StartedByTheRun, 5, 10},
        {true, true, true, Conversion::OtherOpen, 5, 10},
        // Without dial-up networking there is nothing to hang up.
        {false, true, false, Conversion::None, 0, 0},
        {false, true, true, Conversion::None, 9, 0},
        {false, true, true, Conversion::StartedByTheRun, 0, 10},
        {false, false, true, Conversion::OtherOpen, 0, 10},
    };
    for (const Case &c : cases) {
        for (const int timeOut : {0, 15}) {
            SCOPED_TRACE(std::to_string(c.dialUp) + std::to_string(c.hangUp) +
                         std::to_string(c.shutdown) + " conversion " +
                         std::to_string(static_cast<int>(c.conversion)) + " time-out " +
                         std::to_string(timeOut));
            CAppSettings settings;
            settings.AutoHangUp = c.hangUp;
            settings.AutoShutdown = c.shutdown;
            settings.AutoTimeOut = timeOut;
            CEndOfDownload end(settings, c.dialUp);
            const CEndOfDownloadDecision decision = end.AllRunsEnded(
                c.conversion == Conversion::StartedByTheRun, c.conversion != Conversion::None);
            EXPECT_EQ(decision.countdownFlags, c.flags);
            // "Download finished!" is left out only for a countdown that takes time.
            EXPECT_EQ(decision.leaveOutFinishedNotice, c.flags != 0 && timeOut != 0);
            EXPECT_EQ(end.ConversionsEnded(false), c.afterwards);
            EXPECT_EQ(end.ConversionsEnded(false), 0); // once
        }
    }
}

TEST(EndOfDownload, TheShutdownAfterAConversionWaitsForNoProjectToRun) {
    CAppSettings settings;
    settings.AutoShutdown = true;
    CEndOfDownload end(settings, true);
    end.AllRunsEnded(true, true);
    EXPECT_EQ(end.ConversionsEnded(true), 0); // a project runs again: its end decides
    // A conversion of the user's own, with no download ended before it, shuts nothing down.
    EXPECT_EQ(end.ConversionsEnded(false), 0);
}

TEST(Countdown, TextsFollowTheFlags) {
    struct Case {
        int flags;
        const char *title;
        const char *label;
    };
    const Case cases[] = {
        {5, "Download Finished", "Auto hang up in"},
        {9, "Download Finished", "Auto shutdown in"},
        {13, "Download Finished", "Auto hangup and shutdown in"},
        {10, "Conversion Finished", "Auto shutdown in"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.flags);
        const CCountdown countdown(c.flags, 15);
        EXPECT_EQ(countdown.Title(), c.title);
        EXPECT_EQ(countdown.Label(), c.label);
        EXPECT_EQ(countdown.HangsUp(), (c.flags & 4) != 0);
        EXPECT_EQ(countdown.ShutsDown(), (c.flags & 8) != 0);
    }
}

TEST(Countdown, CountsTenStepsASecondAndActsAtTheEnd) {
    CCountdown countdown(5, 2);
    EXPECT_EQ(countdown.Range(), 20);
    EXPECT_EQ(countdown.CounterText(), "2 seconds!!");
    for (int step = 1; step < 20; ++step) {
        ASSERT_FALSE(countdown.Step()) << step;
        if (step == 9) {
            EXPECT_EQ(countdown.CounterText(), "2 seconds!!");
        }
        if (step == 10) {
            EXPECT_EQ(countdown.CounterText(), "1 seconds!!");
        }
    }
    EXPECT_TRUE(countdown.Step());
    EXPECT_EQ(countdown.Position(), 20);
    EXPECT_EQ(countdown.CounterText(), "0 seconds!!");
    EXPECT_TRUE(countdown.Step()); // stays over

    SCOPED_TRACE("AutoTimeOut 0 acts at the first step");
    CCountdown now(9, 0);
    EXPECT_EQ(now.Range(), 0);
    EXPECT_TRUE(now.Step());

    SCOPED_TRACE("a count beyond its range is held to it");
    EXPECT_EQ(CCountdown(9, 600).Range(), 600);
    EXPECT_EQ(CCountdown(9, -4).Range(), 0);
}

TEST(FinalActions, HangUpAndShutdownRunOnTheirOwnThreadsAsAsked) {
    struct Case {
        bool hangUp;
        bool shutdown;
        ShutdownAction action;
        std::size_t hungUp;
        int powerOffs;
        int logOuts;
    };
    const Case cases[] = {
        {true, false, ShutdownAction::PowerOff, 2, 0, 0},
        {false, true, ShutdownAction::PowerOff, 0, 1, 0},
        {true, true, ShutdownAction::LogOut, 2, 0, 1},
        {false, false, ShutdownAction::PowerOff, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.hangUp) + std::to_string(c.shutdown));
        CFakeDialUp dialUp;
        dialUp.SetConnections({"one", "two"});
        CFakeShutdown shutdown;
        {
            CFinalActions actions(dialUp, shutdown);
            actions.Run(c.hangUp, c.shutdown, c.action);
        } // joined
        EXPECT_EQ(dialUp.HungUp().size(), c.hungUp);
        EXPECT_EQ(shutdown.powerOffs.load(), c.powerOffs);
        EXPECT_EQ(shutdown.logOuts.load(), c.logOuts);
    }
}

TEST(FinalActions, HangUpAllFailsWithoutDialUpOrAListOfConnections) {
    CFakeDialUp dialUp;
    dialUp.SetConnections({"one"});
    dialUp.enumResult = 8;
    EXPECT_EQ(HangUpAll(dialUp), -1);
    dialUp.available = false;
    EXPECT_EQ(HangUpAll(dialUp), -1);
    EXPECT_TRUE(dialUp.HungUp().empty());
    dialUp.available = true;
    dialUp.enumResult = 0;
    EXPECT_EQ(HangUpAll(dialUp), 0);
    EXPECT_EQ(dialUp.HungUp(), std::vector<DialConnection>{"one"});
}

} // namespace
} // namespace torvex
