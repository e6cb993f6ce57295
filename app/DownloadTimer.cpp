#include "app/DownloadTimer.h"

#include <ctime>

#include "app/NodeCommands.h"

namespace torvex {

namespace {

void CollectTimerList(CTreeNode &node, std::vector<CTreeNode *> &out) {
    if (node.IsProject()) {
        if (node.kind == NodeKind::ProjectOnTimer) {
            out.push_back(&node);
        }
        return;
    }
    for (auto &child : node.children) {
        CollectTimerList(*child, out);
    }
}

int SetBelow(CTreeNode &node, bool on) {
    if (node.IsProject()) {
        if (!node.project || node.project->TimeDownload == on) {
            return 0;
        }
        node.project->TimeDownload = on;
        if (IsIdleProject(node)) {
            node.kind = on ? NodeKind::ProjectOnTimer : NodeKind::ProjectIdle;
        }
        return 1;
    }
    int changed = 0;
    for (auto &child : node.children) {
        changed += SetBelow(*child, on);
    }
    return changed;
}

} // namespace

CLocalMinute LocalMinuteOf(std::int64_t time) {
    const std::time_t when = static_cast<std::time_t>(time);
    std::tm local{};
    CLocalMinute minute;
    if (::localtime_r(&when, &local)) {
        minute.hour = local.tm_hour;
        minute.minute = local.tm_min;
    }
    return minute;
}

CTimerDue DownloadTimerDue(const CAppSettings &settings, CLocalMinute now) {
    CTimerDue due;
    due.start = settings.StartDownloadTimer && now.hour == settings.StartDownloadHour &&
                now.minute == settings.StartDownloadMinute;
    due.stop = settings.StopDownloadTimer && now.hour == settings.StopDownloadHour &&
               now.minute == settings.StopDownloadMinute;
    return due;
}

std::vector<CTreeNode *> TimerListProjects(CTreeNode &node) {
    std::vector<CTreeNode *> projects;
    CollectTimerList(node, projects);
    return projects;
}

int SetOnTimerList(CTreeNode &node, bool on) {
    return SetBelow(node, on);
}

bool StopTimerReminderDue(const CAppSettings &settings) {
    return !(settings.AutoHangUp && settings.AutoShutdown);
}

CDownloadTimer::CDownloadTimer(const CAppSettings &settings, CProjectTree &tree,
                               std::function<void(CTreeNode &)> startProject,
                               std::function<void()> stopAll)
    : m_settings(settings), m_tree(tree), m_startProject(std::move(startProject)),
      m_stopAll(std::move(stopAll)) {}

CTimerDue CDownloadTimer::Check(CLocalMinute now) {
    const CTimerDue due = DownloadTimerDue(m_settings, now);
    if (due.start) {
        std::vector<CProjectSettings *> projects;
        for (CTreeNode *node : TimerListProjects(m_tree.Root())) {
            projects.push_back(node->project);
        }
        for (CProjectSettings *project : projects) {
            // A start may ask the user, and the tree may change meanwhile: each node is
            // looked up again right before its start.
            CTreeNode *node = m_tree.FindProjectByDirectory(project->ProjectDir);
            if (node && node->project == project && node->kind == NodeKind::ProjectOnTimer) {
                m_startProject(*node);
            }
        }
    }
    if (due.stop) {
        m_stopAll();
    }
    return due;
}

} // namespace torvex
