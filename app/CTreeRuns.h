#pragma once

#include <string>
#include <string_view>

#include "engine/CTaskManager.h"
#include "project/CProjectTree.h"

namespace torvex {

constexpr std::string_view kStopAllFirstText = "Please stop all the running projects first.";

// The kind a project node shows for where its run stands: running 5, waiting 6, idle 7 when on
// the download timer list, else 4.
NodeKind ProjectKindFor(ProjectRunState state, bool onTimer);

// The main window's runs over the project tree: Start, Update, Resume and Stop on a project, a
// folder (every project below it, depth first) or the root, through the task manager, with
// each project node's kind following its run. It is the task manager's hooks and passes every
// call on to the front end's hooks (`forward`, may be null) after the tree has been updated.
//
// Lives on the front end's thread with the tree and the manager; Attach the manager before the
// first command. Neither the tree nor the manager is owned.
class CTreeRuns final : public ITaskManagerHooks {
public:
    CTreeRuns(CProjectTree& tree, ITaskManagerHooks* forward = nullptr);
    void Attach(CTaskManager& manager) { m_manager = &manager; }

    // Starts every idle project at or below `node`; false when none was started.
    bool Start(CTreeNode& node, RunCommand command);
    // Stops every running or waiting project at or below `node`.
    void Stop(CTreeNode& node);
    bool StartAll(RunCommand command = RunCommand::Start) { return Start(m_tree.Root(), command); }
    void StopAll() { Stop(m_tree.Root()); }

    // Whether Stop may be given to `project` now: it waits, or its task's monitor runs and it is
    // not stopping yet.
    bool StopAllowed(const CProjectSettings& project) const;
    // The refusal to close the window while projects run or wait; empty when it may close.
    std::string CloseRefusal() const;

    CTreeNode* NodeOf(const CProjectSettings* project);

    // ITaskManagerHooks
    void OnProjectState(const CProjectSettings* project, ProjectRunState state) override;
    void OnTaskMessage(const CTaskMessage& message, CDownloadTask& task) override;
    void OnBreakPointProgress(CDownloadTask& task, int position, int range) override;
    void GenerateIndexPage(CDownloadTask& task) override;
    void ConvertLinks(CDownloadTask& task) override;
    bool OnAllTasksEnded(bool runStartsConversion) override;

private:
    CProjectTree& m_tree;
    ITaskManagerHooks m_noHooks;
    ITaskManagerHooks& m_forward;
    CTaskManager* m_manager = nullptr;
};

} // namespace torvex
