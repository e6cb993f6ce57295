#pragma once

#include <string>
#include <string_view>

#include "engine/CLinkConversionQueue.h"
#include "project/CAppSettings.h"

namespace torvex {

// The countdown's flags: why it runs and what it does at its end.
constexpr int kCountdownDownloadFinished = 1;
constexpr int kCountdownConversionFinished = 2;
constexpr int kCountdownHangUp = 4;
constexpr int kCountdownShutdown = 8;

constexpr std::string_view kAutoHangUpInText = "Auto hang up in";
constexpr std::string_view kAutoShutdownInText = "Auto shutdown in";
constexpr std::string_view kAutoHangUpAndShutdownInText = "Auto hangup and shutdown in";
constexpr std::string_view kDownloadFinishedTitle = "Download Finished";
constexpr std::string_view kCountdownSecondsFormat = "%d seconds!!";
constexpr std::string_view kDoItNowText = "Do it now!";
constexpr int kCountdownStepMs = 100;
constexpr int kCountdownFlashMs = 500;

// What follows when the last run has ended.
struct CEndOfDownloadDecision {
    int countdownFlags = 0; // 0: no countdown
    // A countdown will act shortly: "Download finished!" is left out.
    bool leaveOutFinishedNotice = false;
};

// The end-of-download actions: which countdown follows the end of the last run, and the
// shutdown that waits for the link conversions that were under way then. The settings are read
// at each decision. Lives on the front end's thread.
class CEndOfDownload {
public:
    CEndOfDownload(const CAppSettings &settings, bool dialUpAvailable)
        : m_settings(settings), m_dialUpAvailable(dialUpAvailable) {}

    // The last run has ended. `runStartsConversion`: its end queued the conversion of its
    // record; `conversionOpen`: a conversion (that one or another) is under way.
    CEndOfDownloadDecision AllRunsEnded(bool runStartsConversion, bool conversionOpen);
    // The conversions are over; the countdown flags that follow now (0: none). Only a
    // conversion that was under way when downloading ended leads to one, and only while no
    // project runs.
    int ConversionsEnded(bool anyRunning);

private:
    const CAppSettings &m_settings;
    bool m_dialUpAvailable;
    bool m_awaitingConversion = false;
};

// The countdown of the "Download End" window: `AutoTimeOut` seconds in steps of 100 ms, its
// title and label by the flags, and what it does at its end. Plain state, one thread.
class CCountdown {
public:
    CCountdown(int flags, int autoTimeOut);
    std::string Title() const;
    std::string Label() const;
    // "%d seconds!!" with the seconds left.
    std::string CounterText() const;
    int Range() const { return m_range; }
    int Position() const { return m_steps; }
    // One step; true once the count is over (at the first step for a count of 0).
    bool Step();
    bool HangsUp() const { return (m_flags & kCountdownHangUp) != 0; }
    bool ShutsDown() const { return (m_flags & kCountdownShutdown) != 0; }
    int Flags() const { return m_flags; }

private:
    int m_flags;
    int m_seconds;
    int m_range;
    int m_steps = 0;
};

} // namespace torvex
