// The main window's option commands, the download timer list, and the starts that dial first.

#include <QAction>

#include "app/DownloadTimer.h"
#include "app/NodeCommands.h"
#include "app/OptionChecks.h"
#include "app/RunOptions.h"
#include "engine/IPrompter.h"
#include "shell/CDefaultDirDialog.h"
#include "shell/CDefaultProxyDialog.h"
#include "shell/CFormTree.h"
#include "shell/CMainFrame.h"
#include "shell/CMoreOptionsDialog.h"
#include "shell/CTimerDialog.h"

namespace torvex {

void CMainFrame::PrepareStart() {
    // While dialling, started projects wait; the end of dialling lets them go.
    if (m_automation->DialBeforeStart()) {
        m_tasks->HoldStarts(true);
    }
}

void CMainFrame::StartProjects(CTreeNode &node, RunCommand command) {
    if (CommandsFor(&node, {}).start) {
        PrepareStart();
    }
    m_runs.Start(node, command);
    m_formTree->RefreshKinds();
    UpdateCommands();
}

void CMainFrame::ApplyOptions() {
    // New runs take the changed options; running ones keep what they were made with.
    m_tasks->SetOptions(RunOptionsFrom(m_settings));
    m_tree.SetDefaultProjectsDir(m_settings.DefaultDir);
    SaveAppSettingsTold(m_settings, m_options.workDir, *m_prompter);
}

void CMainFrame::OnDefaultProxy() {
    CDefaultProxyDialog dialog(m_settings, this);
    if (dialog.exec() == QDialog::Accepted) {
        ApplyOptions();
    }
}

void CMainFrame::OnDefaultDir() {
    CDefaultDirDialog dialog(m_settings, *m_prompter, this);
    if (dialog.exec() == QDialog::Accepted) {
        ApplyOptions();
    }
}

void CMainFrame::OnMoreOptions() {
    CMoreOptionsDialog dialog(m_settings, m_automation->DialUp(), *m_prompter, this);
    if (dialog.exec() == QDialog::Accepted) {
        ApplyOptions();
    }
}

void CMainFrame::OnTimerDialog() {
    CTimerDialog dialog(m_settings, *m_prompter, this);
    if (dialog.exec() == QDialog::Accepted) {
        ApplyOptions();
    }
}

void CMainFrame::OnAutoHangUp() {
    m_settings.AutoHangUp = !m_settings.AutoHangUp;
    Action("autoHangUp")->setChecked(m_settings.AutoHangUp);
    ApplyOptions();
}

void CMainFrame::OnAutoShutdown() {
    m_settings.AutoShutdown = !m_settings.AutoShutdown;
    Action("autoShutdown")->setChecked(m_settings.AutoShutdown);
    ApplyOptions();
}

void CMainFrame::OnAddToTimer() {
    // On a project that is on the list already the switch takes it off.
    const bool off =
        m_selected && m_selected->IsProject() && m_selected->kind == NodeKind::ProjectOnTimer;
    ChangeTimerList(!off);
}

void CMainFrame::OnDeleteFromTimer() {
    ChangeTimerList(false);
}

void CMainFrame::ChangeTimerList(bool on) {
    if (m_selected && SetOnTimerList(*m_selected, on) > 0) {
        m_formTree->RefreshKinds();
        if (!m_tree.SaveTree(false)) {
            m_prompter->Error("Error: Failed to write file:\n\"" + m_options.workDir + "/" +
                              std::string(kTreeFileName) + "\"!");
        }
    }
    UpdateCommands();
}

} // namespace torvex
