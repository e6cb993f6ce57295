#include "app/CTreeRuns.h"

#include "app/NodeCommands.h"

namespace torvex {

namespace {

CTreeNode* FindNode(CTreeNode& node, const CProjectSettings* project) {
    if (node.IsProject() && node.project == project) {
        return &node;
    }
    for (auto& child : node.children) {
        if (CTreeNode* found = FindNode(*child, project)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace

NodeKind ProjectKindFor(ProjectRunState state, bool onTimer) {
    switch (state) {
    case ProjectRunState::Running:
        return NodeKind::ProjectRunning;
    case ProjectRunState::Waiting:
        return NodeKind::ProjectWaiting;
    case ProjectRunState::Idle:
        break;
    }
    return onTimer ? NodeKind::ProjectOnTimer : NodeKind::ProjectIdle;
}

CTreeRuns::CTreeRuns(CProjectTree& tree, ITaskManagerHooks* forward)
    : m_tree(tree), m_forward(forward ? *forward : m_noHooks) {}

bool CTreeRuns::Start(CTreeNode& node, RunCommand command) {
    if (!m_manager) {
        return false;
    }
    bool started = false;
    for (CProjectSettings* project : ProjectsBelow(node)) {
        const CTreeNode* projectNode = NodeOf(project);
        // A project can leave the tree while the user answers a question about an earlier one.
        if (projectNode && IsIdleProject(*projectNode) &&
            m_manager->StateOf(*project) == ProjectRunState::Idle) {
            started = m_manager->StartProject(*project, command) || started;
        }
    }
    return started;
}

void CTreeRuns::Stop(CTreeNode& node) {
    if (!m_manager) {
        return;
    }
    for (CProjectSettings* project : ProjectsBelow(node)) {
        if (m_manager->StateOf(*project) != ProjectRunState::Idle && StopAllowed(*project)) {
            m_manager->StopProject(*project);
        }
    }
}

bool CTreeRuns::StopAllowed(const CProjectSettings& project) const {
    if (!m_manager) {
        return false;
    }
    switch (m_manager->StateOf(project)) {
    case ProjectRunState::Waiting:
        return true;
    case ProjectRunState::Idle:
        return false;
    case ProjectRunState::Running:
        break;
    }
    const CDownloadTask* task = m_manager->TaskOf(project);
    return task && task->flags.MonitorRunning.load() && !task->flags.Stopping.load();
}

std::string CTreeRuns::CloseRefusal() const {
    if (m_manager && (m_manager->RunningCount() > 0 || m_manager->WaitingCount() > 0)) {
        return std::string(kStopAllFirstText);
    }
    return {};
}

CTreeNode* CTreeRuns::NodeOf(const CProjectSettings* project) {
    return project ? FindNode(m_tree.Root(), project) : nullptr;
}

void CTreeRuns::OnProjectState(const CProjectSettings* project, ProjectRunState state) {
    if (CTreeNode* node = NodeOf(project)) {
        node->kind = ProjectKindFor(state, project->TimeDownload);
    }
    m_forward.OnProjectState(project, state);
}

void CTreeRuns::OnTaskMessage(const CTaskMessage& message, CDownloadTask& task) {
    m_forward.OnTaskMessage(message, task);
}

void CTreeRuns::OnBreakPointProgress(CDownloadTask& task, int position, int range) {
    m_forward.OnBreakPointProgress(task, position, range);
}

void CTreeRuns::GenerateIndexPage(CDownloadTask& task) {
    m_forward.GenerateIndexPage(task);
}

void CTreeRuns::ConvertLinks(CDownloadTask& task) {
    m_forward.ConvertLinks(task);
}

bool CTreeRuns::OnAllTasksEnded(bool runStartsConversion) {
    return m_forward.OnAllTasksEnded(runStartsConversion);
}

} // namespace torvex
