#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "project/CAppSettings.h"
#include "project/CProjectTree.h"

namespace torvex {

// The check's period: shorter than a minute, so that no minute is missed (one may be seen
// twice).
constexpr int kDownloadTimerTickMs = 55000;

constexpr std::string_view kStopTimerReminderText =
    "If you want to hangup or shutdown after stop downloading, please don't forget to check "
    "\"Auto Hangup\" or \"Auto Shutdown\" in the \"Options\" menu.";

// The hour (0..23) and minute of `time` (seconds since 1970) in local time.
struct CLocalMinute {
    int hour = 0;
    int minute = 0;
};
CLocalMinute LocalMinuteOf(std::int64_t time);

// What the download timer does at a local time.
struct CTimerDue {
    bool start = false; // start the projects on the timer list
    bool stop = false;  // Stop All
};
CTimerDue DownloadTimerDue(const CAppSettings &settings, CLocalMinute now);

// The idle projects on the download timer list at or below `node` (kind 7), depth first.
std::vector<CTreeNode *> TimerListProjects(CTreeNode &node);

// Puts every project at or below `node` on the download timer list, or takes it off; an idle
// project's kind follows. The number of projects changed.
int SetOnTimerList(CTreeNode &node, bool on);

// Whether enabling the stop timer reminds the user that stopping alone neither hangs up nor
// shuts down: unless both are set.
bool StopTimerReminderDue(const CAppSettings &settings);

// The download timer's check on each tick: at the start time every idle project of the timer
// list is started (`startProject`, as the Start command does, dialling first when it must); at
// the stop time `stopAll` runs. A minute seen twice starts nothing twice: started projects are
// no longer idle. Lives on the front end's thread; nothing is owned.
class CDownloadTimer {
public:
    CDownloadTimer(const CAppSettings &settings, CProjectTree &tree,
                   std::function<void(CTreeNode &)> startProject, std::function<void()> stopAll);
    CTimerDue Check(CLocalMinute now);

private:
    const CAppSettings &m_settings;
    CProjectTree &m_tree;
    std::function<void(CTreeNode &)> m_startProject;
    std::function<void()> m_stopAll;
};

} // namespace torvex
