// The main window's commands that open dialogs: the new-project wizard, the property pages,
// Default Settings and New Address. Each holds IntakeState where its dialog needs it, lets the
// dialog edit, and refreshes the window afterwards; what the dialogs decide is in app/.

#include <QAction>

#include "app/NewAddresses.h"
#include "app/NewProjectWizard.h"
#include "app/ProjectProperties.h"
#include "engine/IPrompter.h"
#include "shell/CDesktop.h"
#include "shell/CDlgNewAddress.h"
#include "shell/CDlgNewUrlOption.h"
#include "shell/CFormTree.h"
#include "shell/CIntakeScope.h"
#include "shell/CMainFrame.h"
#include "shell/CSheetProperty.h"
#include "shell/CSheetWizard.h"
#include "shell/DialogFields.h"

namespace torvex {

namespace {

// The tab each project command opens the property dialog on.
PropertyTab TabOfCommand(const QString& name) {
    static const std::pair<const char*, PropertyTab> kTabs[] = {
        {"urlFilter", PropertyTab::UrlFilter}, {"fileFilter", PropertyTab::FileFilter},
        {"download", PropertyTab::Download},   {"linkage", PropertyTab::Linkage},
        {"proxy", PropertyTab::Proxy},         {"advanced", PropertyTab::Advanced}};
    for (const auto& [command, tab] : kTabs) {
        if (name == QLatin1String(command)) {
            return tab;
        }
    }
    return PropertyTab::Basic; // "&Basic" and "P&roperties"
}

} // namespace

void CMainFrame::OnNewProject() {
    CIntakeScope intake(InstanceChannel(), kIntakeClosed);
    const CProjectSettings defaults = LoadDefaultsIn(m_options.workDir);
    const bool handedOver = m_pending.IsSet();
    const CWizardValues start =
        WizardStartValues(defaults, m_pending, m_settings.ClipMonitor,
                          S(m_desktop->ClipboardText()), m_settings.DefaultDir);
    if (handedOver) {
        if (isMinimized()) {
            showNormal();
        }
        raise();
        activateWindow();
    }
    CTreeNode& target = WizardTargetFolder(m_selected, m_tree.Root());
    CSheetWizard wizard(m_tree, target, defaults, start, m_settings.DefaultDir, *m_prompter, this);
    if (wizard.exec() != QDialog::Accepted || wizard.CreatedNode() == nullptr) {
        return;
    }
    m_formTree->Rebuild();
    m_formTree->Select(wizard.CreatedNode());
    OnNodeSelected(m_formTree->SelectedNode());
}

void CMainFrame::OnProperties() {
    CTreeNode* node = m_selected;
    if (SelectedProject() == nullptr) {
        return;
    }
    const auto* command = qobject_cast<const QAction*>(sender());
    CIntakeScope intake(InstanceChannel(), kIntakeClosed);
    CSheetProperty sheet(m_tree, *node, m_options.workDir, *m_prompter, this);
    sheet.ShowTab(TabOfCommand(command ? command->objectName() : QString()));
    if (sheet.exec() == QDialog::Accepted) {
        OnNodeSelected(m_selected); // the record and thread lists of what was saved
    }
}

void CMainFrame::OnDefaultSettings() {
    CIntakeScope intake(InstanceChannel(), kIntakeClosed);
    CSheetProperty sheet(m_options.workDir, *m_prompter, this);
    sheet.exec();
}

void CMainFrame::OnStandAloneAddress() {
    NewAddress(false);
}

void CMainFrame::OnChildAddress() {
    NewAddress(true);
}

void CMainFrame::NewAddress(bool child) {
    CTreeNode* node = m_selected;
    CProjectSettings* project = SelectedProject();
    if (project == nullptr) {
        return;
    }
    const NewAddressKind kind = child ? NewAddressKind::Child : NewAddressKind::StandAlone;
    CIntakeScope intake(InstanceChannel(), kIntakeNewAddress);
    const CProjectSettings defaults = LoadDefaultsIn(m_options.workDir);
    CDlgNewAddress dialog(
        *project, defaults, kind,
        NewAddressInitialText(m_settings.ClipMonitor, S(m_desktop->ClipboardText())), *m_prompter,
        this);
    m_newAddressDialog = &dialog;
    const bool added = dialog.exec() == QDialog::Accepted && !dialog.Collected().empty();
    m_newAddressDialog = nullptr;
    m_pending.Clear();
    if (!added) {
        return;
    }
    intake.Set(kIntakeClosed);
    CDlgNewUrlOption option(NewUrlOptionsFor(*project), this);
    if (option.exec() != QDialog::Accepted) {
        return;
    }
    InsertNewAddresses(*project, dialog.Collected(), kind, option.Options());
    std::string error;
    if (!m_tree.SaveProject(*node, error)) {
        m_prompter->Error(error);
    }
    OnNodeSelected(m_selected);
}

} // namespace torvex
