// The tree pane's own commands: new folder, rename, delete, move by dragging, export, import,
// and Search and Restore. What they decide is in the core (CProjectTree) and app/; here the
// dialogs ask and the pane shows the outcome.

#include <QAction>

#include "app/NewProjectWizard.h"
#include "app/TreeCommands.h"
#include "engine/IPrompter.h"
#include "platform/Clock.h"
#include "platform/UserFolders.h"
#include "project/ProjectSearch.h"
#include "shell/CDlgSearchRestore.h"
#include "shell/CFormTree.h"
#include "shell/CMainFrame.h"
#include "shell/CTreeDialogs.h"
#include "shell/DialogFields.h"

namespace torvex {

namespace {

const QString kProjectFileFilter = QStringLiteral("Torvex Project Files (*.tvp);;All Files (*)");

} // namespace

void CMainFrame::ShowTreeChange(CTreeNode *select) {
    m_formTree->Rebuild();
    m_formTree->Select(select);
    OnNodeSelected(m_formTree->SelectedNode());
}

void CMainFrame::SaveTreeTold() {
    if (!m_tree.SaveTree(false)) {
        m_prompter->Error(
            CProjectTree::WriteFailedText(m_options.workDir + "/" + std::string(kTreeFileName)));
    }
}

void CMainFrame::OnNewFolder() {
    CTreeNode &parent = WizardTargetFolder(m_selected, m_tree.Root());
    CDlgName dialog(
        QStringLiteral("New Folder"), QStringLiteral("Folder name"), {}, kMaxFolderName,
        [&parent](const std::string &name) { return CProjectTree::CheckName(parent, name); },
        *m_prompter, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    CTreeNode *folder = m_tree.AddFolder(parent, dialog.Name());
    if (folder == nullptr) {
        return;
    }
    ShowTreeChange(folder);
    SaveTreeTold();
}

void CMainFrame::OnRename() {
    CTreeNode *node = m_selected;
    if (node == nullptr || node->IsRoot() || node->parent == nullptr) {
        return;
    }
    CDlgName dialog(
        QStringLiteral("Rename"), QStringLiteral("New name"), node->label,
        node->IsFolder() ? kMaxFolderName : kMaxProjectName,
        [node](const std::string &name) {
            return CProjectTree::CheckName(*node->parent, name, node);
        },
        *m_prompter, this);
    if (dialog.exec() != QDialog::Accepted || !m_tree.RenameItem(*node, dialog.Name())) {
        return;
    }
    m_formTree->RefreshKinds();
    if (node->IsProject()) {
        std::string error;
        if (!m_tree.SaveProject(*node, error)) {
            m_prompter->Error(error);
        }
    } else {
        SaveTreeTold();
    }
}

void CMainFrame::OnDeleteNode() {
    CTreeNode *node = m_selected;
    if (node == nullptr) {
        return;
    }
    const std::string refusal = DeleteRefusal(*node);
    if (!refusal.empty()) {
        m_prompter->Information(refusal);
        return;
    }
    CDlgDeleteItem dialog(*node, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    // A run may have started while the dialog was open.
    if (!DeleteRefusal(*node).empty()) {
        m_prompter->Information(DeleteRefusal(*node));
        return;
    }
    CTreeNode *next = SelectionAfterDelete(*node);
    m_formTree->Select(next);
    if (!m_tree.DeleteItem(*node, dialog.DeleteFiles())) {
        return;
    }
    ShowTreeChange(next);
    SaveTreeTold();
}

void CMainFrame::OnMoveNode(CTreeNode *node, CTreeNode *target) {
    if (node == nullptr || target == nullptr) {
        return;
    }
    const CMoveResult result = MoveNode(m_tree, *node, *target);
    if (!result.refusal.empty()) {
        m_prompter->Information(result.refusal);
        return;
    }
    if (result.moved) {
        ShowTreeChange(node);
        SaveTreeTold();
    }
}

void CMainFrame::OnExport() {
    CTreeNode *node = m_selected ? m_selected : &m_tree.Root();
    const QString path = m_files->SaveFileName(this, QStringLiteral("Export"),
                                               Q(ExportFileName(*node)), kProjectFileFilter);
    if (path.isEmpty()) {
        return;
    }
    if (!m_tree.ExportItem(*node, S(path))) {
        m_prompter->Error(CProjectTree::WriteFailedText(S(path)));
    }
}

void CMainFrame::OnImport() {
    CTreeNode &target = WizardTargetFolder(m_selected, m_tree.Root());
    const QString chosen =
        m_files->OpenFileName(this, QStringLiteral("Import"), kProjectFileFilter);
    if (chosen.isEmpty()) {
        return;
    }
    const std::string path = S(chosen);
    const int kind = CProjectTree::ExportKind(path);
    if (kind < 0) {
        m_prompter->Error(kImportFailedText);
        return;
    }
    ImportMode mode = ImportMode::Prompt;
    if (kind > 0) {
        CDlgImportOption option(this);
        if (option.exec() != QDialog::Accepted) {
            return;
        }
        mode = option.Mode();
    }
    CDialogImportPrompter prompter(*m_prompter, this);
    const std::size_t before = target.children.size();
    if (!m_tree.ImportFile(path, target, mode, prompter,
                           static_cast<std::int32_t>(SystemClock().Now()))) {
        m_prompter->Error(kImportFailedText);
        ShowTreeChange(&target);
        return;
    }
    if (kind == 0) {
        if (target.children.size() == before) {
            return; // cancelled
        }
        // The one project is appended after its siblings.
        ShowTreeChange(target.children.back().get());
        SaveTreeTold();
        return;
    }
    ShowTreeChange(&target);
}

void CMainFrame::OnSearchRestore() {
    CTreeNode &fallback = WizardTargetFolder(m_selected, m_tree.Root());
    CDlgSearchRestore dialog(m_tree, fallback,
                             SearchLocations(RealMountPoints(), UserFoldersFromEnvironment().home),
                             *m_prompter, this);
    bool restored = false;
    connect(&dialog, &CDlgSearchRestore::projectRestored, this, [this, &restored](CTreeNode *node) {
        restored = true;
        ShowTreeChange(node);
    });
    dialog.exec();
    if (restored) {
        SaveTreeTold();
    }
}

} // namespace torvex
